-- Local, instance (a table field of self) and global variable traffic.
local t0 = os.clock()
local self = {}
local a = 0.0
self.b = 0.0
g = 0.0
local i = 0
while i < 2000000 do
    a = a + 1
    self.b = self.b + a
    g = g + self.b - a
    self.c = self.b
    i = i + 1
end
print(string.format("%.17g %.6f", g + self.c, os.clock() - t0))
