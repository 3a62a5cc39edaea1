#!/usr/bin/env bash
# Renders the README's pictures of the bundled sample with vorel-snapshot
# (build it first: ./run.sh or ./test.sh).
set -euo pipefail
cd "$(dirname "$0")/.."
snapshot=build/vorel-snapshot
out=docs/pictures
mkdir -p "$out"
"$snapshot" Assets/Models/Lumen.x "$out/lumen-solid.png" --time 700 --skeleton off
"$snapshot" Assets/Models/Lumen.x "$out/lumen-wireframe.png" --time 700 --fill wireframe --skeleton off
"$snapshot" Assets/Models/Blocks.x "$out/blocks-skeleton.png" --fill wireframe
