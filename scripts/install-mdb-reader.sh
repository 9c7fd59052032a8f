#!/usr/bin/env bash
# Installs the npm package mdb-reader (an independent .mdb reader for the tests)
# into <prefix>/node_modules. Usage: scripts/install-mdb-reader.sh <prefix>
set -euo pipefail

readonly version="3.2.0"
prefix="${1:?usage: $0 <prefix folder, e.g. the build folder>}"
mkdir -p "$prefix"

installed="$prefix/node_modules/mdb-reader/package.json"
if [[ -f "$installed" ]] && grep -q "\"version\": \"$version\"" "$installed"; then
  exit 0
fi

if ! command -v node >/dev/null || ! command -v npm >/dev/null; then
  sudo_cmd=()
  [[ $(id -u) -ne 0 ]] && sudo_cmd=(sudo)
  "${sudo_cmd[@]}" apt-get update -qq
  "${sudo_cmd[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq nodejs npm
fi

npm install --prefix "$prefix" --no-audit --no-fund --loglevel=error "mdb-reader@$version"
