# Appends a two-byte character N times (argument) and counts the characters, inside a procedure.
proc main {n} {
    set s ""
    for {set i 0} {$i < $n} {incr i} {append s "\u3042"}
    puts [string length $s]
}
main [lindex $argv 0]
