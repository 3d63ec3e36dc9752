# Calls a procedure 100,000 times from inside a procedure.
proc add {} { global a; incr a }
proc main {} {
    global a
    set a 0
    for {set i 0} {$i < 100000} {incr i} {add}
    puts $a
}
main
