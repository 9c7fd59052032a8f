#!/usr/bin/env bash
# Cross-builds the core, tessaly-convert.exe, the window tessaly.exe and their
# tests for 64-bit Windows with MinGW-w64 and runs the tests under Wine, windows on
# a virtual X display, Outlook's part against the project's stand-in for its
# automation server; then drives tessaly.exe by keys as a user would, and has
# this system's independent readers check the files both programs wrote against
# the Linux build's. Expects build/test, the Linux build of the tests
# (scripts/test.sh makes it first).
set -euo pipefail
cd "$(dirname "$0")/.."

jobs=$(nproc)
build=build/win
cmake -S . -B "$build" -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake \
  -DCMAKE_BUILD_TYPE=Release -DTESSALY_WITH_UI=ON >/dev/null
cmake --build "$build" -j"$jobs"

# Static programs: nothing but the system's own DLLs.
for exe in "$build/app/tessaly-convert.exe" "$build/app/tessaly.exe"; do
  dlls=$(x86_64-w64-mingw32-objdump -p "$exe" | sed -n 's/^\s*DLL Name: //p' | sort -u)
  extra=$(grep -viE '^(kernel32|msvcrt|user32|gdi32|advapi32|shell32|ole32|oleaut32|comctl32|comdlg32|ws2_32|api-ms-win-.*)\.dll$' \
    <<<"$dlls" || true)
  if [ -n "$extra" ]; then
    echo "$(basename "$exe") needs DLLs a bare Windows lacks: $extra" >&2
    exit 1
  fi
  echo "$(basename "$exe") imports only: $(tr '\n' ' ' <<<"$dlls")"
done

# Wine makes windows only on an X display: a virtual one, on a free number, there
# before Wine starts its desktop.
displays=$(mktemp)
Xvfb -displayfd 3 -screen 0 1280x900x24 -nolisten tcp 3>"$displays" </dev/null >/dev/null 2>&1 &
xvfb=$!
trap 'wineserver -k >/dev/null 2>&1 || true; kill $xvfb 2>/dev/null || true; rm -f "$displays"' EXIT
for _ in $(seq 100); do [ -s "$displays" ] && break; sleep 0.1; done
[ -s "$displays" ] || { echo "Xvfb did not start" >&2; exit 1; }
export DISPLAY=:$(head -1 "$displays")

# A private Wine prefix, its services started with stdio off the test pipes (a
# service holding ctest's pipe open would hang the run), and no TZ: Wine reads a
# POSIX TZ its own way.
export WINEPREFIX=$PWD/build/wine-prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
unset TZ
[ -d "$WINEPREFIX" ] || { wineboot -i </dev/null >/dev/null 2>&1; wineserver -w; }
wineserver -p </dev/null >/dev/null 2>&1
# With no window manager on the display, Wine draws the windows' frames itself
# instead of waiting for a manager at each window shown and hidden.
wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f </dev/null >/dev/null 2>&1
wine cmd /c exit </dev/null >/dev/null 2>&1

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

scripts/windows-window-check.sh "$build/app/tessaly.exe" build/test/app/tessaly-convert \
  build/test/bench/gen_export "$build/tests/outlook_standin/outlook-standin.dll" \
  "$build/tests/winui/window-probe.exe"

exe=$build/app/tessaly-convert.exe
cmake -S . -B build/test -DTESSALY_WINDOWS_CONVERTER="$PWD/$exe" >/dev/null
cmake --build build/test -j"$jobs" --target windows_converter_tests
ctest --test-dir build/test --output-on-failure -R '^WindowsConverter\.' </dev/null
# Off again, so that a plain ctest in build/test does not need Wine.
cmake -S . -B build/test -DTESSALY_WINDOWS_CONVERTER= >/dev/null
