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

# Under an emulator each start costs about a second, and the sweeps below exercise the same code
# on every system: there they run only what touches the file system (list and extract).
emulated=
case "$cli" in *-emulated) emulated=1 ;; esac

for f in "$dir"/*.3do; do
    [ -n "$emulated" ] && break
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
    if [ -z "$emulated" ]; then
        run "list --json $g" "$cli" list "$f" --json
        run "info $g" "$cli" info --archive "$f" a.3do
        run "convert $g" "$cli" convert --archive "$f" a.3do "$dir/out.x"
        gltf "$g" --archive "$f" a.3do
        run "view $g" "$cli" view --archive "$f" a.3do "$dir/out.png"
        run "render $g" "$cli" render --archive "$f" a.3do "$dir/out.png" --size 64x48
    fi
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

# Names from files anyone can make reach the terminal with their control characters (C0, DEL and
# C1) as \xNN: material, mesh, node and entry names, in warnings, errors and listings. JSON keeps
# its own escaping. A byte 0x9B alone is a terminal's escape too.
python3 - "$(dirname "$0")" "$dir" <<'EOF'
import os, sys
sys.path.insert(0, sys.argv[1])
from gobwriter import archive, write
d = sys.argv[2]
esc = b"\x1b]0;pwned\x07\x1b[2J\x9b2J"
model = (b"MATERIALS 1\r\n0: m" + esc + b".mat\r\nGEOSET 0\r\nMESH 0\r\nNAME me" + esc +
         b"\r\nVERTICES 3\r\n0: 0 0 0 0\r\n1: 1 0 0 0\r\n2: 0 1 0 0\r\nFACES 2\r\n"
         b"0: 0 0x0 4 3 0 0 3 0,0 1,0 2,0\r\n1: 7 0x0 4 3 0 0 3 0,0 1,0 2,0\r\n"
         b"HIERARCHY NODES 2\r\n0: 0x0 0x0 0 -1 -1 -1 0 0 0 0 0 0 0 0 0 0 no" + esc + b"\r\n"
         b"1: 0x0 0x0 9 -1 -1 -1 0 0 0 0 0 0 0 0 0 0 nb" + esc + b"\r\n")
os.makedirs(f"{d}/esc", exist_ok=True)
write(f"{d}/esc/esc.3do", model)
write(f"{d}/esc/inf.3do", model.replace(b"0 0 0 0 0 0 0 0 0 0 no", b"0 0 0 0 0 1e999 0 0 0 0 no"))
write(f"{d}/esc/esc.gob", archive([(b"e" + esc + b".3do", model), (b"E" + esc + b".3DO", b"x"),
                                   (b"f\x9b.3do", model), (b"esc.3do", model)]))
EOF
e="$dir/esc"
# shown WHAT FILES...: UTF-8 without control characters but line ends, the name's escapes
# shown. An emulator takes the byte 0x9B out of a command-line argument: $c1 is then unset.
c1='\\x9B2J'
shown() {
    local what="$1"; shift
    python3 - "$@" <<'EOF' || { echo "FAIL: $what"; fails=$((fails + 1)); }
import sys
for name in sys.argv[1:]:
    text = open(name, "rb").read().decode("utf-8")
    bad = [c for c in text if c != "\n" and (ord(c) < 0x20 or 0x7F <= ord(c) <= 0x9F)]
    if bad:
        sys.exit(f"{name}: {bad[:3]!r} in {text[:200]!r}")
EOF
    grep -q "\\\\x1B\\]0;pwned\\\\x07\\\\x1B\\[2J$c1" "$@" ||
        { echo "FAIL: $what: names not shown"; cat "$@"; fails=$((fails + 1)); }
}
"$cli" list "$e/esc.gob" >"$e/out" 2>"$e/err"
shown "list" "$e/out" "$e/err"
grep -q '^warning: Duplicate archive entry: ' "$e/err" ||
    { echo "FAIL: list warnings have the prefix"; fails=$((fails + 1)); }
"$cli" list "$e/esc.gob" --json 2>/dev/null | python3 -c '
import json, sys; n = json.load(sys.stdin)[0]["name"]
sys.exit(n != "e\x1b]0;pwned\x07\x1b[2J\x9b2J.3do")' ||
    { echo "FAIL: list --json keeps the name"; fails=$((fails + 1)); }
"$cli" extract "$e/esc.gob" --to "$e/x" >"$e/out" 2>"$e/err"
shown "extract" "$e/out" "$e/err"
[ "$(grep -c 'it holds a control character' "$e/err")" = 2 ] &&
    [ "$(cd "$e/x" && find . -type f)" = ./esc.3do ] ||
    { echo "FAIL: C1 and C0 names are not extracted"; cat "$e/err"; fails=$((fails + 1)); }
"$cli" render "$e/esc.3do" "$e/out.png" --size 32x32 --game "$e" >"$e/out" 2>"$e/err"
shown "render" "$e/out" "$e/err"
"$cli" convert "$e/esc.3do" "$e/out.glb" --game "$e" >"$e/out" 2>"$e/err"
shown "convert" "$e/out" "$e/err"
[ "$(grep -c '^warning: .*\\x1B' "$e/err")" = 3 ] ||
    { echo "FAIL: material, mesh and node names in warnings"; cat "$e/err"; fails=$((fails + 1)); }
"$cli" check "$e/esc.3do" --game "$e" >"$e/out" 2>"$e/err"
shown "check" "$e/out" "$e/err"
"$cli" convert "$e/inf.3do" "$e/out.gltf" --no-textures 2>"$e/err"
shown "an error naming a node" "$e/err"
[ -n "$emulated" ] && c1=
"$cli" render "$e/esc.3do" "$e/out.png" --$'\e]0;pwned\a\e[2J\x9b2J' 2>"$e/err"
shown "a usage error" "$e/err"
"$cli" convert --archive "$e/esc.gob" $'\e]0;pwned\a\e[2J\x9b2J' "$e/o.x" 2>"$e/err"
shown "an entry not found" "$e/err"

# What stands where an entry would go. A pipe, socket or device is refused with or without
# --force and never opened (opening a pipe to write waits for a reader for ever); a folder, one
# made by an earlier entry of the same run too, is named as a folder; the other entries are
# still written. An emulated Windows build has no pipes in folders.
python3 - "$(dirname "$0")" "$dir" <<'EOF'
import sys
sys.path.insert(0, sys.argv[1])
from gobwriter import archive, write
write(f"{sys.argv[2]}/special.gob", archive([(b"3do\\pipe.3do", b"p"), (b"3do\\sock.3do", b"s"),
      (b"3do\\ok.3do", b"k"), (b"a\\b.txt", b"b"), (b"A", b"a"), (b"null", b"n")]))
EOF
case "$cli" in
*-emulated) ;;
*)
    t="$dir/special"
    mkdir -p "$t/3DO"
    mkfifo "$t/3DO/pipe.3do"
    python3 -c 'import socket, sys; socket.socket(socket.AF_UNIX).bind(sys.argv[1])' "$t/3DO/sock.3do"
    for force in "" --force; do
        rm -f "$t/3DO/ok.3do"
        rm -rf "$t/a"
        limit=20 run "extract $force onto a pipe" "$cli" extract "$dir/special.gob" --to "$t" $force
        printf '%s\n' \
            'Not extracted: 3do\pipe.3do (a pipe, socket or device stands where the file would go)' \
            'Not extracted: 3do\sock.3do (a pipe, socket or device stands where the file would go)' \
            'Not extracted: A (a folder stands where the file would go)' >"$dir/expected"
        [ "$last" = 1 ] && cmp -s "$dir/err" "$dir/expected" && [ "$(cat "$t/3DO/ok.3do")" = k ] &&
            [ -p "$t/3DO/pipe.3do" ] && [ -S "$t/3DO/sock.3do" ] && [ -d "$t/a" ] ||
            { echo "FAIL: extract $force with special files"; cat "$dir/err"; fails=$((fails + 1)); }
    done
    # A character device: /dev/null, reached as the target folder's own entry.
    limit=20 run "extract onto a device" "$cli" extract "$dir/special.gob" null --to /dev --force
    [ "$last" = 1 ] && [ "$(cat "$dir/err")" = \
        'Not extracted: null (a pipe, socket or device stands where the file would go)' ] ||
        { echo "FAIL: extract onto a device"; cat "$dir/err"; fails=$((fails + 1)); }
    ;;
esac

# Memory: a material list naming one 4096 x 4096 texture 40 times, or 40 archive entries over
# the same bytes, decode it once (each command needs some 250 MB of address space; 2.7 GB when
# every name had its own copy), and running out of memory ends with the program's own message.
# Skipped where the program cannot start under an address-space limit (sanitizers, emulators).
if (ulimit -v 600000 && "$cli" --help >/dev/null 2>&1) 2>/dev/null; then
    python3 - "$(dirname "$0")" "$dir" <<'EOF'
import os, struct, sys
sys.path.insert(0, sys.argv[1])
from gobwriter import raw, write
d = sys.argv[2]
mat = (b"MAT " + struct.pack("<IIiiII", 0x32, 2, 1, 1, 0, 8) + bytes(48) +
       struct.pack("<II4fIIIi", 8, 1, 1, 1, 1, 1, 0, 0, 0, 0) +
       struct.pack("<6I", 4096, 4096, 0, 0, 0, 1) + bytes(range(256)) * 65536)
def model(names):
    lines = ["MATERIALS %d" % len(names)] + ["%d: %s" % n for n in enumerate(names)]
    lines += ["GEOSET 0", "MESH 0", "VERTICES 3", "0: 0 0 0 0", "1: 1 0 0 0", "2: 0 0 1 0",
              "TEXTURE VERTICES 1", "0: 0 0", "FACES %d" % len(names)]
    lines += ["%d: %d 0x0 4 0 0 0 3 0,0 1,0 2,0" % (i, i) for i in range(len(names))]
    lines += ["HIERARCHY NODES 1", "0: 0x0 0x0 0 -1 -1 -1 0 0 0 0 0 0 0 0 0 0 m"]
    return "\r\n".join(lines).encode() + b"\r\n"
os.makedirs(f"{d}/big/mat")
write(f"{d}/big/mat/big.mat", mat)
write(f"{d}/big/same.3do", model(["big.mat"] * 40))
names = ["m%d.mat" % i for i in range(40)]
m = model(names)
at = 16 + 136 * 41
write(f"{d}/big/many.gob", raw([(at, len(m), b"many.3do")] +
                               [(at + len(m), len(mat), b"mat\\" + n.encode()) for n in names],
                               m + mat))
EOF
    b="$dir/big"
    for input in "$b/same.3do" "--archive $b/many.gob many.3do"; do
        for command in "materials $input" "render $input $b/o.png" "convert $input $b/o.glb"; do
            (ulimit -v 600000 && exec "$cli" $command --game "$b") >/dev/null 2>"$b/err" ||
                { echo "FAIL: $command in 600 MB"; cat "$b/err"; fails=$((fails + 1)); }
        done
    done
    (ulimit -v 600000 && exec "$cli" render "$b/same.3do" "$b/o.png" --size 8192x8192) \
        >/dev/null 2>"$b/err"
    [ $? = 1 ] && [ "$(grep -v '^warning: ' "$b/err")" = "Out of memory" ] ||
        { echo "FAIL: out of memory in the program's words"; cat "$b/err"; fails=$((fails + 1)); }
fi

[ $fails -eq 0 ] && echo "hostile inputs ok"
exit $fails
