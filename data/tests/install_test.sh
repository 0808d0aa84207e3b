#!/usr/bin/env bash
# Installs into a temporary prefix, checks the installed tree and the desktop files, then
# uninstalls and checks that nothing is left behind.
set -euo pipefail
build="$1"
prefix="$(mktemp -d)"
trap 'rm -rf "$prefix"' EXIT
fail() { echo "FAIL: $*"; exit 1; }

cmake --install "$build" --prefix "$prefix" >/dev/null
for f in bin/quillmark-cli share/applications/quillmark.desktop \
         share/mime/packages/quillmark-3do.xml share/mime/packages/quillmark-gob.xml \
         share/thumbnailers/quillmark.thumbnailer \
         share/icons/hicolor/scalable/apps/quillmark.svg \
         share/icons/hicolor/48x48/apps/quillmark.png share/icons/hicolor/256x256/apps/quillmark.png; do
    [ -e "$prefix/$f" ] || fail "missing $f"
done
if [ -e "$build/quillmark" ]; then
    [ -x "$prefix/bin/quillmark" ] || fail "missing bin/quillmark"
fi
grep -qx "Name=Quillmark" "$prefix/share/applications/quillmark.desktop" || fail "desktop name"
grep -qx "Categories=Graphics;Viewer;" "$prefix/share/applications/quillmark.desktop" || fail "categories"
# Both checkers come with scripts/install-deps.sh; a missing one fails the test.
desktop-file-validate "$prefix/share/applications/quillmark.desktop" || fail "desktop-file-validate"
xmllint --noout "$prefix/share/mime/packages/quillmark-3do.xml" || fail "xmllint"
grep -q 'type="model/x-jedi-knight-3do"' "$prefix/share/mime/packages/quillmark-3do.xml" || fail "mime type"
grep -q 'pattern="\*.3do"' "$prefix/share/mime/packages/quillmark-3do.xml" || fail "glob"
# The archives' type, for both the game's and the expansion's extension; the launcher takes a
# file of either type.
gob="$prefix/share/mime/packages/quillmark-gob.xml"
xmllint --noout "$gob" || fail "xmllint archive type"
grep -q 'type="application/x-jedi-knight-gob"' "$gob" || fail "archive mime type"
grep -q 'pattern="\*.gob"' "$gob" && grep -q 'pattern="\*.goo"' "$gob" || fail "archive globs"
grep -qx "Exec=quillmark %f" "$prefix/share/applications/quillmark.desktop" || fail "desktop exec"
grep -qx "MimeType=model/x-jedi-knight-3do;application/x-jedi-knight-gob;" \
    "$prefix/share/applications/quillmark.desktop" || fail "desktop mime types"
# The install built the mime database there (update-mime-database comes with
# scripts/install-deps.sh); it must have taken both types.
for type in model/x-jedi-knight-3do application/x-jedi-knight-gob; do
    [ -e "$prefix/share/mime/$type.xml" ] || fail "$type not in the installed mime database"
done
grep -q '^Exec=quillmark-cli render .*--fit --background transparent -- %i %o$' \
    "$prefix/share/thumbnailers/quillmark.thumbnailer" || fail "thumbnailer exec"
# The PNG icons are real images of their size.
head -c 24 "$prefix/share/icons/hicolor/48x48/apps/quillmark.png" | od -An -tx1 | tr -d ' \n' \
    | grep -q '^89504e470d0a1a0a0000000d4948445200000030' || fail "48x48 icon is not a 48-pixel PNG"

# The thumbnailer's own command line, as a file manager runs it, makes a PNG of the asked size.
exec_line="$(sed -n 's/^Exec=//p' "$prefix/share/thumbnailers/quillmark.thumbnailer")"
model="$(cd "$(dirname "$0")/../.." && pwd)/samples/walker.3do"
thumb="$prefix/thumb.png"
cmd="${exec_line//%i/$model}"
cmd="${cmd//%o/$thumb}"
cmd="${cmd//%s/128}"
PATH="$prefix/bin:$PATH" bash -c "$cmd" || fail "thumbnailer command failed: $cmd"
head -c 24 "$thumb" | od -An -tx1 | tr -d ' \n' \
    | grep -q '^89504e470d0a1a0a0000000d49484452000000800000008' || fail "thumbnail is not 128x128"
# The model fills about nine tenths of it (the figure is taller than wide), on nothing.
[ "$(convert "$thumb" -format '%[fx:p{0,0}.a]' info:)" = 0 ] || fail "thumbnail corner not transparent"
height="$(convert "$thumb" -alpha extract -threshold 0 -trim -format '%h' info:)"
[ "$height" -ge 113 ] && [ "$height" -le 117 ] || fail "model spans $height of 128 pixels"
rm -f "$thumb"

(cd "$build" && cmake -P "$(dirname "$0")/../uninstall.cmake" >/dev/null)
left="$(find "$prefix" -type f | head -n 5)"
[ -z "$left" ] || fail "uninstall left: $left"
echo "install tree ok"
