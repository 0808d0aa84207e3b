#!/usr/bin/env bash
# quillmark-cli render with materials: a generated model and texture show their colours where
# the texture must appear; --no-textures, or materials that cannot be found, give the design's
# picture; --game and --colormap say where materials and colours come from.
set -u
cli="$1"
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
fail=0
check() { if ! eval "$2"; then echo "FAIL: $1"; fail=1; fi; }
# No game folder or colormap the user saved may change the pictures.
export XDG_CONFIG_HOME="$tmp/config"
check "ImageMagick's convert is installed" "command -v convert >/dev/null"

# A square facing the camera, 2 x 2 units: corners top left, bottom left, bottom right, top right
# (the game's front is counter-clockwise), texture vertices over a 64 x 32 texture with origin
# top left. Face 0: material 0, geometry 4, lighting 0 (full-bright: texels as they are).
# Face 1, a triangle below the square: material -1, not drawn. The texture's quarters are
# palette indices 1 (top left), 2 (top right), 3 (bottom left) and 4 (bottom right); the
# colormap makes them red, green, blue and yellow, and a second one makes index 1 cyan.
python3 - "$tmp" <<'EOF'
import os, struct, sys
root = sys.argv[1]
def put(rel, data):
    path = os.path.join(root, rel)
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "wb") as f:
        f.write(data)
def cmp(first):
    palette = bytearray(768)
    for i in range(256):
        palette[3 * i:3 * i + 3] = bytes((128, 128, 128))
    palette[0:3] = bytes((0, 0, 0))
    for i, rgb in ((1, first), (2, (0, 255, 0)), (3, (0, 0, 255)), (4, (255, 255, 0))):
        palette[3 * i:3 * i + 3] = bytes(rgb)
    light = bytes(range(256)) * 64
    return b"CMP " + struct.pack("<II3f", 0x1E, 0, 1, 1, 1) + bytes(40) + palette + light
texels = bytes((1 if x < 32 else 2) if y < 16 else (3 if x < 32 else 4)
               for y in range(32) for x in range(64))
mat = (b"MAT " + struct.pack("<IIiiII", 0x32, 2, 1, 1, 0, 8) + bytes(4 * 12)
       + struct.pack("<II4fIIIi", 8, 1, 1, 1, 1, 1, 0, 0, 0, 0)
       + struct.pack("<6I", 64, 32, 0, 0, 0, 1) + texels)
model = """3DO 2.1
SECTION: MODELRESOURCE
MATERIALS 2
0: t.mat
1: c.mat
SECTION: GEOMETRYDEF
RADIUS 2.0
INSERT OFFSET 0 0 0
GEOSETS 1
GEOSET 0
MESHES 1
MESH 0
NAME square
RADIUS 2.0
GEOMETRYMODE 4
LIGHTINGMODE 3
TEXTUREMODE 0
VERTICES 7
0: 1.0 0.0 1.0 0.0
1: 1.0 0.0 -1.0 0.0
2: -1.0 0.0 -1.0 0.0
3: -1.0 0.0 1.0 0.0
4: 0.5 0.0 -1.5 0.0
5: 0.0 0.0 -2.0 0.0
6: -0.5 0.0 -1.5 0.0
TEXTURE VERTICES 4
0: 0.0 0.0
1: 0.0 32.0
2: 64.0 32.0
3: 64.0 0.0
VERTEX NORMALS
0: 0 1 0
1: 0 1 0
2: 0 1 0
3: 0 1 0
4: 0 1 0
5: 0 1 0
6: 0 1 0
FACES 2
0: 0 0x0 4 0 0 0.0 4 0,0 1,1 2,2 3,3
1: -1 0x0 4 0 0 0.0 3 4,0 5,0 6,0
FACE NORMALS
0: 0 1 0
1: 0 1 0
SECTION: HIERARCHYDEF
HIERARCHY NODES 1
0: 0x0 0x1 0 -1 -1 -1 0 0 0 0 0 0 0 0 0 0 square
"""
put("model/square.3do", model.replace("\n", "\r\n").encode())
put("model/mat/t.mat", mat)
put("model/misc/cmp/dflt.cmp", cmp((255, 0, 0)))
put("other.cmp", cmp((0, 255, 255)))
put("bare/square.3do", model.encode())
put("game/mat/t.mat", mat)
put("game/misc/cmp/dflt.cmp", cmp((255, 0, 0)))
EOF

render() { "$cli" render "$@" --size 160x160 --fit --background transparent; }
# Opaque pixels by colour: "COUNT #RRGGBB" lines, most first.
colours() { convert "$1" txt:- | awk 'NR > 1 && $2 !~ /,0\)$/ { print substr($3, 1, 7) }' | sort | uniq -c | sort -rn; }
# The centre (x y) of the pixels of one colour.
centre() { convert "$1" txt:- | awk -v c="$2" -F'[ ,:]+' '$0 ~ c { x += $1; y += $2; n++ } END { if (n) print int(x / n), int(y / n) }'; }
pixels_md5() { convert "$1" rgba:- | md5sum | cut -c1-32; }

