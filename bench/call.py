# Calls a function 100,000 times from top level.
def add():
    global a
    a = a + 1
a = 0
for i in range(100000):
    add()
print(a)
