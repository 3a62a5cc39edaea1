#!/usr/bin/env bash
# Builds the fuzz targets with clang (libFuzzer, AddressSanitizer and
# UndefinedBehaviorSanitizer) and runs each for a while.
#
#   fuzz/run.sh [SECONDS] [TARGET...]     default: 30 seconds, every target
#
# Seeds: the saved corpus in fuzz/corpus/TARGET, and for the .x targets the
# real files of ../shared/models when that folder is there. New inputs go to
# build-fuzz/corpus/TARGET. A crash, a leak, an input that takes more than a
# second or more than 2 GB stops the run with the input saved in
# build-fuzz/findings/TARGET.
set -uo pipefail
cd "$(dirname "$0")/.." || exit 1
source tools/setup.sh

seconds=${1:-30}
shift || true
targets=("$@")

vorel_install "${VOREL_PACKAGES[@]}" "${VOREL_FUZZ_PACKAGES[@]}"
CC=clang CXX=clang++ vorel_configure build-fuzz -DVOREL_BUILD_FUZZ=ON -DVOREL_BUILD_TESTS=OFF
# Every target, as fuzz/CMakeLists.txt lists them, unless some are named.
[ ${#targets[@]} -eq 0 ] && mapfile -t targets <build-fuzz/fuzz/targets
for target in "${targets[@]}"; do vorel_compile build-fuzz "fuzz_$target"; done

# The real models, gathered once, for the .x targets.
shared=build-fuzz/seeds/shared
if [ -d ../shared/models ] && [ ! -d "$shared" ]; then
  mkdir -p "$shared"
  find ../shared/models -iname '*.x' -size -2M -print0 |
    while IFS= read -r -d '' f; do cp "$f" "$shared/$(echo "$f" | md5sum | cut -c1-16).x"; done
fi

# Headless: the targets that make a device need no display, and with one
# named SDL reaches for the session's D-Bus through it.
export SDL_VIDEODRIVER=offscreen
unset DISPLAY WAYLAND_DISPLAY
failed=0
for target in "${targets[@]}"; do
  corpus=build-fuzz/corpus/$target
  findings=build-fuzz/findings/$target
  mkdir -p "$corpus" "$findings"
  seeds=(fuzz/corpus/"$target")
  options=()
  case $target in
    xfile_reader|model_load)
      options+=(-dict="$PWD/fuzz/xfile.dict" -max_len=65536)
      [ -d "$shared" ] && seeds+=("$shared")  # relative; made absolute below
      ;;
  esac
  echo "== $target: $seconds s"
  "$PWD/build-fuzz/fuzz/fuzz_$target" -max_total_time="$seconds" -timeout=1 -rss_limit_mb=2048 \
    -malloc_limit_mb=2048 -print_final_stats=1 -artifact_prefix="$PWD/$findings/" "${options[@]}" \
    "$PWD/$corpus" "${seeds[@]/#/$PWD/}" 2>build-fuzz/$target.log
  status=$?
  grep -E '^stat::number_of_executed_units|^stat::peak_rss_mb|cov: ' build-fuzz/$target.log | tail -3
  if [ $status -ne 0 ]; then
    echo "error: fuzz_$target found a fault; see build-fuzz/$target.log and $findings" >&2
    tail -40 build-fuzz/$target.log >&2
    failed=1
  fi
done
[ $failed -eq 0 ] || vorel_fail "the fuzz targets found faults"
