-- A sieve of primes below 30000 over a table, ten times.
local t0 = os.clock()
local n = 30000
local count = 0
local flags = {}
for run = 1, 10 do
    local i = 0
    while i < n do flags[i] = 1; i = i + 1 end
    count = 0
    i = 2
    while i < n do
        if flags[i] == 1 then
            count = count + 1
            local j = i * i
            while j < n do flags[j] = 0; j = j + i end
        end
        i = i + 1
    end
end
print(string.format("%.17g %.6f", count, os.clock() - t0))
