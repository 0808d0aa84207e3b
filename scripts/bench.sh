#!/usr/bin/env bash
# Builds in Release and runs every benchmark, then prints one table of the results.
# The models (about 1, 10 and 100 MB of .3do) are generated in the temporary directory on
# first use. The JSON outputs are kept in build-release/bench-results.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
cmake --preset release >/dev/null
cmake --build --preset release -j2

bin=build-release
out=$bin/bench-results
mkdir -p "$out"
for name in loader xexport gltfexport xreader view render materials gob gamecheck keys anim; do
    echo "Running ${name}_bench..." >&2
    "$bin/${name}_bench" --benchmark_out="$out/$name.json" --benchmark_out_format=json \
        >"$out/$name.txt"
done
echo "Running preview_bench..." >&2
xvfb-run -a -s "-screen 0 1280x1024x24" "$bin/preview_bench" \
    --benchmark_out="$out/preview.json" --benchmark_out_format=json >"$out/preview.txt"
echo "Running browser_bench..." >&2
xvfb-run -a -s "-screen 0 1280x1024x24" "$bin/browser_bench" \
    --benchmark_out="$out/browser.json" --benchmark_out_format=json >"$out/browser.txt"
# Exits non-zero when a target is missed or was not measured.
python3 bench/report.py "$out"
