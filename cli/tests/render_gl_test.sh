#!/usr/bin/env bash
# quillmark-cli render --driver opengl: the OpenGL driver draws what the software driver draws.
# OpenGL needs an X display; without one the test starts a virtual one.
set -u
cli="$1"
src="$2"
if [ -z "${DISPLAY:-}" ]; then
    exec xvfb-run -a -s "-screen 0 1280x1024x24" bash "$0" "$@"
fi
data="$src/core/tests/data"
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
fail=0
# No game folder or colormap the user saved may change the pictures.
export XDG_CONFIG_HOME="$tmp/config"
check() { if ! eval "$2"; then echo "FAIL: $1"; fail=1; fi; }

"$cli" render "$data/house_crlf.x" "$tmp/software.png" --driver "RGB Emulation"
check "software render exits 0" "[ $? -eq 0 ]"
"$cli" render "$data/house_crlf.x" "$tmp/opengl.png" --driver opengl
check "OpenGL render exits 0" "[ $? -eq 0 ]"
"$cli" render "$src/samples/walker.3do" "$tmp/walker_sw.png" --driver "RGB Emulation" --size 320x240 \
    --no-textures
"$cli" render "$src/samples/walker.3do" "$tmp/walker_gl.png" --driver OpenGL --size 320x240 \
    --no-textures
check "OpenGL render of a .3do exits 0" "[ $? -eq 0 ]"
# Textured: the sample canister with its own material, filling the picture.
for d in "RGB Emulation" OpenGL; do
    "$cli" render "$src/samples/canister_lod.3do" "$tmp/canister_${d// /_}.png" --driver "$d" \
        --size 320x320 --fit
done

# The comparison needs ImageMagick (scripts/install-deps.sh installs it): without it, fail.
check "ImageMagick is installed" "command -v compare >/dev/null && command -v convert >/dev/null"
# Pixels that differ, allowing a rounding step per channel: at most a few along edges.
differing() { compare -metric AE -fuzz 1% "$1" "$2" null: 2>&1; }
covered() { convert "$1" -threshold 0 -format '%[fx:int(mean*w*h)]' info:; }
for pair in "software opengl" "walker_sw walker_gl" "canister_RGB_Emulation canister_OpenGL"; do
    set -- $pair
    d=$(differing "$tmp/$1.png" "$tmp/$2.png")
    c=$(covered "$tmp/$1.png")
    echo "$1/$2: $d of $c differ"
    check "$2 drawn ($c pixels)" "[ \"$c\" -gt 1000 ]"
    check "$2 matches $1 ($d of $c pixels differ)" "[ \"$d\" -le \$(( c / 50 )) ]"
done

# The OpenGL driver tells what it drew from the background as the software one does.
for d in "RGB Emulation" OpenGL; do
    "$cli" render "$src/samples/walker.3do" "$tmp/clear_${d// /_}.png" --driver "$d" --size 160x120 \
        --fit --background transparent
done
alpha() { convert "$1" -alpha extract "$2"; }
alpha "$tmp/clear_RGB_Emulation.png" "$tmp/alpha_sw.png"
alpha "$tmp/clear_OpenGL.png" "$tmp/alpha_gl.png"
c=$(covered "$tmp/alpha_sw.png")
d=$(differing "$tmp/alpha_sw.png" "$tmp/alpha_gl.png")
check "fitted model covers much of the picture ($c pixels)" "[ \"$c\" -gt 2000 ]"
check "OpenGL covers the same pixels ($d of $c differ)" "[ \"$d\" -le \$(( c / 50 )) ]"

exit $fail
