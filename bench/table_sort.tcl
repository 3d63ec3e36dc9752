# Builds a 20,000-row CSV table, sorts it numerically by column 1, writes it back
# as CSV text, then reads the rows again: the row holding 19999 and the column sum.
# The same work as table_sort.prk, at top level (cells hold no quotes, so a plain
# split reads them).
set text ""
for {set i 1} {$i <= 20000} {incr i} {
    append text "r$i,[expr {($i * 7919) % 20000}],n$i\r\n"
}
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
