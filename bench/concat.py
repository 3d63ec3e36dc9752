# Appends a two-byte character N times (argument) and counts the characters. Inside a
# function, as a Python program would be written: at top level every append copies
# the whole string (the in-place append works on local variables only), which made
# this row quadratic and compared nothing.
import sys


def main(n):
    s = ""
    for i in range(n):
        s += "\u3042"
    return len(s)


print(main(int(sys.argv[1])))
