#!/usr/bin/env bash
# quillmark-cli materials: for a generated model whose list names a textured material of two
# cels, a colour material, a broken one and a missing one, where each is found or looked for,
# its kind, cels and size; the colormap's origin; from a folder, an archive, a game folder, a
# chosen colormap and the settings the program saved. Missing materials are no error.
set -u
cli="$1"
src="$2"
# The test runs in its own folder.
case $cli in /*) ;; *) cli="$PWD/$cli" ;; esac
case $src in /*) ;; *) src="$PWD/$src" ;; esac
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
fail=0
check() { if ! eval "$2"; then echo "FAIL: $1"; fail=1; fi; }
# No game folder or colormap the user saved may change the answers.
export XDG_CONFIG_HOME="$tmp/config"

python3 - "$tmp" "$src/cli/tests" <<'EOF'
import os, struct, sys
root = sys.argv[1]
sys.path.insert(0, sys.argv[2])
import gobwriter
def put(rel, data):
    path = os.path.join(root, rel)
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "wb") as f:
        f.write(data)
cmp = (b"CMP " + struct.pack("<II3f", 0x1E, 0, 1, 1, 1) + bytes(40) + bytes(range(256)) * 3
       + bytes(range(256)) * 64)
def header(kind, records, textures):
    return b"MAT " + struct.pack("<IIiiII", 0x32, kind, records, textures, 0, 8) + bytes(4 * 12)
def texture_record(index):
    return struct.pack("<II4fIIIi", 8, 1, 1, 1, 1, 1, 0, 0, 0, index)
def block(w, h):
    return struct.pack("<6I", w, h, 0, 0, 0, 1) + bytes(w * h)
# Two cels: cel 0 is 64 x 32, cel 1 16 x 16.
textured = (header(2, 2, 2) + texture_record(0) + texture_record(1) + block(64, 32)
            + block(16, 16))
colour = header(0, 1, 0) + struct.pack("<II4f", 0, 5, 1, 1, 1, 1)
broken = b"MAT " + struct.pack("<I", 0x31) + bytes(72)
model = """3DO 2.1
SECTION: MODELRESOURCE
MATERIALS 4
0: t.mat
1: c.mat
2: bad.mat
3: gone.mat
SECTION: GEOMETRYDEF
RADIUS 1.0
INSERT OFFSET 0 0 0
GEOSETS 1
GEOSET 0
MESHES 1
MESH 0
NAME m
RADIUS 1.0
GEOMETRYMODE 4
LIGHTINGMODE 3
TEXTUREMODE 0
VERTICES 3
0: 0.0 0.0 0.0 0.0
1: 1.0 0.0 0.0 0.0
2: 0.0 0.0 1.0 0.0
TEXTURE VERTICES 1
0: 0.0 0.0
VERTEX NORMALS
0: 0 1 0
1: 0 1 0
2: 0 1 0
FACES 1
0: 0 0x0 4 0 0 0.0 3 0,0 1,0 2,0
FACE NORMALS
0: 0 1 0
SECTION: HIERARCHYDEF
HIERARCHY NODES 1
0: 0x0 0x1 0 -1 -1 -1 0 0 0 0 0 0 0 0 0 0 m
""".replace("\n", "\r\n").encode()
put("model/sq.3do", model)
put("model/mat/t.mat", textured)
put("model/c.mat", colour)
put("model/mat/bad.mat", broken)
put("model/misc/cmp/dflt.cmp", cmp)
put("plain/sq.3do", model.replace(b"MATERIALS 4", b"MATERIALS 0"))
put("game/resource/mat/gone.mat", colour)
put("game/misc/cmp/dflt.cmp", cmp)
put("game/misc/cmp/green.cmp", cmp)
put("other.cmp", cmp)
gobwriter.write(os.path.join(root, "a.gob"), gobwriter.archive([
    (b"3do\\sq.3do", model), (b"3do\\mat\\T.MAT", textured), (b"mat\\c.mat", colour),
    (b"misc\\cmp\\dflt.cmp", cmp)]))
EOF

cd "$tmp" || exit 1
# Runs `materials` and checks its JSON with the Python expression given (`j` is the answer,
# `m` its materials, `last(p)` the last component of a path of either system).
run() {
    local what=$1 expr=$2
    shift 2
    "$cli" materials "$@" >"$tmp/out" 2>"$tmp/err"
    local code=$?
    check "$what: exit 0, nothing on stderr" "[ $code -eq 0 ] && [ ! -s $tmp/err ]"
    python3 - "$tmp/out" "$expr" <<'EOF' || { echo "FAIL: $what"; cat "$tmp/out"; fail=1; }
import json, re, sys
j = json.load(open(sys.argv[1], encoding="utf-8"))
m = j["materials"]
last = lambda p: re.split(r"[/\\]", p)[-1]
assert eval("(" + sys.argv[2] + ")"), sys.argv[2]
EOF
}

# Beside the model: mat/t.mat, c.mat in the model's own folder, a broken one, a missing one
# looked for in every place the model's folder stands for, each place once.
looked="[(last(p['mount']), p['path']) for p in m[3]['looked_in']]"
run "beside the model" "
  [x['index'] for x in m] == [0, 1, 2, 3] and [x['name'] for x in m] == ['t.mat', 'c.mat', 'bad.mat', 'gone.mat']
  and j['usable'] == 2 and last(j['colormap']) == 'dflt.cmp' and j['warnings'] == []
  and last(m[0]['found']['mount']) == 'model' and m[0]['found']['path'] == 'mat/t.mat'
  and (m[0]['kind'], m[0]['cels'], m[0]['size'], m[0]['problem'], m[0]['looked_in']) == ('texture', 2, [64, 32], None, [])
  and m[1]['found']['path'] == 'c.mat' and (m[1]['kind'], m[1]['cels'], m[1]['size']) == ('colour', 1, None)
  and m[2]['found']['path'] == 'mat/bad.mat'
  and (m[2]['kind'], m[2]['problem'], m[2]['cels'], m[2]['size']) == (None, 'Unsupported material version', None, None)
  and m[3]['found'] is None and (m[3]['kind'], m[3]['problem'], m[3]['cels']) == (None, None, None)
  and $looked == [('model', '3do/mat/gone.mat'), ('model', 'mat/gone.mat'), ('model', 'gone.mat')]" \
    model/sq.3do

# A game folder is looked in after the model's folder: its resource folder has the fourth.
run "--game" "
  j['usable'] == 3 and m[3]['kind'] == 'colour' and m[3]['found']['path'] == 'mat/gone.mat'
  and last(m[3]['found']['mount']) == 'resource' and last(j['colormap']) == 'dflt.cmp'" \
    model/sq.3do --game game
run "a game folder that is not there" "
  j['warnings'] == ['Game folder not found: nowhere'] and j['usable'] == 2" \
    model/sq.3do --game nowhere

# Inside an archive: found as stored, in any case; the colormap is the archive's.
run "--archive" "
  j['colormap'] == 'a.gob (misc\\\\cmp\\\\dflt.cmp)' and j['usable'] == 2
  and m[0]['found'] == {'mount': 'a.gob', 'path': '3do\\\\mat\\\\T.MAT'} and m[0]['size'] == [64, 32]
  and m[1]['found'] == {'mount': 'a.gob', 'path': 'mat\\\\c.mat'}
  and m[2]['looked_in'] == [{'mount': 'a.gob', 'path': '3do/mat/bad.mat'}, {'mount': 'a.gob', 'path': 'mat/bad.mat'}]" \
    --archive a.gob sq.3do

# A colormap chosen by file or by name; one that is not there is an error.
run "--colormap FILE" "j['colormap'] == 'other.cmp'" model/sq.3do --colormap other.cmp
run "--colormap NAME" "last(j['colormap']) == 'green.cmp'" model/sq.3do --game game \
    --colormap green.cmp
err=$("$cli" materials model/sq.3do --colormap nowhere.cmp 2>&1 >/dev/null)
check "a colormap that is not there: exit 1" \
    "[ $? -eq 1 ] && [ \"\$err\" = 'Colormap not found: nowhere.cmp' ]"

# No material list: nothing looked for; no colormap anywhere: null and a warning.
run "no materials" "m == [] and j['usable'] == 0 and j['colormap'] is None
  and j['warnings'] == ['No colormap found (looked for misc/cmp/dflt.cmp): colours are shown as a grey ramp']" \
    plain/sq.3do

err=$("$cli" materials missing.3do 2>&1 >/dev/null)
check "a missing model: exit 1" "[ $? -eq 1 ] && [ -n \"\$err\" ]"

# Without --game, the game folder the program saved; a saved colormap this model cannot see
# gives way to the default with a warning. A Windows build run by an emulator keeps its
# settings in the emulator's user folder, which this test leaves alone.
case "$cli" in
*-emulated) ;;
*)
    mkdir -p "$XDG_CONFIG_HOME/Quillmark"
    printf '[COLORS]\r\nVertex=255\r\n[GAME]\r\nFolder=%s\r\nColormap=misc/cmp/gone.cmp\r\n' \
        "$tmp/game" >"$XDG_CONFIG_HOME/Quillmark/quillmark.ini"
    run "the saved game folder and colormap" "
      j['usable'] == 3 and last(m[3]['found']['mount']) == 'resource'
      and j['warnings'] == ['Colormap not found: misc/cmp/gone.cmp'] and last(j['colormap']) == 'dflt.cmp'" \
        model/sq.3do
    ;;
esac

exit $fail
