# Reads table20k.csv (20,000 rows), sorts it numerically by column 1, writes it
# back as CSV text, then reads the rows again: the row holding 19999 and the column
# sum. The same work as table_file.prk.
import csv
import io

with open("table20k.csv", newline="") as f:
    text = f.read()
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
