#!/usr/bin/env bash
# quillmark-cli convert to glTF: the container by the extension, the materials found as render
# finds them (beside the model, in its archive, --game, the saved game folder), warnings,
# errors that leave no file, and the Khronos validator on the samples with their textures.
set -u
cli="$1"
source="$2"
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
fail=0
check() { if ! eval "$2"; then echo "FAIL: $1"; fail=1; fi; }
# No game folder or colormap the user saved may change the results.
export XDG_CONFIG_HOME="$tmp/config"
samples="$source/samples"

# What a file holds: "glb IMAGES" for a .glb (magic, version 2, its length, a JSON chunk) with
# IMAGES images in its buffer, "gltf IMAGES" for a .gltf whose images are PNG data URIs; and the
# first material's name. Anything else: "bad".
kind() {
    python3 - "$1" <<'EOF'
import base64, json, struct, sys
data = open(sys.argv[1], "rb").read()
try:
    if data[:4] == b"glTF":
        version, length, json_length, chunk = struct.unpack_from("<III4s", data, 4)
        assert version == 2 and length == len(data) and chunk == b"JSON"
        doc = json.loads(data[20:20 + json_length])
        kind = "glb"
        for image in doc.get("images", []):
            view = doc["bufferViews"][image["bufferView"]]
            start = 20 + json_length + 8 + view.get("byteOffset", 0)
            assert image["mimeType"] == "image/png"
            assert data[start:start + 8] == b"\x89PNG\r\n\x1a\n"
    else:
        doc = json.loads(data)
        kind = "gltf"
        for image in doc.get("images", []):
            prefix = "data:image/png;base64,"
            assert image["uri"].startswith(prefix)
            assert base64.b64decode(image["uri"][len(prefix):])[:4] == b"\x89PNG"
    assert doc["asset"]["version"] == "2.0"
    materials = doc.get("materials") or [{"name": "-"}]
    print(kind, len(doc.get("images", [])), materials[0]["name"])
except Exception:
    print("bad")
EOF
}

# The samples with their own materials: the texture embedded, no warnings.
"$cli" convert "$samples/walker.3do" "$tmp/walker.glb" 2>"$tmp/err"
check "walker.glb exits 0 without warnings" "[ $? -eq 0 ] && [ ! -s $tmp/err ]"
check "walker.glb holds its texture" "[ \"\$(kind $tmp/walker.glb)\" = 'glb 1 dflt.mat' ]"
"$cli" convert "$samples/walker.3do" "$tmp/walker.gltf" 2>"$tmp/err"
check "walker.gltf exits 0 without warnings" "[ $? -eq 0 ] && [ ! -s $tmp/err ]"
check "walker.gltf holds its texture" "[ \"\$(kind $tmp/walker.gltf)\" = 'gltf 1 dflt.mat' ]"
"$cli" convert --archive "$samples/samples.gob" walker.3do "$tmp/entry.glb" 2>"$tmp/err" &&
    "$cli" convert --archive "$samples/samples.gob" canister_lod.3do "$tmp/entry.GLTF" \
        --geoset 2 2>>"$tmp/err"
check "archive entries exit 0 without warnings" "[ $? -eq 0 ] && [ ! -s $tmp/err ]"
check "an archive's walker.glb is the file's" "cmp -s $tmp/walker.glb $tmp/entry.glb"
check "upper-case .GLTF is text, with the texture" \
    "[ \"\$(kind $tmp/entry.GLTF)\" = 'gltf 1 dflt.mat' ]"
"$cli" convert "$samples/canister_lod.3do" "$tmp/canister.Glb" --geoset 1
check "mixed-case .Glb is binary" "[ \"\$(kind $tmp/canister.Glb)\" = 'glb 1 dflt.mat' ]"

# Any other name is the .X file, as before.
"$cli" convert "$samples/walker.3do" "$tmp/walker.x" &&
    "$cli" convert "$samples/walker.3do" "$tmp/walker.txt"
check "another extension writes the .X file" \
    "cmp -s $tmp/walker.x $tmp/walker.txt && head -c 8 $tmp/walker.txt | grep -q '^xof 0302'"

# Alone, the model finds nothing: warnings as render prints them, placeholders named as the
# model's materials, exit 0. --game and the saved game folder find them; --no-textures looks for
# none and warns of nothing.
mkdir "$tmp/alone"
cp "$samples/walker.3do" "$tmp/alone/walker.3do"
"$cli" convert "$tmp/alone/walker.3do" "$tmp/alone.glb" 2>"$tmp/err"
check "missing materials exit 0" \
    "[ $? -eq 0 ] && [ \"\$(kind $tmp/alone.glb)\" = 'glb 0 dflt.mat' ]"
