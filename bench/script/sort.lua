-- A list of 100,000 scrambled reals sorted, then sampled.
local t0 = os.clock()
local l = {}
for i = 0, 99999 do l[#l + 1] = (i * 7919) % 100003 end
table.sort(l)
local total = 0
for i = 0, 999 do total = total + l[i * 100 + 1] * (i + 1) end
print(string.format("%.17g %.6f", total, os.clock() - t0))
