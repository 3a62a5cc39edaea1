#!/usr/bin/env bash
# Renders the README's pictures of the bundled figure, mid-stride in its
# walk, with vorel-snapshot (build it first: ./run.sh or ./test.sh): the
# three fill modes, then the view tools, the display options and the views,
# the samples' contact sheet and the walk as an animated GIF.
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
# The display options and the camera's views, smaller.
small=(--time 1200 --width 480 --height 360 --skeleton off)
"$snapshot" Assets/Models/Lumen.x "$out/lumen-solid-wireframe.png" "${small[@]}" --fill solid-wireframe --frame
"$snapshot" Assets/Models/Figure.x "$out/figure-normals.png" "${small[@]}" --normals --view right --frame
"$snapshot" Assets/Models/Figure.x "$out/figure-box-grid.png" "${small[@]}" --bbox --grid --view left
"$snapshot" Assets/Models/Figure.x "$out/figure-top.png" "${small[@]}" --view top --frame --grid
"$snapshot" Assets/Models/Figure.x "$out/figure-side-ortho.png" "${small[@]}" --view right --ortho --frame --background grey
"$snapshot" tests/fixtures/mesh/facing-away.x "$out/one-sided-wall-tinted.png" --width 480 --height 360 --backfaces tint --frame
# A contact sheet of the samples.
"$snapshot" --sheet "$out/samples-sheet.png" --size 192 --columns 3 Assets/Models
# The walk as a small animated GIF.
"$snapshot" Assets/Models/Figure.x "$out/figure-walk.gif" --video --size 320 --fps 15 --skeleton off
