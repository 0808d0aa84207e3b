#!/usr/bin/env bash
# Hostile files fed to every command: each ends with a clear error (exit 1, a message) or a
# sensible result (exit 0), never a crash, a hang or a runaway allocation.
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
printf 'xof 0302bin 0064\x01\x02\x03' > "$dir/binary.x"
printf 'xof 0302txt 0064\r\nMesh {\r\n 3;\r\n 0;0;0;,\r\n' > "$dir/truncated.x"
printf 'xof 0302txt 0064\r\nMesh {\r\n 1;\r\n 0;0;0;;\r\n 1;\r\n 3;0,1,2;;\r\n}\r\n' > "$dir/indices.x"

run() {
    local what="$1"; shift
    timeout 60 "$@" >"$dir/out" 2>"$dir/err"
    local rc=$?
    if [ $rc -ne 0 ] && [ $rc -ne 1 ]; then
        echo "FAIL ($rc): $what"; head -c 400 "$dir/err"; fails=$((fails + 1)); return
    fi
    if [ $rc -eq 1 ] && [ ! -s "$dir/err" ] && ! grep -q '"error"' "$dir/out"; then
        echo "FAIL (no message): $what"; fails=$((fails + 1))
    fi
}

for f in "$dir"/*.3do; do
    run "info $(basename "$f")" "$cli" info "$f"
    run "info --full $(basename "$f")" "$cli" info "$f" --full
    run "convert $(basename "$f")" "$cli" convert "$f" "$dir/out.x"
    run "view $(basename "$f")" "$cli" view "$f" "$dir/out.png" --vertices --boxes --grid
    run "view perspective-free mesh-only $(basename "$f")" "$cli" view "$f" "$dir/out.png" --mesh-only
    run "render $(basename "$f")" "$cli" render "$f" "$dir/out.png" --size 64x48
done
for f in "$dir"/*.x; do
    run "render $(basename "$f")" "$cli" render "$f" "$dir/out.png" --size 64x48
done

# Specific outcomes a modder relies on.
"$cli" info "$dir/count.3do" >"$dir/out" 2>&1
grep -q '"vertices":0' "$dir/out" || { echo "FAIL: announced count beyond the file"; cat "$dir/out"; fails=$((fails + 1)); }
"$cli" info "$dir/cycle.3do" >"$dir/out" 2>&1
grep -q '"error":"Hierarchy node parent chain has a cycle"' "$dir/out" || { echo "FAIL: cycle"; cat "$dir/out"; fails=$((fails + 1)); }
"$cli" view "$dir/badindex.3do" "$dir/out.png" >"$dir/out" 2>&1
grep -q 'List index out of bounds' "$dir/out" || { echo "FAIL: view with a corner beyond the vertices"; cat "$dir/out"; fails=$((fails + 1)); }
"$cli" render "$dir/indices.x" "$dir/out.png" >"$dir/out" 2>&1
grep -q '88760314' "$dir/out" || { echo "FAIL: .X indices out of range must be a bad file"; cat "$dir/out"; fails=$((fails + 1)); }

[ $fails -eq 0 ] && echo "hostile inputs ok"
exit $fails
