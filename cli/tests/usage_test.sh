#!/usr/bin/env bash
# quillmark-cli's command line: help on stdout with exit 0, and one form for every usage error
# of every command (exit 2; the problem, then the command's usage line, on stderr).
set -u
cli="$1"
src="$2"
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
fail=0
check() { if ! eval "$2"; then echo "FAIL: $1"; fail=1; fi; }
model="$src/samples/walker.3do"

"$cli" --help >"$tmp/help" 2>"$tmp/err"
check "--help exits 0, nothing on stderr" "[ $? -eq 0 ] && [ ! -s $tmp/err ]"
check "--help starts with the usage" "[ \"\$(head -1 $tmp/help)\" = 'usage: quillmark-cli COMMAND ...' ]"
check "--help lists the ten commands" "[ \$(grep -c '^  quillmark-cli ' $tmp/help) -eq 10 ]"
"$cli" -h >"$tmp/h"
check "-h is --help" "[ $? -eq 0 ] && cmp -s $tmp/help $tmp/h"
"$cli" >"$tmp/out" 2>"$tmp/err"
check "no arguments: exit 2, the usage on stderr" "[ $? -eq 2 ] && cmp -s $tmp/help $tmp/err && [ ! -s $tmp/out ]"
"$cli" frob >"$tmp/out" 2>"$tmp/err"
check "unknown command: exit 2" "[ $? -eq 2 ] && [ ! -s $tmp/out ]"
check "unknown command named before the usage" \
    "[ \"\$(head -1 $tmp/err)\" = \"Unknown command 'frob'\" ] && cmp -s $tmp/help <(tail -n +2 $tmp/err)"

for command in info convert view render list extract materials pose keys; do
    "$cli" "$command" --help >"$tmp/$command.usage" 2>"$tmp/err"
    code=$?
    listed=$(grep "^  quillmark-cli $command " "$tmp/help" | sed 's/^  /usage: /')
    check "$command --help exits 0 with the line --help lists" \
        "[ $code -eq 0 ] && [ ! -s $tmp/err ] && [ \"\$(head -1 $tmp/$command.usage)\" = \"\$listed\" ]"
done
check "render --help lists the drivers by short name and name" \
    "grep -qx '  software or \"RGB Emulation\" (Quillmark software rasterizer), the default' $tmp/render.usage"
"$cli" view "$model" "$tmp/v.png" --zoom abc -h >"$tmp/out"
check "help wins over other errors" "[ $? -eq 0 ] && cmp -s $tmp/out $tmp/view.usage"
check "a command without notes prints its usage line alone" "[ \$(wc -l <$tmp/view.usage) -eq 1 ]"

# usage_error EXPECTED COMMAND ARGS...: exit 2, EXPECTED then the command's usage line on stderr,
# nothing on stdout and no picture.
usage_error() {
    local expected=$1 command=$2
    shift 2
    "$cli" "$command" "$@" >"$tmp/out" 2>"$tmp/err"
    local code=$?
    if [ $code -ne 2 ] || [ "$(head -1 "$tmp/err")" != "$expected" ] ||
        ! cmp -s <(tail -n +2 "$tmp/err") <(head -1 "$tmp/$command.usage") || [ -s "$tmp/out" ] ||
        [ -e "$tmp/x.png" ]; then
        echo "FAIL: $command $* gave $code: $(cat "$tmp/err" "$tmp/out")"
        fail=1
    fi
}
usage_error "Missing MODEL.3do" info
usage_error "Unexpected argument 'b'" info "$model" b
usage_error "Unknown option '--bogus'" info "$model" --bogus
usage_error "Missing OUT.x|OUT.glb|OUT.gltf" convert "$model"
usage_error "Invalid value for --geoset: 'abc'" convert "$model" "$tmp/x.x" --geoset abc
usage_error "Invalid value for --geoset: '-1'" convert "$model" "$tmp/x.x" --geoset -1
usage_error "Missing value for --geoset" convert "$model" "$tmp/x.x" --geoset
usage_error "Invalid value for --zoom: 'abc'" view "$model" "$tmp/x.png" --zoom abc
usage_error "Invalid value for --zoom: '0'" view "$model" "$tmp/x.png" --zoom 0
usage_error "Invalid value for --pan: '1'" view "$model" "$tmp/x.png" --pan 1
usage_error "Invalid value for --size: '0x5'" view "$model" "$tmp/x.png" --size 0x5
usage_error "Invalid value for --plane: 'back'" view "$model" "$tmp/x.png" --plane back
usage_error "Unknown option '--colour'" view "$model" "$tmp/x.png" --colour
usage_error "Invalid value for --size: '64'" render "$model" "$tmp/x.png" --size 64
usage_error "Invalid value for --size: '8193x10'" render "$model" "$tmp/x.png" --size 8193x10
usage_error "Invalid value for --geoset: '1.5'" render "$model" "$tmp/x.png" --geoset 1.5
usage_error "Missing value for --driver" render "$model" "$tmp/x.png" --driver
usage_error "Missing value for --archive" info "$model" --archive
usage_error "Missing ARCHIVE" list
usage_error "Unknown option '--archive'" list "$model" --archive "$model"
usage_error "Missing --to DIR" extract "$model" a.3do b.3do
usage_error "Missing value for --to" extract "$model" --to
usage_error "Invalid value for --frame: 'abc'" pose "$model" --frame abc
usage_error "Invalid value for --frame: 'inf'" pose "$model" --frame inf
usage_error "Missing value for --key" pose "$model" --key
usage_error "Missing MODEL.3do" keys --pup walker.pup
usage_error "--key needs OUT.glb or OUT.gltf: a .X file holds no animation" convert "$model" \
    "$tmp/x.x" --key walk.key

# After "--" every argument is a file name, so this is a missing file, not an option.
err=$("$cli" view -- --walker.3do "$tmp/x.png" 2>&1)
check "-- ends the options" "[ $? -eq 1 ] && [ \"\$err\" = 'File not found' ]"

# A driver this build does not have is an error naming the drivers there are, never a substitute.
err=$("$cli" render "$model" "$tmp/x.png" --driver Glide 2>&1 >/dev/null)
check "unknown driver exits 1" "[ $? -eq 1 ] && [ ! -e $tmp/x.png ]"
check "unknown driver names the drivers" \
    "[[ \"\$err\" == \"Unknown driver 'Glide'; the drivers are 'RGB Emulation'\"* ]]"

exit $fail
