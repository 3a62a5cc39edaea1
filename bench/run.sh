#!/usr/bin/env bash
# Installs what is missing, builds the benchmarks in build-bench/ (Release),
# runs them all (medians of five repetitions) and ends with one line per
# goal: "NAME: VALUE (goal GOAL) met" or "... missed". Every ratio is
# measured in this same run. Arguments go to every benchmark program
# (--benchmark_filter=... to run a part).
set -uo pipefail
cd "$(dirname "$0")/.." || exit 1
source tools/setup.sh

vorel_install "${VOREL_PACKAGES[@]}" libbenchmark-dev libassimp-dev
cmake -S . -B build-bench -DCMAKE_BUILD_TYPE=Release -DVOREL_BUILD_TESTS=OFF -DVOREL_BUILD_BENCH=ON >/dev/null ||
  vorel_fail "cmake could not configure build-bench"
cmake --build build-bench -j2 --target load_bench skinning_bench frame_bench process_bench odd_shapes_bench video_bench ||
  vorel_fail "the benchmarks did not build"

goals=$(mktemp)
trap 'rm -f "$goals"' EXIT
status=0
for bench in skinning_bench frame_bench load_bench process_bench video_bench; do
  echo "== $bench"
  build-bench/$bench --benchmark_repetitions=5 --benchmark_report_aggregates_only=true "$@" | tee -a "$goals"
  [ "${PIPESTATUS[0]}" -eq 0 ] || status=1
done
echo "== goals"
grep -E '\(goal .*\) (met|missed)$' "$goals"
exit $status
