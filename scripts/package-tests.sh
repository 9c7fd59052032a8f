#!/usr/bin/env bash
# Packages the builds the test command has just tested (build/test, build/win) and
# checks the packages as a user meets them: the validators; the Debian package
# installed, its converter and its window used, then removed without a trace; the
# Windows installer run silently under Wine, its converter used, then uninstalled
# without a trace. Installs and removes the package tessaly: run as root or with sudo.
set -euo pipefail
cd "$(dirname "$0")/.."

work=$(mktemp -d)
xvfb_pid=
cleanup() {
  [ -z "$xvfb_pid" ] || kill "$xvfb_pid" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
fail() { echo "package check failed: $*" >&2; exit 1; }
as_root=()
[ "$(id -u)" -eq 0 ] || as_root=(sudo)

TESSALY_LINUX_BUILD=build/test TESSALY_WINDOWS_BUILD=build/win scripts/package.sh deb windows \
  | tee "$work/made"
deb=$(grep '^dist/.*\.deb$' "$work/made")
setup=$(grep '^dist/.*-setup\.exe$' "$work/made")
zip=$(grep '^dist/.*\.zip$' "$work/made")
meta=build/test/packaging
app_id=$(dpkg-deb -c "$deb" | sed -n 's|.*/usr/share/applications/\(.*\)\.desktop$|\1|p')
desktop=$meta/$app_id.desktop
version_number=$(dpkg-deb -f "$deb" Version | cut -d- -f1)

# Exports to convert, and what this build's own converter makes of them: long cards
# with notes over several lines and some cards refused; for the window, plain ones
# (a refused card would stop it at a message box).
build/test/bench/gen_export 400 "$work/cards.csv" 7 --long >/dev/null
build/test/bench/gen_export 400 "$work/plain.csv" 7 >/dev/null
for export in cards plain; do
  build/test/app/tessaly-convert "$work/$export.csv" "$work/$export.mdb" >/dev/null 2>&1 \
    || fail "the tested converter did not convert $export.csv"
  mdb-export "$work/$export.mdb" tblCardData >"$work/$export.txt"
  [ "$(wc -l <"$work/$export.txt")" -gt 300 ] || fail "$export.csv converted to too few cards"
done
# same_cards DATABASE EXPORT WHAT
same_cards() {
  mdb-export "$1" tblCardData | cmp -s - "$work/$2.txt" || fail "$3: the cards differ"
}

echo "-- validators"
desktop-file-validate "$desktop" || fail "desktop-file-validate"
appstreamcli validate --no-net --pedantic "$meta/$app_id.metainfo.xml" || fail "appstreamcli"
lintian --fail-on error,warning --display-info "$deb" || fail "lintian"
for page in tessaly tessaly-convert; do
  warnings=$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -E UTF-8 -l "$meta/$page.1" 2>&1 >"$work/$page.txt")
  [ -z "$warnings" ] || fail "man $page: $warnings"
  # Every option --help names is in the manual page.
  for option in $("build/test/app/$page" --help | grep -oE -- '--[a-z]+' | sort -u); do
    grep -qe "^ *$option" "$work/$page.txt" || fail "man $page lacks $option"
  done
  echo "man $page: no warnings, every option of --help"
done

echo "-- the Debian package"
"${as_root[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -q "$PWD/$deb" >/dev/null
dpkg-query -L tessaly | sort >"$work/installed"
grep -q "^/usr/share/doc/tessaly/Readme.txt$" "$work/installed" || fail "no guide installed"
/usr/bin/tessaly-convert "$work/cards.csv" "$work/installed.mdb" >/dev/null 2>&1 \
  || fail "the installed tessaly-convert did not convert the export"
same_cards "$work/installed.mdb" cards "the installed tessaly-convert"
echo "installed tessaly-convert: the same cards as the tested build"

# The installed window, given the export as the desktop entry gives it: it opens
# the export, converts and saves it, and opens the installed guide from Help > Index
# (with a stand-in for the desktop's opener, which records what it was asked to
# open), under a virtual display with no window manager.
display=:$((90 + RANDOM % 100))
Xvfb "$display" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
xvfb_pid=$!
mkdir -p "$work/bin" "$work/home" "$work/tmp" "$work/cwd"
printf '#!/bin/sh\necho "$1" >>"%s/opened"\n' "$work" >"$work/bin/xdg-open"
chmod +x "$work/bin/xdg-open"
for _ in $(seq 50); do xdpyinfo -display "$display" >/dev/null 2>&1 && break; sleep 0.1; done
(cd "$work/cwd" && DISPLAY=$display QT_QPA_PLATFORM=xcb HOME=$work/home TMPDIR=$work/tmp \
  PATH="$work/bin:$PATH" exec /usr/bin/tessaly "$work/plain.csv") &
