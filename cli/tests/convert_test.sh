#!/bin/bash
# quillmark-cli convert: a small model to .X, and its failures.
set -u
cli="$1"
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
fail=0
check() { # name, condition result
    if [ "$2" != 0 ]; then
        echo "FAIL: $1"
        fail=1
    fi
}

printf '%s\r\n' '3DO 2.1' '# a box corner' 'SECTION: HEADER' 'RADIUS 0.5' \
    'INSERT OFFSET 0.0 0.0 0.0' 'GEOSETS 1' 'GEOSET 0' 'MESHES 1' 'MESH 0' 'NAME box' \
    'RADIUS 0.2' 'VERTICES 3' '0: 0.0 0.0 0.0 0.0' '' '1: 1.0 0.0 0.0 0.0' \
    '2: 0.0 1.0 0.25 0.0' 'TEXTURE VERTICES 1' '0: 0.5 0.5' 'FACES 1' \
    '0: 0 0x0000 4 3 0 0.0 3 0, 0 1, 0 2, 0' 'HIERARCHY NODES 1' \
    '0: 0x0000 0x00001 0 -1 -1 -1 0 0.0 0.0 0.0 0.0 0.0 0.0 0.0 0.0 0.0 root' > "$dir/box.3do"

# Scale 1 / 0.5; written (-x, z, -y).
printf '%s\r\n' 'Mesh {' ' 3;' ' -0.000000;0.000000;-0.000000;,' ' -2.000000;0.000000;-0.000000;,' \
    ' -0.000000;0.500000;-2.000000;,' '' ' 1;' ' 3;2,1,0;,' ' MeshMaterialList {' '  1;' '  1;' \
    '  0;;' '  Material {' '   1.000000;1.000000;1.000000;1.000000;;' '   0.000000;' \
    '   0.000000;0.000000;0.000000;;' '   0.000000;0.000000;0.000000;;' '  }' ' }' '}' \
    > "$dir/expected_mesh"

"$cli" convert "$dir/box.3do" "$dir/box.x" 2> "$dir/err"
check "convert exits 0" $?
check "convert prints nothing" "$(test ! -s "$dir/err"; echo $?)"
check "first line" "$(head -c 18 "$dir/box.x" | cmp -s - <(printf 'xof 0302txt 0064\r\n'); echo $?)"
check "mesh object" "$(sed -n '/^Mesh {\r$/,$p' "$dir/box.x" | cmp -s - "$dir/expected_mesh"; echo $?)"
check "19 templates" "$(test "$(grep -c '^template ' "$dir/box.x")" = 19; echo $?)"

# The same geoset named explicitly gives the same bytes.
"$cli" convert "$dir/box.3do" "$dir/box0.x" --geoset 0
check "--geoset 0" "$(cmp -s "$dir/box.x" "$dir/box0.x"; echo $?)"

# A name in another script, converted twice to the same file: the second replaces the first.
cp "$dir/box.3do" "$dir/Модель.3do"
"$cli" convert "$dir/Модель.3do" "$dir/Модель.x" && "$cli" convert "$dir/Модель.3do" "$dir/Модель.x"
check "convert twice to a Cyrillic name" $?
check "Cyrillic name, same bytes" "$(cmp -s "$dir/box.x" "$dir/Модель.x"; echo $?)"

# A geoset that does not exist: the exact message, exit 1, no file.
"$cli" convert "$dir/box.3do" "$dir/none.x" --geoset 1 2> "$dir/err"
check "missing geoset exits 1" "$(test $? = 1; echo $?)"
check "missing geoset message" "$(printf 'List index out of bounds\n' | cmp -s - "$dir/err"; echo $?)"
check "missing geoset leaves no file" "$(test ! -e "$dir/none.x"; echo $?)"

"$cli" convert "$dir/nothing.3do" "$dir/n.x" 2> "$dir/err"
check "missing model exits 1" "$(test $? = 1; echo $?)"
check "missing model message" "$(printf 'File not found\n' | cmp -s - "$dir/err"; echo $?)"

"$cli" convert "$dir/box.3do" "$dir/no/such/dir/out.x" 2> "$dir/err"
check "unwritable exits 1" "$(test $? = 1; echo $?)"
check "unwritable message" "$(printf 'I/O error 2\n' | cmp -s - "$dir/err"; echo $?)"

exit $fail
