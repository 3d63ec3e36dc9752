# Count from 1 to 1,000,000 and add the counter up (top level).
set s 0
for {set i 1} {$i <= 1000000} {incr i} { set s [expr {$s + $i}] }
puts $s
