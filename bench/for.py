# Count from 1 to 1,000,000 and add the counter up (top level).
s = 0
for i in range(1, 1000001):
    s = s + i
print(s)
