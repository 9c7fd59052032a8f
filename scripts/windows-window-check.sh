#!/usr/bin/env bash
# Drives tessaly.exe under Wine as a user would, with keys typed into its windows
# on the X display (xdotool): Ctrl+O, the export's path, Enter, Ctrl+P, Ctrl+S, a
# path, Enter. The saved file must read back as the Linux converter's does.
#
#   scripts/windows-window-check.sh TESSALY_EXE LINUX_TESSALY_CONVERT GEN_EXPORT
#
# Expects Wine's variables (WINEPREFIX ...) and DISPLAY set, as windows-tests.sh
# sets them.
set -euo pipefail
exe=$(realpath "$1") convert=$(realpath "$2") gen=$(realpath "$3")

work=$(mktemp -d)
pid=
cleanup() {
  [ -z "$pid" ] || kill "$pid" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

fail() {
  echo "window check: $*" >&2
  exit 1
}

# The visible window with this title, waiting up to `seconds` for it.
window() {
  local title=$1 seconds=${2:-30} id
  for _ in $(seq $((seconds * 10))); do
    id=$(xdotool search --onlyvisible --name "^$title\$" 2>/dev/null | head -1 || true)
    [ -n "$id" ] && { echo "$id"; return; }
    sleep 0.1
  done
  fail "no window \"$title\" after ${seconds} s"
}

gone() {
  local title=$1
  for _ in $(seq 300); do
    xdotool search --onlyvisible --name "^$title\$" >/dev/null 2>&1 || return 0
    sleep 0.1
  done
  fail "the window \"$title\" stays open"
}

keys() {
  xdotool windowfocus --sync "$1"
  shift
  xdotool "$@"
}

"$gen" 400 "$work/cards.csv" 11 >/dev/null
mkdir "$work/saved"
# Typed as the user types them: Windows paths.
export_path=$(winepath -w "$work/cards.csv" 2>/dev/null)
saved_path=$(winepath -w "$work/saved")\\Cards.mdb

(cd "$work" && exec wine "$exe" >/dev/null 2>&1) &
pid=$!
main=$(window "Dask Orvane Tessaly" 60)

keys "$main" key ctrl+o
open=$(window "Open Orvane Card export file...")
keys "$open" type --delay 2 "$export_path"
keys "$open" key Return
gone "Open Orvane Card export file..."

keys "$main" key ctrl+p
# Save as is offered once the conversion has ended; until then Ctrl+S does nothing.
save=
for _ in $(seq 120); do
  keys "$main" key ctrl+s
  sleep 0.5
  save=$(xdotool search --onlyvisible --name '^Save MDB Card data file...$' 2>/dev/null | head -1 || true)
  [ -n "$save" ] && break
done
[ -n "$save" ] || fail "Save as was not offered after the conversion"
# The dialog proposes OrvaneCard.mdb; the typed path replaces it.
keys "$save" key ctrl+a BackSpace
keys "$save" type --delay 2 "$saved_path"
keys "$save" key Return
gone "Save MDB Card data file..."

keys "$main" key ctrl+q
for _ in $(seq 300); do
  kill -0 "$pid" 2>/dev/null || break
  sleep 0.1
done
kill -0 "$pid" 2>/dev/null && fail "Ctrl+Q did not end the program"
pid=

[ -s "$work/saved/Cards.mdb" ] || fail "nothing saved at $saved_path"
"$convert" "$work/cards.csv" "$work/linux.mdb" >/dev/null
for file in saved/Cards.mdb linux.mdb; do
  mdb-schema "$work/$file" >"$work/$file.schema"
  mdb-export -D '%Y-%m-%d %H:%M:%S' "$work/$file" tblCardData >"$work/$file.rows"
done
diff "$work/linux.mdb.schema" "$work/saved/Cards.mdb.schema" || fail "the schemas differ"
diff "$work/linux.mdb.rows" "$work/saved/Cards.mdb.rows" || fail "the rows differ"
rows=$(mdb-count "$work/saved/Cards.mdb" tblCardData)
[ "$rows" -eq 400 ] || fail "$rows cards saved of 400"
echo "tessaly.exe driven by keys under Wine: $rows cards saved, read back equal to the Linux converter's"
