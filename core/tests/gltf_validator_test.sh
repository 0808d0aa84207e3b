#!/usr/bin/env bash
# The Khronos glTF Validator on the samples and the generated models, as .glb and .gltf: no
# errors and no warnings. usage: gltf_validator_test.sh MODELS_TOOL SOURCE_DIR VALIDATOR_DIR
# [EMULATOR] (the emulator runs a cross-built MODELS_TOOL).
set -euo pipefail
tool="$1"
source="$2"
validator="$3"
emulator=("${@:4}")
dir="$(mktemp -d)"
trap 'rm -rf "$dir"' EXIT

bash "$source/scripts/install-gltf-validator.sh" "$validator"
"${emulator[@]}" "$tool" "$dir" "$source/samples/walker.3do" "$source/samples/canister_lod.3do"
shopt -s nullglob
files=("$dir"/*.glb "$dir"/*.gltf)
# Two samples (one geoset, three) twice each, five generated models; both containers.
if [ ${#files[@]} -ne 26 ]; then
    echo "FAIL: expected 26 files, got ${#files[@]}"
    exit 1
fi
node "$source/scripts/validate-gltf.js" "$validator" "${files[@]}"
