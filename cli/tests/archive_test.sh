#!/usr/bin/env bash
# quillmark-cli and GOB archives: list, --archive on every command that reads a model (the same
# output as for the file), extract (folders kept, nothing outside the target, no replacing
# without --force). The archives are written here by the tests' own writer.
set -u
cli="$1"
src="$2"
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
fail=0
check() { if ! eval "$2"; then echo "FAIL: $1"; fail=1; fi; }

printf '%s\r\n' '3DO 2.1' 'GEOSETS 1' 'GEOSET 0' 'MESHES 1' 'MESH 0' 'NAME box' 'RADIUS 0.2' \
    'VERTICES 3' '0: 0.0 0.0 0.0 0.0' '1: 1.0 0.0 0.0 0.0' '2: 0.0 1.0 0.25 0.0' \
    'TEXTURE VERTICES 1' '0: 0.5 0.5' 'FACES 1' '0: 0 0x0000 4 3 0 0.0 3 0, 0 1, 0 2, 0' \
    'HIERARCHY NODES 1' '0: 0x0000 0x00001 0 -1 -1 -1 0 0.0 0.0 0.0 0.0 0.0 0.0 0.0 0.0 0.0 root' \
    >"$tmp/box.3do"
sed 's/NAME box/NAME tri/; s/^1: 1.0/1: 2.0/' "$tmp/box.3do" >"$tmp/tri.3do"
# Archived text files may end in byte 26, which ends the text.
{ cat "$tmp/box.3do"; printf '\032'; } >"$tmp/box1a.3do"
cp "$src/core/tests/data/frames_cube.x" "$tmp/cube.x"

# The archive, and what list must print for it, worked out from the members here.
python3 - "$src/cli/tests" "$tmp" <<'EOF'
import json, sys
sys.path.insert(0, sys.argv[1])
import gobwriter
tmp = sys.argv[2]
def read(name):
    return open(f"{tmp}/{name}", "rb").read()
members = [(b"3DO\\BOX.3DO", read("box.3do")), (b"3do\\gen\\tri.3do", read("tri.3do")),
           (b"3do/box.3do", b"dup"), (b"mat\\caf\xe9.mat", b"MAT"),
           (b"3do\\lod\\tri.3do", read("tri.3do")), (b"..\\escape.txt", b"x"),
           (b"/abs.txt", b"y"), (b"a\x01b", b"z"), (b"3do\\cube.x", read("cube.x")),
           (b"box1a.3do", read("box1a.3do"))]
gobwriter.write(f"{tmp}/test.gob", gobwriter.archive(members))
offset = 16 + 136 * len(members)
lines, listing = [], []
for name, data in members:
    shown = name.decode("latin-1")
    lines.append(f"{len(data)} {shown.replace(chr(1), chr(92) + 'x01')}\n")
    listing.append({"name": shown, "size": len(data), "offset": offset})
    offset += len(data)
open(f"{tmp}/list.expected", "w", encoding="utf-8").write("".join(lines))
open(f"{tmp}/json.expected", "w", encoding="utf-8").write(
    json.dumps(listing, ensure_ascii=False, separators=(",", ":")) + "\n")
EOF
gob="$tmp/test.gob"

# list: sizes and names as stored, in index order; duplicates listed and warned about.
"$cli" list "$gob" >"$tmp/out" 2>"$tmp/err"
check "list exits 0" "[ $? -eq 0 ]"
check "list lines" "cmp -s $tmp/out $tmp/list.expected"
check "list warns of the duplicate" \
    "[ \"\$(cat $tmp/err)\" = 'warning: Duplicate archive entry: 3do/box.3do (the first one is used)' ]"
"$cli" list "$gob" --json >"$tmp/out" 2>/dev/null
check "list --json" "cmp -s $tmp/out $tmp/json.expected"

# --archive: the entry's model gives what the file gives, byte for byte.
same() { # what, entry, file, command and options
    local what=$1 entry=$2 file=$3
    shift 3
    "$cli" "$@" "$entry" --archive "$gob" >"$tmp/a.out" 2>&1
    echo $? >>"$tmp/a.out"
    "$cli" "$@" "$file" >"$tmp/f.out" 2>&1
    echo $? >>"$tmp/f.out"
    check "$what" "cmp -s $tmp/a.out $tmp/f.out"
}
same "info by stored name" '3DO\BOX.3DO' "$tmp/box.3do" info
same "info, other case and separator" '3do/box.3do' "$tmp/box.3do" info --full
same "info by bare name" 'Box.3do' "$tmp/box.3do" info
same "info of an entry ending in byte 26" box1a.3do "$tmp/box1a.3do" info --full
check "byte 26 ends the text" "cmp -s $tmp/a.out <(\"$cli\" info --full $tmp/box.3do; echo 0)"
check "the file's info is the model's" "grep -q '\"vertices\":3' $tmp/f.out"

