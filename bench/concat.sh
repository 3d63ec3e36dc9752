# Appends a two-byte character N times ($1) and counts the characters.
n=$1
s=""
for ((i = 0; i < n; i++)); do s+="あ"; done
echo "${#s}"
