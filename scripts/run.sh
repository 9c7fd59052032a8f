#!/usr/bin/env bash
# Builds Tessaly and starts the desktop program. Extra arguments go to the program.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh run
cmake -S . -B build/release -DCMAKE_BUILD_TYPE=Release -DTESSALY_WITH_TESTS=OFF >/dev/null
cmake --build build/release -j"$(nproc)" --target tessaly tessaly-convert
exec build/release/app/tessaly "$@"
