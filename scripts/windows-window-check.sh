#!/usr/bin/env bash
# Drives tessaly.exe under Wine as a user would, with keys typed into its windows
# on the X display (xdotool): Ctrl+O, the export's path, Enter, Ctrl+P, Ctrl+S, a
# path, Enter. The saved file must read back as the Linux converter's does. Then
# Edit > Notes to Journal, with the stand-in for Outlook's automation server
# registered: the folder dialog must show the item count of the folder typed;
# and with it unregistered: the command must say that Outlook is not available.
#
#   scripts/windows-window-check.sh TESSALY_EXE LINUX_TESSALY_CONVERT GEN_EXPORT \
#     OUTLOOK_STANDIN_DLL WINDOW_PROBE_EXE
#
# Expects Wine's variables (WINEPREFIX ...) and DISPLAY set, as windows-tests.sh
# sets them.
set -euo pipefail
exe=$(realpath "$1") convert=$(realpath "$2") gen=$(realpath "$3")
standin=$(winepath -w "$(realpath "$4")" 2>/dev/null) probe=$(realpath "$5")

work=$(mktemp -d)
pid=
cleanup() {
  [ -z "$pid" ] || kill "$pid" 2>/dev/null || true
  wine regsvr32 /u /s "$standin" </dev/null >/dev/null 2>&1 || true
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
# The folders the stand-in for Outlook serves; it reads them at each logon.
cat >"$work/store.json" <<'JSON'
{"stores": [{"root": {"entryId": "00000000ROOT", "name": "Mailbox", "defaultItemType": 0,
  "itemCount": 0, "folders": [{"entryId": "00000000CARDS", "name": "Contacts",
  "defaultItemType": 2, "itemCount": 312}]}}]}
JSON
TESSALY_STANDIN_STORE=$(winepath -w "$work/store.json" 2>/dev/null)
export TESSALY_STANDIN_STORE
unset TESSALY_OUTLOOK_STORE

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

# What the probe reads of a window, without Wine's line ends.
probe() { wine "$probe" "$@" </dev/null 2>/dev/null | tr -d '\r'; }

wine regsvr32 /s "$standin" </dev/null >/dev/null 2>&1 || fail "the stand-in for Outlook did not register"
keys "$main" key alt+e j
folders=$(window "Exchange folders")
# The focus starts on OK; the contact box is two tabs on.
keys "$folders" key Tab Tab
keys "$folders" type --delay 2 " 00000000CARDS "
keys "$folders" key Tab
count=
for _ in $(seq 50); do
  count=$(probe panel "Exchange folders" 1)
  [ -n "$count" ] && break
  sleep 0.2
done
[ "$count" = 312 ] || fail "the folder dialog shows \"$count\" items for the contact folder, not 312"
keys "$folders" key alt+F4
gone "Exchange folders"

wine regsvr32 /u /s "$standin" </dev/null >/dev/null 2>&1 || fail "the stand-in did not unregister"
keys "$main" key alt+e j
box=$(window "Orvane Tessaly")
said=$(probe text "Orvane Tessaly")
case "$said" in
  "Err 429 Outlook is not available ("*) ;;
  *) fail "without Outlook, Notes to Journal said: $said" ;;
esac
keys "$box" key Return
gone "Orvane Tessaly"

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
echo "tessaly.exe driven by keys under Wine: $rows cards saved, read back equal to the Linux converter's;"
echo "  Notes to Journal through the stand-in for Outlook showed $count items for the folder typed;"
echo "  without it: $said"
