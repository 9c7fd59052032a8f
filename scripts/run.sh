#!/usr/bin/env bash
# Builds Tessaly and starts the desktop program. Extra arguments go to the program.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh run
cmake -S . -B build/release -DCMAKE_BUILD_TYPE=Release -DTESSALY_WITH_TESTS=OFF >/dev/null
cmake --build build/release -j"$(nproc)" --target tessaly tessaly-convert
if [ -z "${DISPLAY:-}${WAYLAND_DISPLAY:-}${QT_QPA_PLATFORM:-}" ]; then
  echo "No display to show the window on. Without one, convert on the command line:" >&2
  build/release/app/tessaly-convert --help >&2
  exit 1
fi
exec build/release/app/tessaly "$@"
