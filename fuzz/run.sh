#!/usr/bin/env bash
# Runs every fuzz target (or those in FUZZ_TARGETS) for FUZZ_SECONDS each, one
# after the other at the lowest priority, on the seeds in fuzz/corpus/<target>.
# Builds the instrumented targets in build-fuzz/ first (GCC's coverage
# instrumentation feeding AFL++'s run-time, see fuzz/CMakeLists.txt). Prints one line
# per target (executions, corpus entries, edges, crashes, hangs) and exits 1 when
# any target found a crash or a hang; the inputs are under build-fuzz/findings/.
#
#   FUZZ_SECONDS=600 FUZZ_TARGETS="csv date" fuzz/run.sh
#   FUZZ_RESUME=1 ...   continues the previous session of each target
#
# Without afl-fuzz the corpus is only replayed through the plain drivers of the
# ordinary build (build/).
set -euo pipefail
cd "$(dirname "$0")/.."

# The fuzz build carries no sanitizer; options meant for a sanitizer build (CI sets
# them for its sanitizer stage) would make afl-fuzz refuse to start.
unset ASAN_OPTIONS UBSAN_OPTIONS LSAN_OPTIONS MSAN_OPTIONS

SECONDS_EACH=${FUZZ_SECONDS:-60}
BUILD=${FUZZ_BUILD_DIR:-build-fuzz}
OUT=$BUILD/findings
TARGETS=${FUZZ_TARGETS:-$(sed -n 's/^set(PORUKANA_FUZZ_TARGETS \(.*\))$/\1/p' fuzz/CMakeLists.txt)}

if ! command -v afl-fuzz >/dev/null || [ ! -f /usr/lib/afl/afl-compiler-rt.o ]; then
  echo "fuzz: afl++ not installed; replaying the corpus only"
  cmake --build build
  for t in $TARGETS; do build/bin/fuzz_$t fuzz/corpus/$t; done
  exit 0
fi

if [ ! -f "$BUILD/build.ninja" ]; then
  cmake -S . -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DPORUKANA_FUZZ=ON >/dev/null
fi
cmake --build "$BUILD" >/dev/null

# No network for the programs the fuzzer writes (they run with the high security
# level, so they cannot write or start anything; this keeps them off the network).
ISOLATE=()
if unshare -n true 2>/dev/null; then ISOLATE=(unshare -n); fi

export AFL_MAP_SIZE=65536 AFL_NO_UI=1 AFL_SKIP_CPUFREQ=1 AFL_NO_AFFINITY=1 AFL_I_DONT_CARE_ABOUT_MISSING_CRASHES=1
failed=0
printf '%-10s %10s %8s %7s %8s %6s\n' target execs corpus edges crashes hangs
for t in $TARGETS; do
  mkdir -p "$OUT"
  input=(-i "fuzz/corpus/$t")
  if [ "${FUZZ_RESUME:-0}" = 1 ] && [ -f "$OUT/$t/default/fuzzer_stats" ]; then
    input=(-i -)
  else
    rm -rf "${OUT:?}/$t"
  fi
  dict=()
  if [ -f "fuzz/$t.dict" ]; then dict=(-x "fuzz/$t.dict"); fi
  if ! "${ISOLATE[@]}" nice -n 19 afl-fuzz "${input[@]}" "${dict[@]}" -o "$OUT/$t" -V "$SECONDS_EACH" -m none -t 3000 \
      -- "$BUILD/bin/fuzz_$t" >"$OUT/$t.log" 2>&1; then
    echo "fuzz: afl-fuzz failed for $t:"; tail -20 "$OUT/$t.log"; failed=1; continue
  fi
  stats=$OUT/$t/default/fuzzer_stats
  stat() { sed -n "s/^$1 *: *//p" "$stats"; }
  crashes=$(stat saved_crashes); hangs=$(stat saved_hangs)
  printf '%-10s %10s %8s %7s %8s %6s\n' "$t" "$(stat execs_done)" "$(stat corpus_count)" \
    "$(stat edges_found)" "$crashes" "$hangs"
  if [ "${crashes:-0}" != 0 ] || [ "${hangs:-0}" != 0 ]; then
    ls "$OUT/$t/default/crashes" "$OUT/$t/default/hangs" 2>/dev/null | grep -v README | sed 's/^/  /'
    failed=1
  fi
done
exit $failed
