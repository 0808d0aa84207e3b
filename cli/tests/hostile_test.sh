#!/usr/bin/env bash
# Hostile files (models, .X files, archives) fed to every command: each ends with a clear error
# (exit 1, a message) or a sensible result (exit 0), never a crash, a hang or a runaway
# allocation.
set -uo pipefail
cli="$1"
dir="$(mktemp -d)"
trap 'rm -rf "$dir"' EXIT
fails=0

printf '' > "$dir/empty.3do"
head -c 200000 /dev/urandom > "$dir/garbage.3do"
printf 'HIERARCHY NODES 1\r\n0: 0x0 0x0 0 -1 -1 -1 0 0 0 0 0 0 0 0 0 0 r\r\nGEOSET 0\r\nMESH 0\r\nVERTICES 2000000000\r\n' > "$dir/count.3do"
printf 'GEOSET 0\0\r\nMESH 0\r\n\0\0\0NAME \0x\r\n' > "$dir/nul.3do"
python3 -c "import sys; sys.stdout.write('NAME ' + 'x' * 8000000)" > "$dir/oneline.3do"
python3 -c "import sys; sys.stdout.write('GEOSET 0\r\nMESH 0\r\nNAME ' + 'n' * 10000 + '\r\nVERTICES 1\r\n0: 1e999 -1e99999 1e-999 nan\r\nHIERARCHY NODES 1\r\n0: 0x0 0x0 0 -1 -1 -1 0 0 0 0 0 0 0 0 0 0 r\r\n')" > "$dir/ranges.3do"
printf 'GEOSET 0\nMESH 0\nVERTICES 1\n0: 0 0 0 0\nFACES 1\n0: 0 0x0 4 3 0 0 3 0,0 9,0 60000,0\nHIERARCHY NODES 2\n0: 0x0 0x0 0 1 1 1 0 0 0 0 0 0 0 0 0 0 a\n1: 0x0 0x0 -1 0 0 0 0 0 0 0 0 0 0 0 0 0 b\n' > "$dir/cycle.3do"
printf 'GEOSET 0\nMESH 0\nVERTICES 1\n0: 0 0 0 0\nFACES 1\n0: 0 0x0 4 3 0 0 3 0,0 9,0 60000,0\nHIERARCHY NODES 1\n0: 0x0 0x0 0 -1 0 0 0 0 0 0 0 0 0 0 0 0 a\n' > "$dir/badindex.3do"
printf 'MATERIALS 1\r\n0: x.mat\r\nGEOSET 0\r\nMESH 0\r\nNAME inf\r\nVERTICES 3\r\n0: 1e999 0 0 0\r\n1: 1 0 0 0\r\n2: 0 1 nan 0\r\nFACES 1\r\n0: 0 0x0 4 3 0 0 3 0,0 1,0 2,0\r\nHIERARCHY NODES 1\r\n0: 0x0 0x0 0 -1 -1 -1 0 0 0 1e999 0 0 0 0 0 0 a\r\n' > "$dir/infinite.3do"
printf 'xof 0302bin 0064\x01\x02\x03' > "$dir/binary.x"
printf 'xof 0302txt 0064\r\nMesh {\r\n 3;\r\n 0;0;0;,\r\n' > "$dir/truncated.x"
printf 'xof 0302txt 0064\r\nMesh {\r\n 1;\r\n 0;0;0;;\r\n 1;\r\n 3;0,1,2;;\r\n}\r\n' > "$dir/indices.x"

run() {
    local what="$1"; shift
    timeout "${limit:-60}" "$@" >"$dir/out" 2>"$dir/err"
    local rc=$?
    last=$rc
    if [ $rc -ne 0 ] && [ $rc -ne 1 ]; then
        echo "FAIL ($rc): $what"; head -c 400 "$dir/err"; fails=$((fails + 1)); return
    fi
    if [ $rc -eq 1 ] && [ ! -s "$dir/err" ] && ! grep -q '"error"' "$dir/out"; then
        echo "FAIL (no message): $what"; fails=$((fails + 1))
    fi
}

# convert to both glTF containers; a failed one leaves no file.
gltf() {
    local what="$1" ext
    shift
    for ext in glb gltf; do
        rm -f "$dir/out.$ext"
        run "convert .$ext $what" "$cli" convert "$@" "$dir/out.$ext"
        if [ "$last" = 1 ] && [ -e "$dir/out.$ext" ]; then
            echo "FAIL: convert .$ext $what failed and left a file"; fails=$((fails + 1))
        fi
    done
}

