#!/usr/bin/env bash
# Builds the packages into dist/: the Debian package tessaly_VERSION_amd64.deb (the
# window and the converter, release build), and for Windows the per-user installer
# tessaly-VERSION-setup.exe and the same files as tessaly-VERSION-win64.zip.
#
#   scripts/package.sh [deb] [windows]      (default: both)
#
# TESSALY_LINUX_BUILD and TESSALY_WINDOWS_BUILD name the build folders to package
# (default build/release, as scripts/run.sh builds it, and build/win-release); a
# folder already configured keeps its settings, which is how the test command
# packages the builds it has tested.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh package

jobs=$(nproc)
linux=${TESSALY_LINUX_BUILD:-build/release}
windows=${TESSALY_WINDOWS_BUILD:-build/win-release}
kinds=("$@")
[ ${#kinds[@]} -gt 0 ] || kinds=(deb windows)
mkdir -p dist

configure() {
  local dir=$1; shift
  if [ -f "$dir/CMakeCache.txt" ]; then
    cmake -S . -B "$dir" -DCMAKE_INSTALL_PREFIX=/usr >/dev/null
  else
    cmake -S . -B "$dir" -DCMAKE_BUILD_TYPE=Release -DTESSALY_WITH_TESTS=OFF \
      -DCMAKE_INSTALL_PREFIX=/usr "$@" >/dev/null
  fi
}

# The package file CPack reports making.
made() { sed -n 's/^CPack: - package: \(.*\) generated\.$/\1/p'; }

for kind in "${kinds[@]}"; do
  case $kind in
    deb)
      configure "$linux"
      cmake --build "$linux" -j"$jobs"
      deb=$(cd "$linux" && cpack -G DEB | made)
      cp "$deb" dist/
      echo "dist/$(basename "$deb")"
      ;;
    windows)
      configure "$windows" -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake \
        -DTESSALY_WITH_UI=OFF
      cmake --build "$windows" -j"$jobs" --target windows_installer
      zip=$(cd "$windows" && cpack -G ZIP | made)
      cp "$windows"/tessaly-*-setup.exe "$zip" dist/
      echo "dist/$(basename "$windows"/tessaly-*-setup.exe)"
      echo "dist/$(basename "$zip")"
      ;;
    *)
      echo "usage: scripts/package.sh [deb] [windows]" >&2
      exit 2
      ;;
  esac
done
