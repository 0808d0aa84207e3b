#!/usr/bin/env bash
# Runs every fuzz target for a bounded time on a scratch copy of its seed corpus.
# usage: fuzz/run.sh BUILD_DIR SECONDS_PER_TARGET
# A crash, leak, sanitizer report or timeout makes libFuzzer exit non-zero, and so this script.
set -euo pipefail
build="$1"
seconds="$2"
here="$(cd "$(dirname "$0")" && pwd)"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
for exe in "$build"/*_fuzz; do
    name="$(basename "$exe" _fuzz)"
    mkdir -p "$work/$name"
    seeds=()
    [ -d "$here/corpus/$name" ] && seeds+=("$here/corpus/$name")
    dict=()
    [ -f "$here/dict/$name.dict" ] && dict+=("-dict=$here/dict/$name.dict")
    echo "-- $name: ${seconds}s"
    "$exe" "$work/$name" "${seeds[@]}" "${dict[@]}" -max_total_time="$seconds" -timeout=10 \
        -rss_limit_mb=2048 -max_len=65536 -print_final_stats=0 -artifact_prefix="$work/$name-" \
        2>"$work/$name.log" || {
        tail -n 60 "$work/$name.log"
        echo "fuzz target $name failed; artifacts:" "$work/$name"-*
        for a in "$work/$name"-*; do [ -f "$a" ] && base64 "$a" | head -c 4000; done
        exit 1
    }
    grep -E "^(#[0-9]+|Done)" "$work/$name.log" | tail -n 1 || true
done
