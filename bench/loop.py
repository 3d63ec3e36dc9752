# 1,000,000 iterations adding to a variable, at top level.
a = 0
for i in range(1000000):
    a = a + 1
print(a)
