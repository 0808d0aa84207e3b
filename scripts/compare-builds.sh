#!/usr/bin/env bash
# Runs two builds of quillmark-cli (say the Linux one and the Windows one under Wine) on the
# same models and compares everything they produce byte for byte: info's JSON, every geoset's
# .X, .glb and .gltf file, render and view pictures, messages and exit codes. Also a model under
# a Cyrillic name and a second convert over an existing file, archives: list, --archive,
# extract and materials, and keys: pose, render --key, convert --key and keys.
# usage: compare-builds.sh CLI_A CLI_B [MODEL.3do ...]   (default: the samples)
# Ends with "N passed, N failed"; exits 1 when anything differs.
set -u
cd "$(dirname "$0")/.."
a=$(realpath "$1")
b=$(realpath "$2")
shift 2
models=("$@")
[ ${#models[@]} -gt 0 ] || models=(samples/*.3do)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# No game folder saved on this machine reaches the Linux build (the other keeps its settings in
# the emulator's user folder).
export XDG_CONFIG_HOME="$work/config"
mkdir "$work/a" "$work/b"
passed=0
failed=0

# Runs one command line with each build (the word OUT stands for a file in the build's own
# folder, OUT.EXT for one with that extension) and compares standard output, standard error,
# exit code and the files written (a file only one build wrote differs).
same() {
    local what=$1
    shift
    local side cli arg args
    for side in a b; do
        [ $side = a ] && cli=$a || cli=$b
        rm -f "$work/$side"/out.*
        args=()
        for arg in "$@"; do
            case $arg in
            OUT) args+=("$work/$side/out.png") ;;
            OUT.*) args+=("$work/$side/out.${arg#OUT.}") ;;
            *) args+=("$arg") ;;
            esac
        done
        "$cli" "${args[@]}" >"$work/$side/stdout" 2>"$work/$side/stderr"
        echo $? >"$work/$side/code"
    done
    local diff="" part
    for part in stdout stderr code $(cd "$work" && ls a/out.* b/out.* 2>/dev/null |
        sed 's|^[ab]/||' | sort -u); do
        cmp -s "$work/a/$part" "$work/b/$part" || diff="$diff $part"
    done
    if [ -z "$diff" ]; then
        passed=$((passed + 1))
    else
        failed=$((failed + 1))
        echo "DIFFERENT ($diff ): $what"
    fi
}

# How many geosets a model has, from the first build's JSON.
geosets() {
    "$a" info "$1" | python3 -c 'import json, sys; print(len(json.load(sys.stdin).get("geosets", [])))'
}

cyrillic="$work/Модель образец.3do"
cp "${models[0]}" "$cyrillic"
for model in "${models[@]}" "$cyrillic"; do
    name=$(basename "$model")
    same "info $name" info "$model"
    same "info --full $name" info "$model" --full
    count=$(geosets "$model")
    for ((g = 0; g <= count; g++)); do # one beyond the last: the error
        same "convert $name --geoset $g" convert "$model" OUT --geoset "$g"
        same "convert $name .glb --geoset $g" convert "$model" OUT.glb --geoset "$g"
        same "convert $name .gltf --geoset $g" convert "$model" OUT.gltf --geoset "$g"
        same "render $name --geoset $g" render "$model" OUT --geoset "$g"
        same "render $name --geoset $g --size 64x48" render "$model" OUT --geoset "$g" \
            --size 64x48
    done
    for options in "" "--plane side" "--plane top --grid" "--vertices --boxes" \
        "--size 320x200 --zoom 2.5 --pan 10,-20" "--mesh-only --no-offsets" \
        "--plane side --geoset 1 --grid --vertices" "--size 17x9 --boxes --zoom 0.1"; do
        # shellcheck disable=SC2086
        same "view $name $options" view "$model" OUT $options
    done
done

# glTF with the materials found elsewhere, or none looked for.
same "convert .glb --game" convert "$cyrillic" OUT.glb --game samples
same "convert .gltf --colormap" convert samples/walker.3do OUT.gltf --colormap dflt.cmp
same "convert .glb --no-textures" convert samples/walker.3do OUT.glb --no-textures

# Keys: the walker's walk posed, drawn and exported; a key that does not read.
same "pose, rest" pose samples/walker.3do --frame 2.5
same "pose --key" pose samples/walker.3do --key walk.key --frame 13.5
same "pose --key, past the end" pose samples/walker.3do --key samples/key/walk.key --frame 100.25
same "render --key" render samples/walker.3do OUT --key walk.key --frame 12 --size 64x48
same "render --key --frames" render samples/walker.3do 'OUT.{frame}.png' --key walk.key \
    --frames 20:22 --size 32x24 --fit
same "convert --key .glb" convert samples/walker.3do OUT.glb --key walk.key
same "convert --key .gltf, twice" convert samples/walker.3do OUT.gltf --key walk.key --key walk.key
same "a key that does not read" pose samples/walker.3do --key samples/walker.3do

# The .X written by each build, rendered by each build.
"$a" convert "${models[0]}" "$work/model.x"
same "render of a .X file" render "$work/model.x" OUT
# Errors: a missing model, a missing folder, a bad number, usage.
same "info of a missing file" info "$work/missing.3do"
same "convert into a missing folder" convert "${models[0]}" "$work/no/such/out.x"
same "bad geoset number" convert "${models[0]}" OUT --geoset abc
same "usage" convert

