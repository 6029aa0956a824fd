-- A multi-way branch in a loop.
local t0 = os.clock()
local s = 0.0
for i = 0, 999999 do
    local k = i % 4
    if k == 0 then s = s + 1
    elseif k == 1 then s = s + 3
    elseif k == 2 then s = s - 2
    else s = s + 0.5 end
end
print(string.format("%.17g %.6f", s, os.clock() - t0))
