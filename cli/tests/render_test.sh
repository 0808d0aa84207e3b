#!/usr/bin/env bash
# quillmark-cli render: PNG output, sizes, exact error texts, repeatable pictures.
set -u
cli="$1"
src="$2"
data="$src/core/tests/data"
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
fail=0
# No game folder or colormap the user saved may change the pictures.
export XDG_CONFIG_HOME="$tmp/config"
check() { if ! eval "$2"; then echo "FAIL: $1"; fail=1; fi; }

# Width and height from the PNG header (bytes 16..23, big-endian).
png_size() { od -An -tu1 -j16 -N8 "$1" | awk '{print $1*16777216+$2*65536+$3*256+$4 "x" $5*16777216+$6*65536+$7*256+$8}'; }

"$cli" render "$data/frames_cube.x" "$tmp/cube.png"
check "render exits 0" "[ $? -eq 0 ]"
check "PNG signature" "[ \"\$(od -An -tx1 -N8 $tmp/cube.png | tr -d ' ')\" = 89504e470d0a1a0a ]"
check "default size 505x377" "[ \"\$(png_size $tmp/cube.png)\" = 505x377 ]"

"$cli" render "$data/frames_cube.x" "$tmp/cube2.png"
check "same scene, same pixels" "cmp -s $tmp/cube.png $tmp/cube2.png"

"$cli" render "$data/top_lf.x" "$tmp/small.png" --size 64x48 --driver "rgb emulation"
check "size option and driver by name in any case" "[ \"\$(png_size $tmp/small.png)\" = 64x48 ]"
"$cli" render "$data/top_lf.x" "$tmp/short.png" --size 64x48 --driver SoftWare
check "driver by its short name in any case" "cmp -s $tmp/small.png $tmp/short.png"

# The pixel checks need ImageMagick (scripts/install-deps.sh installs it): without it, fail.
check "ImageMagick's convert is installed" "command -v convert >/dev/null"
centre=$(convert "$tmp/cube.png" -format '%[fx:p{252,188}.r*255]' info:)
corner=$(convert "$tmp/cube.png" -format '%[fx:p{0,0}.r*255]' info:)
check "model drawn at the centre" "[ \"\${centre%.*}\" -gt 0 ]"
check "background black" "[ \"\${corner%.*}\" -eq 0 ]"

"$cli" render "$src/samples/walker.3do" "$tmp/walker.png"
check ".3do converted and rendered" "[ $? -eq 0 ] && [ -s $tmp/walker.png ]"

err=$("$cli" render "$tmp/missing.x" "$tmp/out.png" 2>&1 >/dev/null)
code=$?
check "missing file exits 1" "[ $code -eq 1 ]"
check "missing file message" "[ \"\$err\" = \"\$(printf 'DirectX call failed: 88760313\nThe file was not found.')\" ]"
check "no picture for a failure" "[ ! -e $tmp/out.png ]"

printf 'xof 0302txt 0064\nMesh { 3; 0;0;0;; 1; 3;0,1,2;; }\n' > "$tmp/bad.x"
err=$("$cli" render "$tmp/bad.x" "$tmp/out.png" 2>&1 >/dev/null)
check "bad file message" "[ \"\$err\" = \"\$(printf 'DirectX call failed: 88760314\nD3DRMERR_BADFILE')\" ]"

err=$("$cli" render "$src/samples/walker.3do" "$tmp/out.png" --geoset 99 2>&1 >/dev/null)
code=$?
check "geoset out of range" "[ $code -eq 1 ] && [ \"\$err\" = 'List index out of bounds' ]"

exit $fail
