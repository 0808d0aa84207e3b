#!/usr/bin/env bash
# quillmark-cli render --key: a key whose pose is the rest pose of a model whose nodes do not turn
# gives the plain picture byte for byte (any geometry set, size, framing and background); a real
# pose differs; --frames writes one picture per frame, each the one --frame gives; options that do
# not go together are usage errors.
set -u
cli="$1"
source="$2"
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
fail=0
check() { if ! eval "$2"; then echo "FAIL: $1"; fail=1; fi; }
export XDG_CONFIG_HOME="$tmp/config"
samples="$source/samples"

# The canister's two nodes at rest, the second entry of the lid moving and turning by nothing.
printf '%s\r\n' 'SECTION: HEADER' 'FLAGS 0' 'TYPE 0' 'FRAMES 10' 'FPS 10' 'JOINTS 2' \
    'SECTION: KEYFRAME NODES' 'NODES 2' 'NODE 0' 'MESH NAME canister' 'ENTRIES 1' \
    '0: 0 0x0 0 0 0 0 0 0' '0 0 0 0 0 0' 'NODE 1' 'MESH NAME lid' 'ENTRIES 2' \
    '0: 0 0x0 0 0 0 0 0 0' '0 0 0 0 0 0' '1: 4 0x3 0 0 0 0 0 0' '0 0 0 0 0 0' >"$tmp/rest.key"
canister="$samples/canister_lod.3do"
for options in "--geoset 0" "--geoset 2 --size 64x48" "--geoset 1 --fit --background transparent" \
    "--no-textures --background #102030"; do
    # shellcheck disable=SC2086
    "$cli" render "$canister" "$tmp/plain.png" $options &&
        "$cli" render "$canister" "$tmp/posed.png" $options --key "$tmp/rest.key" --frame 6.5
    check "rest pose, $options: the plain picture" "[ $? -eq 0 ] && cmp -s $tmp/plain.png $tmp/posed.png"
done

# Three nodes in a chain with positions and pivots, each mesh two-sided: the sums come out
# exactly as the plain ones.
printf '%s\r\n' '3DO 2.1' 'RADIUS 1.3' 'GEOSETS 1' 'GEOSET 0' 'MESHES 3' \
    'MESH 0' 'NAME a' 'VERTICES 4' '0: 0 0 0 0' '1: 0.3 0 0 0' '2: 0.3 0.01 0.3 0' '3: 0 0.01 0.3 0' \
    'FACES 2' '0: -1 0x0 4 3 0 0 4 0,0 1,0 2,0 3,0' '1: -1 0x0 4 3 0 0 4 3,0 2,0 1,0 0,0' \
    'MESH 1' 'NAME b' 'VERTICES 4' '0: 0 0 0 0' '1: 0.2 0 0 0' '2: 0.2 0.1 0.2 0' '3: 0 0.1 0.2 0' \
    'FACES 2' '0: -1 0x0 4 3 0 0 4 0,0 1,0 2,0 3,0' '1: -1 0x0 4 3 0 0 4 3,0 2,0 1,0 0,0' \
    'MESH 2' 'NAME c' 'VERTICES 3' '0: 0 0 0 0' '1: 0.1 0 0 0' '2: 0.1 0.05 0.1 0' \
    'FACES 2' '0: -1 0x0 4 3 0 0 3 0,0 1,0 2,0' '1: -1 0x0 4 3 0 0 3 2,0 1,0 0,0' \
    'HIERARCHY NODES 3' \
    '0: 0x0 0x1 0 -1 1 -1 1 0.1 0.2 0.3 0 0 0 0.05 0 0 a' \
    '1: 0x0 0x1 1 0 2 -1 1 0.7 -0.11 0.013 0 0 0 0.3 0 -0.017 b' \
    '2: 0x0 0x1 2 1 -1 -1 0 0.333333 0.125 0.5 0 0 0 0 0.21 0 c' >"$tmp/chain.3do"
