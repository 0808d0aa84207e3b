#!/usr/bin/env bash
# Runs two builds of quillmark-cli (say the Linux one and the Windows one under Wine) on the
# same models and compares everything they produce byte for byte: info's JSON, every geoset's
# .X file, render and view pictures, messages and exit codes. Also a model under a Cyrillic
# name and a second convert over an existing file.
# usage: compare-builds.sh CLI_A CLI_B [MODEL.3do ...]   (default: the samples)
# Ends with "N passed, N failed"; exits 1 when anything differs.
set -u
cd "$(dirname "$0")/.."
a=$1
b=$2
shift 2
models=("$@")
[ ${#models[@]} -gt 0 ] || models=(samples/*.3do)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir "$work/a" "$work/b"
passed=0
failed=0

# Runs one command line with each build (the word OUT stands for a file in the build's own
# folder) and compares standard output, standard error, exit code and the file written.
same() {
    local what=$1
    shift
    local side cli out
    for side in a b; do
        [ $side = a ] && cli=$a || cli=$b
        out="$work/$side/out.png"
        rm -f "$out"
        "$cli" "${@/#OUT/$out}" >"$work/$side/stdout" 2>"$work/$side/stderr"
        echo $? >"$work/$side/code"
        [ -e "$out" ] || : >"$out.none"
    done
    local diff=""
    for part in stdout stderr code out.png out.png.none; do
        if [ -e "$work/a/$part" ] || [ -e "$work/b/$part" ]; then
            cmp -s "$work/a/$part" "$work/b/$part" || diff="$diff $part"
        fi
    done
    rm -f "$work/a/out.png.none" "$work/b/out.png.none"
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

echo "compare-builds: $passed passed, $failed failed"
[ $failed -eq 0 ]
