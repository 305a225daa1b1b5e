#!/usr/bin/env bash
# Builds the Debian package and prints its path on the last line:
# build-package/quorvel_<version>_amd64.deb. Install it with
# `sudo apt install ./build-package/quorvel_<version>_amd64.deb`.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh >&2
build=${QUORVEL_PACKAGE_BUILD_DIR:-build-package}

# The package carries llama-server, built from the pinned llama.cpp source:
# QUORVEL_LLAMA_SOURCE names it (a tarball or tree), else the tarball beside
# the project. Without either the package is built without the engine, and
# says so; QUORVEL_BUNDLE_ENGINE=OFF asks for that on purpose.
engine=(-DQUORVEL_BUNDLE_ENGINE="${QUORVEL_BUNDLE_ENGINE:-ON}")
if [ -n "${QUORVEL_LLAMA_SOURCE:-}" ]; then
  engine+=(-DQUORVEL_LLAMA_SOURCE="$(realpath "$QUORVEL_LLAMA_SOURCE")")
elif [ -z "${QUORVEL_BUNDLE_ENGINE:-}" ] && ! ls ../shared/llama.cpp/llama.cpp-*.tar.gz >/dev/null 2>&1; then
  echo "package: no llama.cpp source (set QUORVEL_LLAMA_SOURCE): this package carries no llama-server" >&2
  engine=(-DQUORVEL_BUNDLE_ENGINE=OFF)
fi
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DQUORVEL_TESTS=OFF "${engine[@]}" >&2
cmake --build "$build" -j"$(nproc)" >&2
(cd "$build" && cpack -G DEB >&2)
ls "$(cd "$build" && pwd)"/quorvel_*_amd64.deb | tail -n 1
