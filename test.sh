#!/usr/bin/env bash
# Installs what is missing, checks the sources' formatting and includes,
# builds, and runs every test headless: first the unit and render tests (the
# fuzz corpus replays among them) built with AddressSanitizer and
# UndefinedBehaviorSanitizer and their asserts on, then the whole suite of
# the release build, the end-to-end tests in a real window under Xvfb.
set -uo pipefail
cd "$(dirname "$0")" || exit 1
source tools/setup.sh

vorel_install "${VOREL_PACKAGES[@]}" "${VOREL_TEST_PACKAGES[@]}"

# The sources' formatting, and what the application includes.
tools/check-sources.sh || vorel_fail "the sources' checks failed"

vorel_configure build-sanitize -DVOREL_SANITIZE=ON
vorel_compile build-sanitize
vorel_install_validator build-sanitize/gltf-validator
(cd build-sanitize && ctest -L 'unit|render' -j2 --output-on-failure) \
  || vorel_fail "tests failed under the sanitizers"

# Configured again: a build that run.sh configured before the test packages
# were installed has no tests yet.
vorel_configure build -DVOREL_BUILD_TESTS=ON
vorel_compile build
vorel_install_validator build/gltf-validator
(cd build && xvfb-run -a -s "-screen 0 1280x1024x24" ctest -j2 --output-on-failure) \
  || vorel_fail "tests failed"
