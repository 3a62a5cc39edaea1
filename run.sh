#!/usr/bin/env bash
# Installs what is missing, builds, and starts the viewer from the repository
# root (where its Assets/ are).
set -uo pipefail
cd "$(dirname "$0")" || exit 1
source tools/setup.sh

vorel_install "${VOREL_PACKAGES[@]}"
# Without the test packages the tests are not configured; with them, only
# the viewer is built here.
vorel_configure build
vorel_compile build vorel
# With no model named, the bundled figure walks.
if [ $# -eq 0 ]; then set -- Assets/Models/Figure.x; fi
exec ./build/vorel "$@"