# A second convert over an existing file replaces it.
for side in a b; do
    [ $side = a ] && cli=$a || cli=$b
    "$cli" convert "$cyrillic" "$work/$side/twice.x" &&
        "$cli" convert "$cyrillic" "$work/$side/twice.x" --geoset 0
    echo $? >"$work/$side/twice.code"
done
if cmp -s "$work/a/twice.x" "$work/b/twice.x" && [ "$(cat "$work/a/twice.code")" = 0 ] &&
    [ "$(cat "$work/b/twice.code")" = 0 ]; then
    passed=$((passed + 1))
else
    failed=$((failed + 1))
    echo "DIFFERENT: a second convert over an existing file"
fi

# Archives: the samples' own, under a Cyrillic name too, and one with upper-case names,
# backslashes, a duplicate, a Latin-1 name and unsafe names, written by the tests' writer.
python3 - cli/tests "$work/mixed.gob" <<'EOF'
import sys
sys.path.insert(0, sys.argv[1])
import gobwriter
model = open("samples/walker.3do", "rb").read()
gobwriter.write(sys.argv[2], gobwriter.archive([
    (b"3DO\\WALKER.3DO", model), (b"3do/walker.3do", b"dup"), (b"3do\\gen\\b.3do", model),
    (b"3do\\lod\\b.3do", model), (b"mat\\caf\xe9.mat", b"MAT"), (b"..\\up.txt", b"x"),
    (b"/abs.txt", b"y"), (b"c:\\drive.txt", b"z"), (b"what?.txt", b"w"), (b"e\x01.txt", b"c")]))
EOF
cp samples/samples.gob "$work/Архив.gob"
for gob in samples/samples.gob "$work/Архив.gob" "$work/mixed.gob"; do
    name=$(basename "$gob")
    same "list $name" list "$gob"
    same "list --json $name" list "$gob" --json
done
same "info --archive" info --archive samples/samples.gob walker.3do
same "info --archive --full, stored name" info --archive samples/samples.gob \
    '3do\canister_lod.3do' --full
same "convert --archive" convert --archive "$work/Архив.gob" 3DO/CANISTER_LOD.3DO OUT --geoset 1
same "convert --archive .glb" convert --archive "$work/Архив.gob" walker.3do OUT.glb
same "convert --archive .gltf" convert --archive samples/samples.gob canister_lod.3do OUT.gltf \
    --geoset 1
same "convert --archive .glb, no materials" convert --archive "$work/mixed.gob" walker.3do OUT.glb
same "render --archive" render --archive samples/samples.gob walker.3do OUT --size 64x48
same "view --archive" view --archive "$work/mixed.gob" walker.3do OUT --grid
same "--archive, ambiguous" info --archive "$work/mixed.gob" b.3do
same "--archive, not found" convert --archive "$work/mixed.gob" nothing.3do OUT
same "--archive, Latin-1 name" info --archive "$work/mixed.gob" 'café.mat'
same "--archive, not an archive" view --archive "${models[0]}" walker.3do OUT
# materials: found in the model's archive, missing from one, and a colormap named by file. Each
# system spells the folders it shows its own way, so these run where the files have no folder.
cp samples/samples.gob "$work/samples.gob"
cp samples/misc/cmp/dflt.cmp "$work/mine.cmp"
pushd "$work" >/dev/null || exit 1
same "materials --archive" materials --archive samples.gob walker.3do
same "materials, a missing material" materials --archive mixed.gob 3do/gen/b.3do
same "materials --colormap" materials --archive samples.gob canister_lod.3do --colormap mine.cmp
same "keys --archive" keys --archive samples.gob walker.3do
same "keys --pup" keys --archive samples.gob walker.3do --pup walker.pup
same "convert --archive --key" convert --archive samples.gob walker.3do OUT.glb --key walk.key
popd >/dev/null || exit 1

# extract: the same messages, exit codes and files, everything, then named entries over the
# files already there, without and with --force.
for side in a b; do
    [ $side = a ] && cli=$a || cli=$b
    for run in all named forced; do
        case $run in
        all) set -- ;;
        *) set -- walker.3do 3do/gen/b.3do 'café.mat' nothing.3do ;;
        esac
        [ $run = forced ] && set -- "$@" --force
        "$cli" extract "$work/mixed.gob" "$@" --to "$work/$side/Папка" \
            >"$work/$side/extract.$run.out" 2>&1
        echo $? >>"$work/$side/extract.$run.out"
    done
    (cd "$work/$side" && find Папка | LC_ALL=C sort && find Папка -type f -exec cat {} +) \
        >"$work/$side/extract.tree"
done
for part in extract.all.out extract.named.out extract.forced.out extract.tree; do
    if cmp -s "$work/a/$part" "$work/b/$part"; then
        passed=$((passed + 1))
    else
        failed=$((failed + 1))
        echo "DIFFERENT: $part"
    fi
done

echo "compare-builds: $passed passed, $failed failed"
[ $failed -eq 0 ]
