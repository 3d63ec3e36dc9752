#!/usr/bin/env bash
# Recursive Fibonacci number 24 through a function.
fib() {
  local n=$1
  if (( n < 2 )); then r=$n; return; fi
  fib $((n - 1)); local a=$r
  fib $((n - 2)); r=$((a + r))
}
fib 24
echo "$r"
