-- A numeric loop: arithmetic and comparisons on locals.
local t0 = os.clock()
local s = 0
local i = 0
while i < 5000000 do
    s = s + i * 0.5 - (i % 7)
    if s > 1000000 then s = s - 1000000 end
    i = i + 1
end
print(string.format("%.17g %.6f", s, os.clock() - t0))