"$cli" convert --archive "$gob" 3do/gen/tri.3do "$tmp/a.x" &&
    "$cli" convert "$tmp/tri.3do" "$tmp/f.x"
check "convert from an entry" "cmp -s $tmp/a.x $tmp/f.x"
"$cli" view --archive "$gob" 3do/gen/tri.3do "$tmp/a.png" --grid &&
    "$cli" view "$tmp/tri.3do" "$tmp/f.png" --grid
check "view from an entry" "cmp -s $tmp/a.png $tmp/f.png"
"$cli" render --archive "$gob" 3do/gen/tri.3do "$tmp/a.png" --size 64x48 &&
    "$cli" render "$tmp/tri.3do" "$tmp/f.png" --size 64x48
check "render of a .3do entry" "cmp -s $tmp/a.png $tmp/f.png"
"$cli" render --archive "$gob" cube.x "$tmp/a.png" --size 64x48 &&
    "$cli" render "$tmp/cube.x" "$tmp/f.png" --size 64x48
check "render of a .x entry" "cmp -s $tmp/a.png $tmp/f.png"

# error EXPECTED_STDERR COMMAND...: exit 1, that message, nothing on stdout.
error() {
    local expected=$1
    shift
    "$cli" "$@" >"$tmp/out" 2>"$tmp/err"
    local code=$?
    if [ $code -ne 1 ] || [ "$(cat "$tmp/err")" != "$expected" ] || [ -s "$tmp/out" ]; then
        echo "FAIL: $* gave $code: $(cat "$tmp/err" "$tmp/out")"
        fail=1
    fi
}
error 'Ambiguous archive entry: tri.3do (2 matches)' convert --archive "$gob" tri.3do "$tmp/x.x"
error 'Archive entry not found: 3do/nope.3do' view --archive "$gob" 3do/nope.3do "$tmp/x.png"
error 'Archive entry not found: gen' render --archive "$gob" gen "$tmp/x.png"
error 'File not found' convert --archive "$tmp/none.gob" box.3do "$tmp/x.x"
error 'Not a Jedi Knight GOB archive' list "$tmp/box.3do"
# An archive where a model is expected is refused, saying how to name a model in it.
for command in "view" "render" "convert" "materials"; do
    out=$([ $command = materials ] || echo "$tmp/x.png")
    error "$gob is a GOB archive, not a model: name a model in it with --archive $gob ENTRY" \
        $command "$gob" $out
done
"$cli" info "$gob" >"$tmp/out"
check "info of an archive: exit 1, said in its JSON" "[ $? -eq 1 ] &&
    grep -q 'is a GOB archive, not a model' $tmp/out"
"$cli" info --archive "$gob" TRI.3DO >"$tmp/out"
code=$?
echo '{"error":"Ambiguous archive entry: TRI.3DO (2 matches)"}' >"$tmp/out.expected"
check "info reports ambiguity in its JSON" "[ $code -eq 1 ] && cmp -s $tmp/out $tmp/out.expected"
check "no file written for a failed entry" "[ ! -e $tmp/x.x ] && [ ! -e $tmp/x.png ]"

# A colormap the archive holds but that is cut short is a missing one: a warning that names it
# and says why, and the model is still drawn and converted.
python3 - "$src/cli/tests" "$tmp" <<'EOF'
import sys
sys.path.insert(0, sys.argv[1])
import gobwriter
tmp = sys.argv[2]
model = b"MATERIALS 1\r\n0: x.mat\r\n" + open(f"{tmp}/box.3do", "rb").read()
cmp = b"CMP " + bytes([30, 0, 0, 0]) + bytes(17208)
data = gobwriter.archive([(b"3do\\box.3do", model), (b"misc\\cmp\\dflt.cmp", cmp)])
open(f"{tmp}/cut.gob", "wb").write(data[:-1000])
EOF
for command in "render --size 32x24" convert; do
    "$cli" $command --archive "$tmp/cut.gob" box.3do "$tmp/cut.glb" >"$tmp/out" 2>"$tmp/err"
    code=$?
    check "$command: a broken colormap is named and the command goes on" "[ $code -eq 0 ] &&
        grep -q '^warning: Colormap .*cut.gob (misc.cmp.dflt.cmp) cannot be read (Broken archive entry: .*grey ramp\$' $tmp/err &&
        [ -s $tmp/cut.glb ]"
    rm -f "$tmp/cut.glb"