printf '%s\n' \
    'warning: No colormap found (looked for misc/cmp/dflt.cmp): colours are shown as a grey ramp' \
    'warning: Material not found: dflt.mat' >"$tmp/expected"
check "missing materials are warnings" "cmp -s $tmp/err $tmp/expected"
"$cli" convert "$tmp/alone/walker.3do" "$tmp/game.glb" --game "$samples" 2>"$tmp/err"
check "--game finds them" "[ ! -s $tmp/err ] && cmp -s $tmp/walker.glb $tmp/game.glb"
"$cli" convert "$tmp/alone/walker.3do" "$tmp/none.glb" --no-textures 2>"$tmp/err"
check "--no-textures: placeholders, no warnings" \
    "[ ! -s $tmp/err ] && cmp -s $tmp/alone.glb $tmp/none.glb"
"$cli" convert "$samples/walker.3do" "$tmp/cmp.glb" --colormap "$samples/misc/cmp/dflt.cmp" \
    2>"$tmp/err"
check "--colormap by file" "[ ! -s $tmp/err ] && cmp -s $tmp/walker.glb $tmp/cmp.glb"
case "$cli" in
*-emulated) ;; # the emulator's user folder keeps that build's settings; left alone
*)
    mkdir -p "$XDG_CONFIG_HOME/Quillmark"
    printf '[GAME]\r\nFolder=%s\r\n' "$samples" >"$XDG_CONFIG_HOME/Quillmark/quillmark.ini"
    "$cli" convert "$tmp/alone/walker.3do" "$tmp/saved.glb" 2>"$tmp/err"
    check "the saved game folder" "[ ! -s $tmp/err ] && cmp -s $tmp/walker.glb $tmp/saved.glb"
    rm -r "$XDG_CONFIG_HOME"
    ;;
esac

# Errors: the message, exit 1, and no file (nor anything beside it); a file already there is
# kept whole.
error() { # message output command...
    local message="$1" out="$2"
    shift 2
    rm -f "$tmp/before"
    [ -e "$out" ] && cp "$out" "$tmp/before"
    local listing
    listing=$(ls -A "$(dirname "$out")" 2>/dev/null)
    "$cli" "$@" >"$tmp/out" 2>"$tmp/err"
    local rc=$?
    check "$*: exit 1 ($rc)" "[ $rc -eq 1 ]"
    check "$*: message" "[ \"\$(cat $tmp/err)\" = \"\$message\" ]"
    check "$*: nothing written" "[ \"\$(ls -A $(dirname "$out") 2>/dev/null)\" = \"\$listing\" ]"
    [ -e "$tmp/before" ] && check "$*: the old file kept" "cmp -s $tmp/before $out"
}
mkdir "$tmp/errors"
error 'List index out of bounds' "$tmp/errors/g.glb" \
    convert "$tmp/alone/walker.3do" "$tmp/errors/g.glb" --geoset 1
error 'Colormap not found: nowhere.cmp' "$tmp/errors/c.gltf" \
    convert "$samples/walker.3do" "$tmp/errors/c.gltf" --colormap nowhere.cmp
printf '%s\r\n' 'MATERIALS 1' '0: x.mat' 'GEOSET 0' 'MESH 0' 'NAME bad' 'VERTICES 3' '0: 0 0 0 0' \
    '1: 1 0 0 0' '2: 0 1 0 0' 'FACES 1' '0: 0 0x0 4 3 0 0 3 0,0 1,0 9,0' 'HIERARCHY NODES 1' \
    '0: 0x0 0x0 0 -1 -1 -1 0 0 0 0 0 0 0 0 0 0 a' >"$tmp/bad.3do"
printf 'kept' >"$tmp/errors/kept.glb"
error "Mesh 'bad' has a face corner beyond its vertex list" "$tmp/errors/kept.glb" \
    convert "$tmp/bad.3do" "$tmp/errors/kept.glb" --no-textures
error 'I/O error 2' "$tmp/no/such/out.glb" convert "$samples/walker.3do" "$tmp/no/such/out.glb"

# The Khronos validator: no errors, no warnings.
validator="$source/build-tools/gltf-validator"
if bash "$source/scripts/install-gltf-validator.sh" "$validator" >"$tmp/install" 2>&1; then
    node "$source/scripts/validate-gltf.js" "$validator" "$tmp/walker.glb" "$tmp/walker.gltf" \
        "$tmp/entry.glb" "$tmp/entry.GLTF" "$tmp/canister.Glb" "$tmp/alone.glb" >"$tmp/report"
    rc=$?
    check "the validator passes every file" \
        "[ $rc -eq 0 ] && [ \$(grep -c ': 0 errors, 0 warnings' $tmp/report) -eq 6 ]"
    [ $rc -eq 0 ] || cat "$tmp/report"
else
    cat "$tmp/install"
    check "the glTF validator installs" false
fi

exit $fail
