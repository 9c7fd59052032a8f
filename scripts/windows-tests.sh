#!/usr/bin/env bash
# Cross-builds the Qt-free core, tessaly-convert.exe and their tests for 64-bit
# Windows with MinGW-w64, runs the tests under Wine, then has this system's
# independent readers check the files the .exe wrote against the Linux build's.
# Expects build/test, the Linux build of the tests (scripts/test.sh makes it first).
set -euo pipefail
cd "$(dirname "$0")/.."

jobs=$(nproc)
build=build/win
cmake -S . -B "$build" -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake \
  -DCMAKE_BUILD_TYPE=Release -DTESSALY_WITH_UI=OFF >/dev/null
cmake --build "$build" -j"$jobs"

# A static program: nothing but the system's own DLLs.
exe=$build/app/tessaly-convert.exe
dlls=$(x86_64-w64-mingw32-objdump -p "$exe" | sed -n 's/^\s*DLL Name: //p' | sort -u)
extra=$(grep -viE '^(kernel32|msvcrt|user32|advapi32|shell32|ws2_32|api-ms-win-.*)\.dll$' \
  <<<"$dlls" || true)
if [ -n "$extra" ]; then
  echo "tessaly-convert.exe needs DLLs a bare Windows lacks: $extra" >&2
  exit 1
fi
echo "tessaly-convert.exe imports only: $(tr '\n' ' ' <<<"$dlls")"

# A private Wine prefix, its services started with stdio off the test pipes (a
# service holding ctest's pipe open would hang the run), and no TZ: Wine reads a
# POSIX TZ its own way.
export WINEPREFIX=$PWD/build/wine-prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
unset TZ DISPLAY
[ -d "$WINEPREFIX" ] || { wineboot -i </dev/null >/dev/null 2>&1; wineserver -w; }
wineserver -p </dev/null >/dev/null 2>&1
wine cmd /c exit </dev/null >/dev/null 2>&1
trap 'wineserver -k >/dev/null 2>&1 || true' EXIT

log=$build/ctest.log
status=0
ctest --test-dir "$build" --output-on-failure -j"$jobs" --timeout 600 </dev/null 2>&1 \
  | tee "$log" || status=$?
[ "$status" -eq 0 ] || exit "$status"
ran=$(grep -cE '^ *[0-9]+/[0-9]+ Test +#' "$log" || true)
skipped=$(grep -cE '\(Skipped\)$' "$log" || true)
echo "Windows build: $ran tests run under Wine, $skipped of them skipped:"
awk '/^\[ RUN      \]/ { name = $4 } /: Skipped$/ { getline reason; print "  " name ": " reason }' \
  "$build/Testing/Temporary/LastTest.log"

cmake -S . -B build/test -DTESSALY_WINDOWS_CONVERTER="$PWD/$exe" >/dev/null
cmake --build build/test -j"$jobs" --target windows_converter_tests
ctest --test-dir build/test --output-on-failure -R '^WindowsConverter\.' </dev/null
# Off again, so that a plain ctest in build/test does not need Wine.
cmake -S . -B build/test -DTESSALY_WINDOWS_CONVERTER= >/dev/null
