# Reads the CSV file named by the argument and sums its second column.
import csv, sys
s = 0
with open(sys.argv[1], newline="", encoding="cp932") as f:
    for row in csv.reader(f):
        s += int(row[1])
print(s)
