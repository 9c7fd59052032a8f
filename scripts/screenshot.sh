#!/bin/sh
# Builds the desktop program, converts a small sample export in the window under
# Xvfb and saves the window as docs/screenshot.png; with "windows", the Windows
# program under Wine as docs/screenshot-windows.png.
#
#   scripts/screenshot.sh [windows] [BUILD_DIR]     (default build-screenshot[-windows])
set -eu

root=$(cd "$(dirname "$0")/.." && pwd)
platform=linux
if [ "${1:-}" = windows ]; then
  platform=windows
  shift
fi
if [ $platform = windows ]; then
  build=${1:-"$root/build-screenshot-windows"}
  out="$root/docs/screenshot-windows.png"
  configure="-DCMAKE_TOOLCHAIN_FILE=$root/cmake/mingw-w64-x86_64.cmake -DCMAKE_BUILD_TYPE=Release"
else
  build=${1:-"$root/build-screenshot"}
  out="$root/docs/screenshot.png"
  configure=
fi

# A build folder of its own is configured without tests; one given is used as it is.
# shellcheck disable=SC2086
[ -f "$build/CMakeCache.txt" ] || cmake -S "$root" -B "$build" -DTESSALY_WITH_TESTS=OFF $configure >/dev/null
cmake --build "$build" --target tessaly >/dev/null

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# A sample export: the 47 columns Orvane writes, five cards, one with a note
# over two lines.
python3 - "$work/SampleCards.csv" <<'PY'
import sys
names = ["Title", "First Name", "Last Name", "Middle Name", "Department",
         "Government ID Number", "Home Street", "Home Street 2", "Home City",
         "Home State", "Home Postal Code", "Home Country", "Home Phone",
         "Home Phone Ext", "Home Fax", "Home Fax Ext", "User 1", "Company",
         "Job Title", "Assistant's Name", "Referred By", "Business Street",
         "Business Street 2", "Business City", "Business State",
         "Business Postal Code", "Business Country", "Business Phone",
         "Business Phone Ext", "Business Fax", "Business Fax Ext", "Spouse",
         "Categories", "Profession", "Birthday", "Anniversary", "Other Street",
         "Other Street 2", "Other City", "Other State", "Other Postal Code",
         "Other Country", "Other Phone", "Other Phone Ext", "Other Fax",
         "Other Fax Ext", "Notes"]
people = [
    ("Ms.", "Ada", "Lovelace", "Analytical Engines Ltd", "London", "555-0101", "", "12/10/1815", "Pioneer"),
    ("Mr.", "Alan", "Turing", "Bletchley Park", "Milton Keynes", "555-0102", "204", "6/23/1912", "Codebreaker"),
    ("Dr.", "Grace", "Hopper", "Navy Computing", "Arlington", "555-0103", "", "12/9/1906", "Met at the conference\nAsked for the compiler notes"),
    ("", "Claude", "Shannon", "Bell Labs", "Murray Hill", "555-0104", "17", "", "Juggler"),
    ("Prof.", "Edsger", "Dijkstra", "Eindhoven University", "Eindhoven", "555-0105", "", "5/11/1930", ""),
]
lines = ['"' + '","'.join(names) + '"']
for title, first, last, company, city, phone, ext, birthday, notes in people:
    cols = [""] * 47
    cols[0], cols[1], cols[2], cols[17], cols[23] = title, first, last, company, city
    cols[27], cols[28], cols[34] = phone, ext, birthday
    cols[32] = "Business"
    first_note, *more = notes.split("\n")
    cols[46] = first_note
    line = '"' + '","'.join(cols)
    if more:
        lines.append(line)
        lines.extend(more)
        lines.append('"')
    else:
        lines.append(line + '"')
with open(sys.argv[1], "w", newline="", encoding="cp1252") as f:
    f.write("\r\n".join(lines) + "\r\n")
PY

mkdir -p "$(dirname "$out")"
if [ $platform = linux ]; then
  TMPDIR="$work" xvfb-run -a -s "-screen 0 1024x768x24" \
    env QT_QPA_PLATFORM=xcb "$build/app/tessaly" "$work/SampleCards.csv" --parse \
    --screenshot "$out"
  echo "$out"
  exit 0
fi

# A Wine prefix of its own, made on the display like everything Wine starts there;
# with no window manager, Wine draws the window's frame and caption itself.
export WINEPREFIX="$work/prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" \
  EXPORT="$work/SampleCards.csv" SHOT="$work/shot.png" PROGRAM="$build/app/tessaly.exe"
unset TZ
xvfb-run -a -s "-screen 0 1024x768x24" sh -c '
  wineboot -i >/dev/null 2>&1
  wine reg add "HKCU\\Software\\Wine\\X11 Driver" /v Managed /d N /f >/dev/null 2>&1
  wine "$PROGRAM" "$(winepath -w "$EXPORT")" --parse --screenshot "$(winepath -w "$SHOT")"
  status=$?
  wineserver -k
  exit $status' </dev/null
# The program stores its pixels; compressed here for the documentation.
python3 - "$work/shot.png" "$out" <<'PY'
import struct, sys, zlib
data = open(sys.argv[1], "rb").read()
chunks, at = [], 8
while at < len(data):
    length, kind = struct.unpack(">I4s", data[at:at + 8])
    chunks.append((kind, data[at + 8:at + 8 + length]))
    at += 12 + length
pixels = zlib.compress(zlib.decompress(b"".join(body for kind, body in chunks if kind == b"IDAT")), 9)
def chunk(kind, body):
    return struct.pack(">I", len(body)) + kind + body + struct.pack(">I", zlib.crc32(kind + body))
with open(sys.argv[2], "wb") as out:
    out.write(data[:8] + chunk(b"IHDR", dict(chunks)[b"IHDR"]) + chunk(b"IDAT", pixels) + chunk(b"IEND", b""))
PY
echo "$out"
