#!/usr/bin/env bash
# Installs what is missing, builds (in build/) and writes the Debian
# package with cpack: build/vorel_VERSION_ARCH.deb. Arguments go to cmake's
# configure step (-DVOREL_MAINTAINER="Name <address>").
set -uo pipefail
cd "$(dirname "$0")/.." || exit 1
source tools/setup.sh

vorel_install "${VOREL_PACKAGES[@]}" dpkg-dev file  # dpkg-shlibdeps, and file for cpack to find the programs
vorel_configure build "$@"
vorel_compile build
(cd build && cpack -G DEB) || vorel_fail "cpack could not write the package"
ls build/vorel_*.deb