window_pid=$!
export DISPLAY=$display
window=$(timeout 20 xdotool search --sync --onlyvisible --name 'Tessaly' | head -1) \
  || fail "/usr/bin/tessaly showed no window"
xdotool windowfocus --sync "$window"
xprop -len 16777216 -id "$window" -notype -f _NET_WM_ICON 32c ' = $0+' _NET_WM_ICON >"$work/icon"
python3 - "$work/icon" /usr/share/icons/hicolor "$app_id" <<'PY' || fail "the window's icon"
# The window's icon (ARGB numbers from xprop) holds each installed PNG, pixel for pixel.
import glob, struct, sys, zlib

def png_argb(path):
    data = open(path, "rb").read()
    pos, idat, width = 8, b"", 0
    while pos < len(data):
        length, kind = struct.unpack(">I4s", data[pos:pos + 8])
        body = data[pos + 8:pos + 8 + length]
        if kind == b"IHDR":
            width, height, depth, colour, _, _, interlace = struct.unpack(">IIBBBBB", body)
            assert depth == 8 and colour == 6 and interlace == 0, path
        elif kind == b"IDAT":
            idat += body
        pos += 12 + length
    raw, stride, rows, prior = zlib.decompress(idat), width * 4, [], bytearray(width * 4)
    for y in range(height):
        kind, line = raw[y * (stride + 1)], bytearray(raw[y * (stride + 1) + 1:(y + 1) * (stride + 1)])
        for i in range(stride):
            a = line[i - 4] if i >= 4 else 0
            b, c = prior[i], prior[i - 4] if i >= 4 else 0
            if kind == 1: line[i] = (line[i] + a) & 255
            elif kind == 2: line[i] = (line[i] + b) & 255
            elif kind == 3: line[i] = (line[i] + (a + b) // 2) & 255
            elif kind == 4:
                p = a + b - c
                pa, pb, pc = abs(p - a), abs(p - b), abs(p - c)
                line[i] = (line[i] + (a if pa <= pb and pa <= pc else b if pb <= pc else c)) & 255
        rows.append(line)
        prior = line
    pixels = [r[i + 3] << 24 | r[i] << 16 | r[i + 1] << 8 | r[i + 2] for r in rows for i in range(0, stride, 4)]
    return width, height, pixels

text = open(sys.argv[1]).read()
numbers = [int(n) for n in text.split("=", 1)[1].replace(",", " ").split()] if "=" in text else []
shown = {}
while len(numbers) >= 2:
    w, h = numbers[0], numbers[1]
    shown[(w, h)] = numbers[2:2 + w * h]
    numbers = numbers[2 + w * h:]
def premultiplied(argb):
    a = argb >> 24
    return [a] + [((argb >> shift) & 255) * a // 255 for shift in (16, 8, 0)]

# The window system is given premultiplied pixels, so colours under a thin alpha
# come back rounded: equal within one step once premultiplied.
def same_picture(ours, theirs):
    return len(ours) == len(theirs) and all(
        abs(x - y) <= 1 for p, q in zip(ours, theirs) for x, y in zip(premultiplied(p), premultiplied(q)))

installed = {}
for png in glob.glob(f"{sys.argv[2]}/*x*/apps/{sys.argv[3]}.png"):
    w, h, pixels = png_argb(png)
    installed[(w, h)] = pixels
assert installed, "no icon installed"
assert shown, "the window has no icon"
for size, pixels in sorted(shown.items()):
    assert size in installed, f"the window shows a {size} icon that is not installed"
    assert same_picture(installed[size], pixels), f"the window's {size} icon is not the installed one"
print(f"window icon: {len(shown)} sizes, each the installed picture")
PY
# Ctrl+P converts; Ctrl+S, once the conversion has ended, asks where to save.
xdotool key --clearmodifiers ctrl+p
dialog=
for _ in $(seq 20); do
  xdotool key --clearmodifiers ctrl+s
  dialog=$(timeout 1 xdotool search --sync --onlyvisible --name '^Save ' | head -1) && break
done
[ -n "$dialog" ] || fail "Ctrl+S in the installed window showed no Save as dialog"
xdotool windowfocus --sync "$dialog" type --delay 5 "$work/saved.mdb"
xdotool key --clearmodifiers Return
for _ in $(seq 50); do [ -s "$work/saved.mdb" ] && break; sleep 0.1; done
same_cards "$work/saved.mdb" plain "the installed window's conversion"
echo "installed tessaly FILE.csv: opened the export; Ctrl+P, Ctrl+S saved the same cards"
xdotool windowfocus --sync "$window"
xdotool key --clearmodifiers alt+h
sleep 0.5
xdotool key --clearmodifiers i
for _ in $(seq 50); do [ -s "$work/opened" ] && break; sleep 0.1; done
[ "$(sed "s,^file://,," "$work/opened" 2>/dev/null)" = /usr/share/doc/tessaly/Readme.txt ] \
  || fail "Help > Index opened '$(cat "$work/opened" 2>/dev/null)', not the installed guide"
echo "installed tessaly: Help > Index opened /usr/share/doc/tessaly/Readme.txt"
xdotool key --clearmodifiers ctrl+q
timeout 10 tail --pid="$window_pid" -f /dev/null || fail "the window did not close on Ctrl+Q"
unset DISPLAY

"${as_root[@]}" env DEBIAN_FRONTEND=noninteractive apt-get remove -y -q tessaly >/dev/null
dpkg-query -W -f='${Status}' tessaly 2>/dev/null | grep -q installed && fail "tessaly still installed"
while read -r path; do
  [ -d "$path" ] || [ ! -e "$path" ] || fail "apt-get remove left $path"
done <"$work/installed"
[ ! -d /usr/share/doc/tessaly ] || fail "apt-get remove left /usr/share/doc/tessaly"
echo "apt-get remove: no file left of $(grep -c . "$work/installed") paths"

echo "-- the Windows installer and the portable .zip"
unzip -Z1 "$zip" | sort
export WINEPREFIX=$PWD/build/wine-prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
unset TZ
[ -d "$WINEPREFIX" ] || { wineboot -i </dev/null >/dev/null 2>&1; wineserver -w; }
windows_folder() { winepath -u "$(wine cmd /c echo "%$1%" </dev/null 2>/dev/null | tr -d '\r')"; }
key="HKCU\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\$app_id"
title=$(sed -n 's/^Name=//p' "$desktop")
programs=$(windows_folder LOCALAPPDATA)/Programs/$title
menu=$(windows_folder APPDATA)"/Microsoft/Windows/Start Menu/Programs/$title"

profile_files() { find "$WINEPREFIX/drive_c/users" -type f | sort; }
profile_files >"$work/files-before"
wine "$setup" /S </dev/null >/dev/null 2>&1
wineserver -w
for file in tessaly.exe tessaly-convert.exe Readme.txt Copyright.txt Uninstall.exe; do
  [ -f "$programs/$file" ] || fail "the installer put no $file in $programs"
done
ls "$menu"/*.lnk >/dev/null 2>&1 || fail "the installer made no Start menu shortcuts"
wine reg query "$key" /v UninstallString </dev/null >/dev/null 2>&1 \
  || fail "the installer registered no uninstaller"
echo "installer /S: $(ls "$programs" | tr '\n' ' ')in $programs; $(ls "$menu" | wc -l) shortcuts"
(cd "$work" && wine "$programs/tessaly-convert.exe" cards.csv windows.mdb </dev/null >/dev/null 2>&1) \
  || fail "the installed tessaly-convert.exe did not convert the export"
same_cards "$work/windows.mdb" cards "the installed tessaly-convert.exe"
echo "installed tessaly-convert.exe: the same cards as the tested build"
# The window's program starts from the install; the window itself is the Windows
# stage's, under a display.
version=$(wine "$programs/tessaly.exe" --version </dev/null 2>/dev/null | tr -d '\r')
[ "$version" = "tessaly $version_number" ] || fail "the installed tessaly.exe says \"$version\""
echo "installed tessaly.exe --version: $version"

wine "$programs/Uninstall.exe" /S </dev/null >/dev/null 2>&1
wineserver -w
# The uninstaller runs from a copy of itself in the temporary folder, which Windows
# deletes at its next start: start it again.
wine wineboot -r </dev/null >/dev/null 2>&1
wineserver -w
[ ! -e "$programs" ] || fail "the uninstaller left $(find "$programs" | tr '\n' ' ')"
[ ! -e "$menu" ] || fail "the uninstaller left $menu"
profile_files | diff "$work/files-before" - >&2 || fail "the uninstaller left files"
if wine reg query "$key" </dev/null >/dev/null 2>&1; then fail "the uninstaller left $key"; fi
echo "uninstaller /S: no file, shortcut or registry key left"
