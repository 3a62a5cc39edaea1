#!/usr/bin/env bash
# Renders the README's pictures of the bundled figure, mid-stride in its
# walk, with vorel-snapshot (build it first: ./run.sh or ./test.sh): the
# three fill modes, then the view tools.
set -euo pipefail
cd "$(dirname "$0")/.."
snapshot=build/vorel-snapshot
out=docs/pictures
mkdir -p "$out"
"$snapshot" Assets/Models/Figure.x "$out/figure-solid.png" --time 1200 --skeleton off
"$snapshot" Assets/Models/Figure.x "$out/figure-wireframe.png" --time 1200 --fill wireframe --skeleton off
"$snapshot" Assets/Models/Figure.x "$out/figure-skeleton.png" --time 1200 --fill wireframe --skeleton on
"$snapshot" Assets/Models/Figure.x "$out/figure-timeline-names.png" --time 1200 --timeline --names --overlay
"$snapshot" Assets/Models/Figure.x "$out/figure-weights.png" --time 1200 --weights Forearm_L --timeline
"$snapshot" Assets/Models/Figure.x "$out/figure-frames.png" --time 1200 --panel frames --select Forearm_L --timeline
"$snapshot" Assets/Models/Figure.x "$out/figure-information.png" --time 1200 --panel info --select Forearm_L --timeline
