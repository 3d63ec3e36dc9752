# N keys (k1 … kN) into a dictionary, every one written again, the keys enumerated
# (one a line, CR LF) and the byte count of that text printed (in a procedure).
proc main {n} {
    set d [dict create]
    for {set i 1} {$i <= $n} {incr i} { dict set d k$i $i }
    for {set i 1} {$i <= $n} {incr i} { dict set d k$i [expr {$i * 2}] }
    set k ""
    foreach key [dict keys $d] { append k $key "\r\n" }
    puts [string length $k]
}
main [lindex $argv 0]
