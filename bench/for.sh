#!/usr/bin/env bash
# Count from 1 to 1,000,000 and add the counter up.
s=0
for ((i = 1; i <= 1000000; i++)); do s=$((s + i)); done
echo "$s"
