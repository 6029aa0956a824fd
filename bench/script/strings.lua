-- String building: short texts grown piece by piece, compared and measured.
local t0 = os.clock()
local total = 0
local r = 0
while r < 40000 do
    local s = ""
    local j = 0
    while j < 40 do
        if j % 2 == 0 then s = s .. "ab" else s = s .. "c" end
        j = j + 1
    end
    if s ~= "" then total = total + 1 end
    r = r + 1
end
print(string.format("%.17g %.6f", total, os.clock() - t0))
