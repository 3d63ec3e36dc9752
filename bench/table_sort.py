# Builds a 20,000-row CSV table, sorts it numerically by column 1, writes it back
# as CSV text, then reads the rows again: the row holding 19999 and the column sum.
# The same work as table_sort.prk, at top level.
import csv
import io

# Python's idiomatic way to build a large text (a += loop at top level copies the
# whole text every time).
parts = []
for i in range(1, 20001):
    parts.append("r%d,%d,n%d\r\n" % (i, (i * 7919) % 20000, i))
text = "".join(parts)

rows = list(csv.reader(io.StringIO(text)))
rows.sort(key=lambda r: float(r[1]))
out = io.StringIO()
csv.writer(out, lineterminator="\r\n").writerows(rows)
text = out.getvalue()

rows = list(csv.reader(io.StringIO(text)))
found = -1
for n, r in enumerate(rows):
    if r[1] == "19999":
        found = n
        break
rows = list(csv.reader(io.StringIO(text)))
total = sum(float(r[1]) for r in rows)
print("%d:%d" % (found, total))
