#!/usr/bin/env bash
# Installs what is missing, builds, and starts Quillmark.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
cmake --preset dev >/dev/null
cmake --build --preset dev -j"$(nproc)"
exec ./build/quillmark
