#!/usr/bin/env bash
# Builds the libFuzzer targets with clang and runs each for a while; fails on the
# first finding, which is kept in build/fuzz/findings/.
# Usage: scripts/fuzz.sh [seconds per target, default 15] [target ...]
set -euo pipefail
cd "$(dirname "$0")/.."

seconds=${1:-15}
shift || true
targets=("$@")
[ ${#targets[@]} -eq 0 ] && targets=(line_parser date_text text_encoder folder_store conversion)

CC=clang CXX=clang++ cmake -S . -B build/fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DTESSALY_FUZZ=ON -DTESSALY_WITH_UI=OFF -DTESSALY_WITH_TESTS=OFF >/dev/null
cmake --build build/fuzz --target fuzzers -j"$(nproc)"
mkdir -p build/fuzz/findings

status=0
for target in "${targets[@]}"; do
  # New inputs go to the build folder; the seeds in the repository stay as they are.
  corpus=build/fuzz/corpus/$target
  log=build/fuzz/$target.log
  mkdir -p "$corpus"
  start=$SECONDS
  if ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
      "build/fuzz/fuzz/fuzz_$target" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
      -max_len=16384 -print_final_stats=1 -artifact_prefix="build/fuzz/findings/$target-" \
      "$corpus" "fuzz/corpus/$target" >"$log" 2>&1; then
    runs=$(grep -m1 -o 'stat::number_of_executed_units: *[0-9]*' "$log" | grep -o '[0-9]*$' || echo "?")
    echo "fuzz $target: passed, $runs runs in $((SECONDS - start)) s"
  else
    echo "fuzz $target: FAILED after $((SECONDS - start)) s; the input is in build/fuzz/findings/" >&2
    grep -E -A25 'check failed|ERROR|==[0-9]+==|deadly signal|Test unit written' "$log" | head -60 >&2 || tail -40 "$log" >&2
    status=1
  fi
done
exit $status
