-- Recursive function calls.
local t0 = os.clock()
local function fib(n)
    if n < 2 then return n end
    return fib(n - 1) + fib(n - 2)
end
print(string.format("%.17g %.6f", fib(27), os.clock() - t0))
