# Calls a function 100,000 times.
add() { a=$((a + 1)); }
a=0
for ((i = 0; i < 100000; i++)); do add; done
echo "$a"
