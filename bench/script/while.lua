-- A while loop with a compound condition on locals.
local t0 = os.clock()
local i, n, s = 0.0, 3000000.0, 0.0
while i < n and s >= 0 do
    s = s + i % 3
    i = i + 1
end
print(string.format("%.17g %.6f", s, os.clock() - t0))
