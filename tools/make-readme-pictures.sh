#!/usr/bin/env bash
# Renders the README's pictures of the bundled figure, mid-stride in its
# walk, with vorel-snapshot (build it first: ./run.sh or ./test.sh).
set -euo pipefail
cd "$(dirname "$0")/.."
snapshot=build/vorel-snapshot
out=docs/pictures
mkdir -p "$out"
"$snapshot" Assets/Models/Figure.x "$out/figure-solid.png" --time 1200 --skeleton off
"$snapshot" Assets/Models/Figure.x "$out/figure-wireframe.png" --time 1200 --fill wireframe --skeleton off
"$snapshot" Assets/Models/Figure.x "$out/figure-skeleton.png" --time 1200 --fill wireframe --skeleton on
