#!/usr/bin/env bash
# Installs the Khronos glTF Validator (npm package gltf-validator, pinned) into DIR, by default
# build-tools/gltf-validator (shared by every build folder); does nothing when that version is already there. Needs node and npm
# (scripts/install-deps.sh brings them from Debian where they are missing).
set -euo pipefail
version=2.0.0-dev.3.10
dir="${1:-$(dirname "$0")/../build-tools/gltf-validator}"
installed="$dir/node_modules/gltf-validator/package.json"
if [ -f "$installed" ] && grep -q "\"version\": \"$version\"" "$installed"; then
    exit 0
fi
if ! command -v npm >/dev/null; then
    bash "$(dirname "$0")/install-deps.sh"
fi
mkdir -p "$dir"
npm install --prefix "$dir" --no-audit --no-fund --silent "gltf-validator@$version"
