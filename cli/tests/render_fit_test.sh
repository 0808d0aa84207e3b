#!/usr/bin/env bash
# quillmark-cli render --background and --fit: what was not drawn becomes the background, and a
# fitted model fills nine tenths of the picture, centred. Without them nothing changes.
set -u
cli="$1"
src="$2"
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
fail=0
check() { if ! eval "$2"; then echo "FAIL: $1"; fail=1; fi; }
walker="$src/samples/walker.3do"
# No game folder or colormap the user saved may change the pictures.
export XDG_CONFIG_HOME="$tmp/config"

# Decoded pixels, so that the encoder's compression does not matter.
pixels_md5() { convert "$1" rgba:- | md5sum | cut -c1-32; }
# Pixels of one colour (#RRGGBB), alpha left out.
count() { convert "$1" -alpha off txt:- | awk -v c="$2" '$3 == c' | wc -l; }
alpha_count() { convert "$1" -alpha extract -threshold 0 -format '%[fx:int(mean*w*h+0.5)]' info:; }
# Left, top, right and bottom margins of what has alpha above 0.
margins() { convert "$1" -alpha extract -threshold 0 -format '%@ %w %h' info: |
    awk '{split($1, g, /[x+]/); print g[3], g[4], $2 - g[1] - g[3], $3 - g[2] - g[4]}'; }

# The plain picture is the one the program has always drawn (its pixels, as this version drew them
# before --fit, --background and textures existed).
"$cli" render "$walker" "$tmp/plain.png" --size 160x120 --no-textures
check "plain render unchanged" "[ \"\$(pixels_md5 $tmp/plain.png)\" = f55fb7752e5cd1b30feefe161778ec25 ]"
background=$(count "$tmp/plain.png" '#000000')
check "plain render has a black background" "[ $background -gt 10000 ]"

"$cli" render "$walker" "$tmp/blue.png" --size 160x120 --background '#336699' --no-textures
check "a colour background replaces the black" \
    "[ \"\$(count $tmp/blue.png '#336699')\" = $background ] && [ \"\$(count $tmp/blue.png '#000000')\" = 0 ]"
check "the model is drawn as before" \
    "[ \"\$(compare -metric AE $tmp/plain.png $tmp/blue.png null: 2>&1)\" = $background ]"

"$cli" render "$walker" "$tmp/clear.png" --size 160x120 --background transparent --no-textures
check "transparent where nothing was drawn" \
    "[ \$(( 160 * 120 - \$(alpha_count $tmp/clear.png) )) = $background ]"
check "opaque model pixels as before" \
    "[ \"\$(convert $tmp/clear.png -background black -alpha remove rgba:- | md5sum | cut -c1-32)\" = \"\$(pixels_md5 $tmp/plain.png)\" ]"

# Fitted: the limiting side is 90% filled (within a pixel's rounding), both axes centred.
fitted() { # FILE SIZE  -> margins
    "$cli" render "$1" "$tmp/fit.png" --size "$2" --fit --background transparent && margins "$tmp/fit.png"
}
within() { [ $(( $1 > $2 ? $1 - $2 : $2 - $1 )) -le "$3" ]; }
read -r l t r b <<<"$(fitted "$walker" 128x128)"
check "walker fills 90% of 128 high ($t, $b)" "within \$((128 - t - b)) 115 1 && within $t $b 1"
check "walker centred across ($l, $r)" "within $l $r 3"
read -r l t r b <<<"$(fitted "$src/samples/canister_lod.3do" 90x300)"
check "a narrow picture is filled across ($l, $r)" "within \$((90 - l - r)) 81 1 && within $l $r 1"
check "and centred down ($t, $b)" "within $t $b 3"

# A model far from its origin turns about that origin before the frame is drawn; the fit
# follows it there.
printf '%s\n' 'xof 0302txt 0064' 'Mesh {' '4;' '49.5;-0.5;0;,' '49.5;0.5;0;,' '50.5;0.5;0;,' \
    '50.5;-0.5;0;;' '2;' '4;0,1,2,3;,' '4;3,2,1,0;;' '}' >"$tmp/far.x"
read -r l t r b <<<"$(fitted "$tmp/far.x" 128x128)"
check "a far model is centred ($l $t $r $b)" "within $l $r 2 && within $t $b 2"
check "and fills 90% ($l $t $r $b)" "within \$((128 - l - r)) 115 1 || within \$((128 - t - b)) 115 1"

# Two small triangles ten units apart along the camera's line of sight (0.3, -0.3, 1): framed,
# the near one would come closer than the viewport's front, so the model is drawn larger.
printf '%s\n' 'xof 0302txt 0064' 'Mesh {' '6;' '-0.05;-0.05;0;,' '0.05;-0.05;0;,' '0;0.05;0;,' \
    '2.71172;-2.81172;9.20574;,' '2.81172;-2.81172;9.20574;,' '2.76172;-2.71172;9.20574;;' \
    '4;' '3;0,1,2;,' '3;2,1,0;,' '3;3,4,5;,' '3;5,4,3;;' '}' >"$tmp/needle.x"
read -r l t r b <<<"$(fitted "$tmp/needle.x" 128x128)"
check "a model along the line of sight is drawn whole ($l $t $r $b)" \
    "within \$((128 - t - b)) 115 1 && within $l $r 1 && within $t $b 1"

exit $fail
