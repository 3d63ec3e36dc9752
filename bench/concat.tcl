# Appends a two-byte character N times (argument) and counts the characters, at top level.
set n [lindex $argv 0]
set s ""
for {set i 0} {$i < $n} {incr i} {append s "\u3042"}
puts [string length $s]
