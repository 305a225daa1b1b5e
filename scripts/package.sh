#!/usr/bin/env bash
# Builds the Debian package and prints its path on the last line:
# build-package/quorvel_<version>_amd64.deb. Install it with
# `sudo apt install ./build-package/quorvel_<version>_amd64.deb`.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh >&2
build=${QUORVEL_PACKAGE_BUILD_DIR:-build-package}
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DQUORVEL_TESTS=OFF >&2
cmake --build "$build" -j"$(nproc)" >&2
(cd "$build" && cpack -G DEB >&2)
ls "$PWD/$build"/quorvel_*_amd64.deb | tail -n 1
