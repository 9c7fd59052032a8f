#!/usr/bin/env bash
# Installs the Debian packages Tessaly needs, only those missing.
# Usage: scripts/install-deps.sh [run|package|test]
set -euo pipefail

purpose=${1:-test}
packages=(build-essential cmake pkg-config qt6-base-dev nlohmann-json3-dev fonts-dejavu-core)
if [ "$purpose" = package ] || [ "$purpose" = test ]; then
  # The Debian package (CPack asks file and dpkg-shlibdeps), the Windows installer.
  packages+=(file dpkg-dev g++-mingw-w64-x86-64-posix nsis)
fi
if [ "$purpose" = test ]; then
  # The packages' checks: validators, the manual pages, the installed window.
  packages+=(lintian desktop-file-utils appstream man-db xdotool x11-utils python3)
  packages+=(libgtest-dev mdbtools unixodbc odbc-mdbtools xvfb xauth clang libfuzzer-14-dev)
  # The Windows tests: GoogleTest's sources for MinGW-w64, Wine to run them with
  # the fonts Windows has (the window's caption buttons), what the window check reads.
  packages+=(googletest wine wine64 fonts-wine)
fi

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "ok installed" || missing+=("$p")
done
# Node.js may come from another source than Debian; only the commands matter.
if [ "$purpose" = test ]; then
  command -v node >/dev/null 2>&1 || missing+=(nodejs)
  command -v npm >/dev/null 2>&1 || missing+=(npm)
fi
[ ${#missing[@]} -eq 0 ] && exit 0

as_root=()
if [ "$(id -u)" -ne 0 ]; then
  command -v sudo >/dev/null 2>&1 || { echo "need root or sudo to install: ${missing[*]}" >&2; exit 1; }
  as_root=(sudo)
fi
echo "Installing: ${missing[*]}"
"${as_root[@]}" env DEBIAN_FRONTEND=noninteractive apt-get update -q
"${as_root[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends "${missing[@]}"
