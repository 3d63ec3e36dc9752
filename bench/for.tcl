# Count from 1 to 1,000,000 and add the counter up, inside a procedure.
proc main {} {
    set s 0
    for {set i 1} {$i <= 1000000} {incr i} { set s [expr {$s + $i}] }
    puts $s
}
main
