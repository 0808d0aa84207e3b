#!/usr/bin/env bash
# quillmark-cli view: pictures of a small model, option checking and error exits.
# usage: view_test.sh CLI SOURCE_DIR
set -u
cli=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0

fail() {
    echo "FAIL: $*" >&2
    failures=$((failures + 1))
}

# A triangle (-0.25, 0, 0), (0.25, 0, 0), (0, 0.05, 0.1) on a root node.
cat >"$work/tri.3do" <<'MODEL'
3DO 2.1
RADIUS 0.5
INSERT OFFSET 0.0 0.0 0.0
GEOSETS 1
GEOSET 0
MESHES 1
MESH 0
NAME tri
RADIUS 0.2
VERTICES 3
0: -0.25 0.0 0.0 0.0
1: 0.25 0.0 0.0 0.0
2: 0.0 0.05 0.1 0.0
TEXTURE VERTICES 1
0: 0.5 0.5
FACES 1
0: 0 0x0000 4 3 0 0.0 3 0, 0 1, 0 2, 0
HIERARCHY NODES 1
0: 0x0000 0x00001 0 -1 -1 -1 0 0.0 0.0 0.0 0.0 0.0 0.0 0.0 0.0 0.0 root
MODEL

# Prints the colours of the given pixels of a PNG, decoded by a second implementation.
pixels() {
    local file=$1
    shift
    local format=""
    for p in "$@"; do format+="%[pixel:p{$p}] "; done
    convert "$file" -format "$format" info:
}

expect_pixels() {
    local what=$1 file=$2 expected=$3
    shift 3
    local got
    got=$(pixels "$file" "$@")
    [ "$got" = "$expected" ] || fail "$what: expected '$expected', got '$got'"
}

black="srgba(0,0,0,1)"
white="srgba(255,255,255,1)"
blue="srgba(0,0,255,1)"
grey="srgba(128,128,128,1)"

# Front view at the defaults: 640 x 480, centre (320, 240), 1000 pixels per unit.
"$cli" view "$work/tri.3do" "$work/front.png" || fail "front view exit $?"
[ "$(identify -format '%w %h' "$work/front.png")" = "640 480" ] || fail "default size"
expect_pixels "front view" "$work/front.png" "$black $black $black $white $white " \
    320,240 569,240 320,140 320,200 571,240

# Side view: y right, z up. The apex is at (370, 140); the base collapses to the centre.
"$cli" view "$work/tri.3do" "$work/side.png" --plane side --vertices || fail "side view exit $?"
expect_pixels "side view" "$work/side.png" "$blue $blue $black $white " 368,138 318,238 345,190 \
    420,240

# Top view: x right, y up. The apex is 50 pixels above the centre.
"$cli" view "$work/tri.3do" "$work/top.png" --plane top --size 300x200 --zoom 500 \
    || fail "top view exit $?"
expect_pixels "top view" "$work/top.png" "$black $black $white " 150,75 100,100 150,90

# Grid and pan: dots every 10 pixels on the model's multiples of 0.01.
"$cli" view "$work/tri.3do" "$work/grid.png" --grid --pan 0.003,0 --mesh-only --no-offsets \
    || fail "grid exit $?"
expect_pixels "grid" "$work/grid.png" "$grey $white $grey " 317,250 320,250 327,260

# Errors: the exact message on stderr and exit 1 (usage errors: usage_test.sh).
check_error() {
    local expected=$1
    shift
    local err
    err=$("$cli" view "$@" 2>&1 >/dev/null)
    local rc=$?
    [ $rc -eq 1 ] || fail "'$*' exit $rc"
    [ "$err" = "$expected" ] || fail "'$*' said '$err'"
}
check_error "File not found" "$work/missing.3do" "$work/x.png"
check_error "List index out of bounds" "$work/tri.3do" "$work/x.png" --geoset 1
check_error "Cannot write $work/no/x.png" "$work/tri.3do" "$work/no/x.png"
[ ! -e "$work/x.png" ] || fail "a failed command left a picture"

exit $((failures > 0))
