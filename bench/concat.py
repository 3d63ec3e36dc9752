# Appends a two-byte character N times (argument) and counts the characters, at top level.
import sys
n = int(sys.argv[1])
s = ""
for i in range(n):
    s += "\u3042"
print(len(s))
