# 1,000,000 iterations adding to a variable, inside a procedure (bytecode-compiled).
proc main {} {
    set a 0
    for {set i 0} {$i < 1000000} {incr i} {set a [expr {$a + 1}]}
    puts $a
}
main