render "$tmp/model/square.3do" "$tmp/textured.png" 2>"$tmp/err"
check "textured render exits 0" "[ $? -eq 0 ]"
check "the missing material is a warning" "grep -qx 'warning: Material not found: c.mat' $tmp/err"
colours "$tmp/textured.png" >"$tmp/colours"
echo "textured:" $(cat "$tmp/colours")
# Every drawn pixel is a texel (full-bright, nearest): the material -1 triangle is not drawn.
check "only the four texture colours are drawn" \
    "[ \$(wc -l <$tmp/colours) -eq 4 ] && ! grep -qv ' #\\(FF0000\\|00FF00\\|0000FF\\|FFFF00\\)$' $tmp/colours"
check "each quarter takes a share" "[ \$(tail -1 $tmp/colours | awk '{print \$1}') -gt 1500 ]"
read -r rx ry <<<"$(centre "$tmp/textured.png" '#FF0000')"
read -r gx gy <<<"$(centre "$tmp/textured.png" '#00FF00')"
read -r bx by <<<"$(centre "$tmp/textured.png" '#0000FF')"
read -r yx yy <<<"$(centre "$tmp/textured.png" '#FFFF00')"
check "top left red, top right green ($rx,$ry $gx,$gy)" "[ $rx -lt $gx ] && [ $((ry - gy)) -le 12 ] && [ $((gy - ry)) -le 12 ]"
check "bottom left blue, bottom right yellow ($bx,$by $yx,$yy)" "[ $bx -lt $yx ] && [ $by -gt $ry ] && [ $yy -gt $gy ]"

# The design's picture: the same model written as .X (which never has materials), --no-textures,
# and a model whose materials are nowhere to be found all draw the same pixels.
"$cli" convert "$tmp/model/square.3do" "$tmp/square.x"
render "$tmp/square.x" "$tmp/design.png"
render "$tmp/model/square.3do" "$tmp/plain.png" --no-textures 2>"$tmp/err"
check "--no-textures: no warnings" "[ ! -s $tmp/err ]"
check "--no-textures draws the design's picture" "[ \"\$(pixels_md5 $tmp/plain.png)\" = \"\$(pixels_md5 $tmp/design.png)\" ]"
check "the design's picture is not the textured one" "[ \"\$(pixels_md5 $tmp/plain.png)\" != \"\$(pixels_md5 $tmp/textured.png)\" ]"
render "$tmp/bare/square.3do" "$tmp/bare.png" 2>"$tmp/err"
check "no material found: exit 0" "[ $? -eq 0 ] && grep -qx 'warning: Material not found: t.mat' $tmp/err"
check "no material found: the design's picture" "[ \"\$(pixels_md5 $tmp/bare.png)\" = \"\$(pixels_md5 $tmp/design.png)\" ]"

# Found in the game folder given; another colormap by file.
render "$tmp/bare/square.3do" "$tmp/game.png" --game "$tmp/game" 2>/dev/null
check "--game finds the material" "[ \"\$(pixels_md5 $tmp/game.png)\" = \"\$(pixels_md5 $tmp/textured.png)\" ]"
render "$tmp/model/square.3do" "$tmp/cyan.png" --colormap "$tmp/other.cmp" 2>/dev/null
check "--colormap colours the texture" \
    "[ \"\$(centre $tmp/cyan.png '#00FFFF')\" = \"$rx $ry\" ] && [ -z \"\$(centre $tmp/cyan.png '#FF0000')\" ]"
err=$("$cli" render "$tmp/model/square.3do" "$tmp/x.png" --colormap nowhere.cmp 2>&1 >/dev/null)
check "a colormap that is not there is an error" "[ $? -eq 1 ] && [ \"\$err\" = 'Colormap not found: nowhere.cmp' ]"

# Without --game, the game folder the program saved. A Windows build run by an emulator (the
# build names its runner quillmark-cli-emulated) keeps its settings in the emulator's user
# folder, which this test leaves alone.
case "$cli" in
*-emulated) ;;
*)
    mkdir -p "$XDG_CONFIG_HOME/Quillmark"
    printf '[GAME]\r\nFolder=%s\r\n' "$tmp/game" >"$XDG_CONFIG_HOME/Quillmark/quillmark.ini"
    render "$tmp/bare/square.3do" "$tmp/saved.png" 2>"$tmp/err"
    check "the saved game folder is used" \
        "[ \"\$(pixels_md5 $tmp/saved.png)\" = \"\$(pixels_md5 $tmp/textured.png)\" ] && [ \"\$(cat $tmp/err)\" = 'warning: Material not found: c.mat' ]"
    ;;
esac

exit $fail
