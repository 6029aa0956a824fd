-- A loop over 1,000 objects doing arithmetic on their fields, 200 times.
local t0 = os.clock()
local all = {}
for i = 1, 1000 do all[i] = {} end
for _, o in ipairs(all) do
    o.vx = 1.0
    o.px = 0.0
end
for _ = 1, 200 do
    for _, o in ipairs(all) do
        o.px = o.px + o.vx * 0.5
        o.vx = o.vx * 0.99 + 0.01
    end
end
local total = 0.0
for _, o in ipairs(all) do total = total + o.px end
print(string.format("%.17g %.6f", total, os.clock() - t0))
