-- A map of 100,000 real keys added in scrambled order, then every key looked up.
local t0 = os.clock()
local m = {}
for i = 0, 99999 do m[(i * 7919) % 100000] = i end
local total = 0
for i = 0, 99999 do total = total + m[i] end
print(string.format("%.17g %.6f", total, os.clock() - t0))
