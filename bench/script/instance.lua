-- Instance variables (table fields of self) updated in a counted loop.
local t0 = os.clock()
local self = {}
self.hits = 100.0
self.points = 0.0
self.pace = 1.5
for _ = 1, 2000000 do
    self.points = self.points + self.pace * 2
    self.hits = self.hits - 1
    if self.hits <= 0 then self.hits = 100.0 end
end
print(string.format("%.17g %.6f", self.points + self.hits, os.clock() - t0))
