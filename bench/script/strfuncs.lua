-- String functions: texts made from numbers, upper-cased and searched.
local t0 = os.clock()
local n = 0.0
for i = 0, 99999 do
    local t = string.upper("item" .. tostring(i % 1000))
    n = n + (string.find(t, "M9", 1, true) or 0)
end
print(string.format("%.17g %.6f", n, os.clock() - t0))
