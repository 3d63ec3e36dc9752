# Reads the CSV file named by the argument and sums its second column (in a procedure).
proc main {path} {
    set f [open $path r]
    set s 0
    while {[gets $f line] >= 0} { set s [expr {$s + [lindex [split $line ,] 1]}] }
    close $f
    puts $s
}
main [lindex $argv 0]
