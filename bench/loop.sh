# 1,000,000 iterations adding to a variable.
a=0
for ((i = 0; i < 1000000; i++)); do a=$((a + 1)); done
echo "$a"
