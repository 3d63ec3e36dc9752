# Reads the file named by the argument, replaces every run of "-" by "+", prints the byte count.
import re, sys
with open(sys.argv[1], "rb") as f:
    t = f.read().decode("cp932")
t = re.sub("-+", "+", t)
print(len(t.encode("cp932")))
