# Reads table20k.csv (20,000 rows), sorts it numerically by column 1, writes it
# back as CSV text, then reads the rows again: the row holding 19999 and the column
# sum. The same work as table_file.prk (cells hold no quotes: a plain split reads them).
set f [open table20k.csv rb]
set text [read $f]
close $f
set rows {}
foreach line [split [string trimright $text "\r\n"] "\n"] {
    lappend rows [split [string trimright $line "\r"] ","]
}
set rows [lsort -real -index 1 $rows]
set out ""
foreach r $rows { append out [join $r ","] "\r\n" }
set text $out

set found -1
set n 0
foreach line [split [string trimright $text "\r\n"] "\n"] {
    if {[lindex [split [string trimright $line "\r"] ","] 1] eq "19999"} { set found $n; break }
    incr n
}
set total 0
foreach line [split [string trimright $text "\r\n"] "\n"] {
    set total [expr {$total + [lindex [split [string trimright $line "\r"] ","] 1]}]
}
puts "$found:$total"
