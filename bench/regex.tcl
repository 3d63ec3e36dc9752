# Reads the file named by the argument, replaces every run of "-" by "+", prints the byte count.
proc main {path} {
    set f [open $path rb]
    set t [read $f]
    close $f
    regsub -all -- {-+} $t + t
    puts [string length $t]
}
main [lindex $argv 0]
