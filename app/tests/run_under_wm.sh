#!/usr/bin/env bash
# Runs one window test on a virtual X server of its own, with openbox as the window manager.
set -euo pipefail
if [ -z "${QUILLMARK_UNDER_WM:-}" ]; then
    exec env QUILLMARK_UNDER_WM=1 xvfb-run -a -s "-screen 0 1280x1024x24" bash "$0" "$@"
fi
if ! command -v openbox >/dev/null; then
    echo "openbox is missing: run scripts/install-deps.sh" >&2
    exit 1
fi
openbox --sm-disable >/dev/null 2>&1 &
wm=$!
trap 'kill "$wm" 2>/dev/null || true' EXIT
# The window manager announces itself on the root window once it manages windows; the test
# starts only then, however long a busy machine makes that take (a hang ends at ctest's limit).
until xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q "window id"; do
    kill -0 "$wm" 2>/dev/null || { echo "openbox did not start" >&2; exit 1; }
    sleep 0.05
done
"$@"
