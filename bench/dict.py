# N keys (k1 … kN) into a dictionary, every one written again, the keys enumerated
# (one a line, CR LF) and the byte count of that text printed.
import sys
n = int(sys.argv[1])
d = {}
for i in range(1, n + 1):
    d["k" + str(i)] = i
for i in range(1, n + 1):
    d["k" + str(i)] = i * 2
k = "".join(key + "\r\n" for key in d)
print(len(k))
