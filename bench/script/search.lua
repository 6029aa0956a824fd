-- A 60,000-character text built piece by piece, then searched and counted.
local t0 = os.clock()
local s = ""
for i = 0, 19999 do s = s .. string.char(97 + i % 26) .. "xy" end
local n, p = 0, 1
while true do
    local a, b = s:find("axy", p, true)
    if not a then break end
    n, p = n + 1, b + 1
end
for i = 0, 1999 do
    local a = s:find(string.char(97 + i % 26) .. "xy" .. string.char(97 + (i + 1) % 26), 1, true)
    n = n + (a or 0)
end
print(string.format("%.17g %.6f", n, os.clock() - t0))