printf '%s\n' 'SECTION: HEADER' 'FLAGS 0' 'TYPE 0' 'FRAMES 20' 'FPS 10' 'JOINTS 3' \
    'SECTION: KEYFRAME NODES' 'NODES 2' 'NODE 2' 'MESH NAME c' 'ENTRIES 1' \
    '0: 0 0x1 0.333333 0.125 0.5 0 0 0' '0 0 0 0 0 0' 'NODE 1' 'MESH NAME b' 'ENTRIES 1' \
    '0: 0 0x2 0.7 -0.11 0.013 0 0 0' '0 0 0 0 0 0' >"$tmp/chain.key"
"$cli" render "$tmp/chain.3do" "$tmp/plain.png" --fit &&
    "$cli" render "$tmp/chain.3do" "$tmp/posed.png" --fit --key "$tmp/chain.key" --frame 13
check "a chain with pivots at rest: the plain picture" "[ $? -eq 0 ] && cmp -s $tmp/plain.png $tmp/posed.png"
sed 's/^0: 0 0x2 0.7 -0.11 0.013 0 0 0$/0: 0 0x2 0.7 -0.11 0.013 0 30 0/' "$tmp/chain.key" >"$tmp/turned.key"
"$cli" render "$tmp/chain.3do" "$tmp/turned.png" --fit --key "$tmp/turned.key" --frame 13
check "a turned node changes the picture (so the chain is drawn)" \
    "[ $? -eq 0 ] && ! cmp -s $tmp/plain.png $tmp/turned.png"

# --frames: one picture per whole frame, named by it, each the one --frame draws.
walker="$samples/walker.3do"
"$cli" render "$walker" "$tmp/walk_{frame}.png" --key walk.key --frames 11:13 --size 80x60 2>"$tmp/err"
check "--frames 11:13: three pictures, quiet" \
    "[ $? -eq 0 ] && [ ! -s $tmp/err ] && [ \$(ls $tmp | grep -c '^walk_00') -eq 3 ]"
"$cli" render "$walker" "$tmp/twelve.png" --key walk.key --frame 12 --size 80x60
check "each is the picture --frame draws" "cmp -s $tmp/twelve.png $tmp/walk_0012.png"
check "frames differ" "! cmp -s $tmp/walk_0011.png $tmp/walk_0013.png"
"$cli" render --archive "$samples/samples.gob" walker.3do "$tmp/entry.png" --key walk.key \
    --frame 60 --size 80x60
check "from the archive, past the end the frame wraps" "cmp -s $tmp/twelve.png $tmp/entry.png"

usage() { # EXPECTED ARGS...
    local expected=$1
    shift
    "$cli" render "$@" >"$tmp/out" 2>"$tmp/err"
    check "render $*: usage error" "[ $? -eq 2 ] && [ \"\$(head -1 $tmp/err)\" = \"$expected\" ]"
}
usage "--frame and --frames need --key" "$walker" "$tmp/x.png" --frame 3
usage "--frame and --frames need --key" "$walker" "$tmp/x_{frame}.png" --frames 1:2
usage "--frame and --frames do not go together" "$walker" "$tmp/x_{frame}.png" --key walk.key \
    --frame 1 --frames 1:2
usage "--frames needs {frame} in OUT.png" "$walker" "$tmp/x.png" --key walk.key --frames 1:2
usage "Invalid value for --frames: '5:2'" "$walker" "$tmp/x_{frame}.png" --key walk.key --frames 5:2
usage "Invalid value for --frame: 'x'" "$walker" "$tmp/x.png" --key walk.key --frame x
"$cli" convert "$walker" "$tmp/walker.x"
usage "--key needs a .3do model" "$tmp/walker.x" "$tmp/x.png" --key walk.key
check "no picture after a usage error" "[ ! -e $tmp/x.png ]"

exit $fail