for f in "$dir"/*.3do; do
    run "info $(basename "$f")" "$cli" info "$f"
    run "info --full $(basename "$f")" "$cli" info "$f" --full
    run "convert $(basename "$f")" "$cli" convert "$f" "$dir/out.x"
    gltf "$(basename "$f")" "$f"
    run "view $(basename "$f")" "$cli" view "$f" "$dir/out.png" --vertices --boxes --grid
    run "view perspective-free mesh-only $(basename "$f")" "$cli" view "$f" "$dir/out.png" --mesh-only
    run "render $(basename "$f")" "$cli" render "$f" "$dir/out.png" --size 64x48
done
for f in "$dir"/*.x; do
    run "render $(basename "$f")" "$cli" render "$f" "$dir/out.png" --size 64x48
done

# Hostile archives through every command. An archive is read by its index, so each answer is
# quick, and extract never writes beside its target folder.
python3 - "$(dirname "$0")" "$dir" <<'EOF'
import sys
sys.path.insert(0, sys.argv[1])
from gobwriter import archive, raw, write
d = sys.argv[2]
box = open(f"{d}/badindex.3do", "rb").read()
good = archive([(b"a.3do", box)])
write(f"{d}/count.gob", raw([(16, 1, b"a.3do")], b"x", count=0xFFFFFFFF))
write(f"{d}/past.gob", raw([(152, 1000000, b"a.3do"), (152, len(box), b"b.3do")], box))
write(f"{d}/nonul.gob", raw([(152, 1, b"a" * 128)], b"x"))
write(f"{d}/version.gob", good[:4] + b"\x15" + good[5:])
write(f"{d}/truncated.gob", raw([(16, 1, b"a.3do")], count=3))
write(f"{d}/offset.gob", raw([], index_offset=0x7FFFFFF0))
write(f"{d}/toolong.gob", raw([(152, 0x80000000, b"a.3do")], b"x"))
write(f"{d}/emptyname.gob", raw([(152, 1, b""), (152, 1, b"a.3do")], b"x"))
write(f"{d}/overlap.gob", raw([(0, 300, b"a.3do"), (10, 300, b"b\\a.3do")], bytes(300)))
write(f"{d}/darkforces.gob", b"GOB\x0a" + bytes(100))
write(f"{d}/short.gob", b"GOB ")
write(f"{d}/traversal.gob", archive([(b"..\\..\\a.3do", box), (b"/b.3do", box), (b"c:\\c.3do", box),
                                     (b"d\\..\\..\\e.3do", box), (b"f\\.. \\g.3do", box)]))
EOF
limit=20
for f in "$dir"/*.gob; do
    g=$(basename "$f")
    run "list $g" "$cli" list "$f"
    run "list --json $g" "$cli" list "$f" --json
    run "info $g" "$cli" info --archive "$f" a.3do
    run "convert $g" "$cli" convert --archive "$f" a.3do "$dir/out.x"
    gltf "$g" --archive "$f" a.3do
    run "view $g" "$cli" view --archive "$f" a.3do "$dir/out.png"
    run "render $g" "$cli" render --archive "$f" a.3do "$dir/out.png" --size 64x48
    rm -rf "$dir/target"
    mkdir "$dir/target"
    run "extract $g" "$cli" extract "$f" --to "$dir/target/out"
    [ -z "$(ls -A "$dir/target" | grep -vx out)" ] ||
        { echo "FAIL: extract $g wrote beside its target"; fails=$((fails + 1)); }
done
limit=60
[ -z "$(find "$dir/target" -type f)" ] ||
    { echo "FAIL: traversal names extracted"; find "$dir/target"; fails=$((fails + 1)); }

# expect MESSAGE COMMAND...: exit 1 with exactly that message.
expect() {
    local message="$1"; shift
    "$@" >"$dir/out" 2>&1
    local rc=$?
    [ $rc -eq 1 ] && [ "$(cat "$dir/out")" = "$message" ] ||
        { echo "FAIL ($rc): $*: $(head -c 300 "$dir/out")"; fails=$((fails + 1)); }
}
expect "Not a Jedi Knight GOB archive: this is a Dark Forces GOB" "$cli" list "$dir/darkforces.gob"
expect "Unsupported GOB archive version 21 (expected 20)" "$cli" list "$dir/version.gob"
expect "Broken GOB archive: 4294967295 entries do not fit in the file (153 bytes)" \
    "$cli" list "$dir/count.gob"
expect "Broken archive entry: a.3do (its data runs past the end of the archive)" \
    "$cli" convert --archive "$dir/past.gob" a.3do "$dir/out.x"
"$cli" list "$dir/nonul.gob" >"$dir/out" 2>&1
[ "$(cat "$dir/out")" = "1 $(printf 'a%.0s' {1..128})" ] ||
    { echo "FAIL: a name without its NUL is listed cut at 128"; fails=$((fails + 1)); }

# Specific outcomes a modder relies on.
"$cli" info "$dir/count.3do" >"$dir/out" 2>&1
grep -q '"vertices":0' "$dir/out" || { echo "FAIL: announced count beyond the file"; cat "$dir/out"; fails=$((fails + 1)); }
"$cli" info "$dir/cycle.3do" >"$dir/out" 2>&1
grep -q '"error":"Hierarchy node parent chain has a cycle"' "$dir/out" || { echo "FAIL: cycle"; cat "$dir/out"; fails=$((fails + 1)); }
expect "Hierarchy node parent chain has a cycle" "$cli" convert "$dir/cycle.3do" "$dir/out.glb"
expect "'a' holds a number that is infinite or not a number" \
    "$cli" convert "$dir/infinite.3do" "$dir/out.gltf" --no-textures
"$cli" view "$dir/badindex.3do" "$dir/out.png" >"$dir/out" 2>&1
grep -q 'List index out of bounds' "$dir/out" || { echo "FAIL: view with a corner beyond the vertices"; cat "$dir/out"; fails=$((fails + 1)); }
"$cli" render "$dir/indices.x" "$dir/out.png" >"$dir/out" 2>&1
grep -q '88760314' "$dir/out" || { echo "FAIL: .X indices out of range must be a bad file"; cat "$dir/out"; fails=$((fails + 1)); }

[ $fails -eq 0 ] && echo "hostile inputs ok"
exit $fails