done

# extract everything: folders kept (matched in any case), unsafe names skipped and reported.
mkdir "$tmp/ex"
"$cli" extract "$gob" --to "$tmp/ex/out" >"$tmp/out" 2>"$tmp/err"
check "extract with unsafe names exits 1" "[ $? -eq 1 ] && [ ! -s $tmp/out ]"
printf '%s\n' 'warning: Duplicate archive entry: 3do/box.3do (the first one is used)' \
    'Unsafe archive entry name: ..\escape.txt (a ".." component would leave the target folder)' \
    'Unsafe archive entry name: /abs.txt (it starts with a separator)' \
    'Unsafe archive entry name: a\x01b (it holds a control character)' >"$tmp/err.expected"
check "extract reports each unsafe name" "cmp -s $tmp/err $tmp/err.expected"
(cd "$tmp/ex/out" && find . -type f | LC_ALL=C sort) >"$tmp/files"
printf '%s\n' ./3DO/BOX.3DO ./3DO/cube.x ./3DO/gen/tri.3do ./3DO/lod/tri.3do ./box1a.3do \
    ./mat/café.mat >"$tmp/files.expected"
check "extracted files" "cmp -s $tmp/files $tmp/files.expected"
check "nothing beside the target folder" \
    "[ \"\$(ls -A $tmp/ex)\" = out ] && [ ! -e $tmp/escape.txt ]"
check "first of the duplicates written" "cmp -s $tmp/ex/out/3DO/BOX.3DO $tmp/box.3do"
check "bytes kept, byte 26 too" "cmp -s $tmp/ex/out/box1a.3do $tmp/box1a.3do"
check "Latin-1 name" "[ \"\$(cat $tmp/ex/out/mat/café.mat)\" = MAT ]"

# No file is replaced without --force; with it, the entry's bytes come back.
echo changed >"$tmp/ex/out/3DO/BOX.3DO"
error "$(printf '%s\n' 'warning: Duplicate archive entry: 3do/box.3do (the first one is used)' \
    'Not extracted: 3DO\BOX.3DO (the file exists; --force replaces it)')" \
    extract "$gob" '3do\box.3do' --to "$tmp/ex/out"
check "existing file kept" "[ \"\$(cat $tmp/ex/out/3DO/BOX.3DO)\" = changed ]"
"$cli" extract "$gob" box.3do 'café.mat' box.3do --to "$tmp/ex/out" --force 2>"$tmp/err"
check "--force replaces" "[ $? -eq 0 ] && cmp -s $tmp/ex/out/3DO/BOX.3DO $tmp/box.3do"
check "--force prints only the archive's warning" "[ \$(wc -l <$tmp/err) -eq 1 ]"

# A link below the target folder is never written through, even with --force. (Wine sees a
# link to a file as the file, and replaces the link itself: still nothing outside is written.)
mkdir "$tmp/elsewhere" "$tmp/linked"
echo victim >"$tmp/elsewhere/victim"
ln -s "$tmp/elsewhere" "$tmp/linked/3do"
ln -s "$tmp/elsewhere/victim" "$tmp/linked/box1a.3do"
"$cli" extract "$gob" 3do/gen/tri.3do box1a.3do --to "$tmp/linked" --force 2>"$tmp/err"
check "links: exit 1" "[ $? -eq 1 ]"
message='Not extracted: 3do.gen.tri.3do (a link in its path could lead outside the target folder)'
check "a linked folder is reported" "grep -qx '$message' $tmp/err"
check "nothing written through a link" \
    "[ \"\$(ls -A $tmp/elsewhere)\" = victim ] && [ \"\$(cat $tmp/elsewhere/victim)\" = victim ]"

# Named entries only; a bad name is reported and the rest still written.
"$cli" extract "$gob" TRI.3DO 3do/gen/tri.3do ../escape.txt --to "$tmp/two" 2>"$tmp/err"
check "named entries: exit 1 for the bad ones" "[ $? -eq 1 ]"
check "named entries written" "[ \"\$(cd $tmp/two && find . -type f)\" = ./3do/gen/tri.3do ]"
check "named entries' messages" "grep -qx 'Ambiguous archive entry: TRI.3DO (2 matches)' $tmp/err &&
    grep -q '^Unsafe archive entry name: ..' $tmp/err"

exit $fail
