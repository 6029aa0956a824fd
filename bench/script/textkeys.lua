-- A map of 20,000 text keys added in scrambled order, then every key looked up.
local t0 = os.clock()
local m = {}
for i = 0, 19999 do m["key" .. tostring((i * 7919) % 20000)] = i end
local total = 0
for i = 0, 19999 do total = total + m["key" .. tostring(i)] end
print(string.format("%.17g %.6f", total, os.clock() - t0))
