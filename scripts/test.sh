#!/usr/bin/env bash
# Builds and runs every test: once in a normal build, once under AddressSanitizer
# and UndefinedBehaviorSanitizer. Installs what the tests need first.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh test

jobs=$(nproc)
export QT_QPA_PLATFORM=offscreen
export TZ=UTC

run_suite() {
  local dir=$1; shift
  cmake -S . -B "$dir" "$@" >/dev/null
  cmake --build "$dir" -j"$jobs"
  scripts/install-mdb-reader.sh "$dir/node"
  ctest --test-dir "$dir" --output-on-failure -j"$jobs"
}

run_suite build/test -DCMAKE_BUILD_TYPE=RelWithDebInfo
ASAN_OPTIONS=detect_leaks=1:abort_on_error=0 \
UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
LSAN_OPTIONS=suppressions=$PWD/tests/lsan.supp \
  run_suite build/asan -DCMAKE_BUILD_TYPE=Debug -DTESSALY_SANITIZE=ON
echo "All tests passed."
