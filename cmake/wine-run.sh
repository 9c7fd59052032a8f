#!/bin/sh
# Runs a cross-built test under Wine: wine-run.sh WINE PROGRAM [ARGUMENTS...]
# Wine now and then fails to start a process at all: it ends at once, having
# written nothing. A test program always writes something first, so such a start
# is tried once more; every other outcome stands as it is.
wine=$1
shift
out=$(mktemp)
"$wine" "$@" >"$out" 2>&1
status=$?
if [ "$status" -ne 0 ] && [ ! -s "$out" ]; then
  echo "wine-run: Wine started nothing (status $status); once more" >&2
  "$wine" "$@" >"$out" 2>&1
  status=$?
fi
cat "$out"
rm -f "$out"
exit "$status"
