#!/usr/bin/env bash
# Builds and runs every test: once in a normal build, once under AddressSanitizer
# and UndefinedBehaviorSanitizer, the converter's and the session's tests under
# ThreadSanitizer, once cross-built for Windows and run under Wine; then packages
# the tested builds and checks the packages installed, used and removed; then runs
# each fuzz target for a short while.
# Installs what the tests need first. Each stage reports how long it took.
# TESSALY_FUZZ_SECONDS sets the time per fuzz target (default 15).
set -euo pipefail
cd "$(dirname "$0")/.."

jobs=$(nproc)
export QT_QPA_PLATFORM=offscreen
export TZ=UTC

stage() {
  local name=$1 start=$SECONDS
  shift
  echo "== $name"
  "$@"
  echo "== $name: done in $((SECONDS - start)) s"
}

run_suite() {
  local dir=$1; shift
  cmake -S . -B "$dir" "$@" >/dev/null
  cmake --build "$dir" -j"$jobs"
  scripts/install-mdb-reader.sh "$dir/node"
  ctest --test-dir "$dir" --output-on-failure -j"$jobs"
}

# The converter's and the session's tests alone: their threads are what
# ThreadSanitizer is for. Timing bounds are left to the other builds, which run
# several times faster.
run_tsan_suite() {
  local dir=build/tsan
  cmake -S . -B "$dir" -DCMAKE_BUILD_TYPE=None "-DCMAKE_CXX_FLAGS=-O1 -g1" -DTESSALY_TSAN=ON \
    -DTESSALY_WITH_UI=OFF >/dev/null
  cmake --build "$dir" -j"$jobs" --target engine_tests session_tests
  scripts/install-mdb-reader.sh "$dir/node"
  TSAN_OPTIONS=halt_on_error=1 ctest --test-dir "$dir" --output-on-failure -j"$jobs" \
    -E 'NOT_BUILT|BadExportsGetAClearMessageAndNoOutputInBoundedTime|RefusedDestinationStopsBeforeTheExportIsRead'
}

total=$SECONDS
stage "installing what the tests need" scripts/install-deps.sh test
stage "tests" run_suite build/test -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTESSALY_WINDOWS_CONVERTER=
ASAN_OPTIONS=detect_leaks=1:abort_on_error=0 \
UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
LSAN_OPTIONS=suppressions=$PWD/tests/lsan.supp \
  stage "tests under AddressSanitizer and UndefinedBehaviorSanitizer" \
  run_suite build/asan -DCMAKE_BUILD_TYPE=Debug -DTESSALY_SANITIZE=ON
stage "converter and session tests under ThreadSanitizer" run_tsan_suite
stage "Windows build under Wine" scripts/windows-tests.sh
stage "packages: built, validated, installed, used and removed" scripts/package-tests.sh
stage "fuzzing" scripts/fuzz.sh "${TESSALY_FUZZ_SECONDS:-15}"
echo "All tests passed in $((SECONDS - total)) s."
