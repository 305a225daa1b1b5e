#!/usr/bin/env bash
# The main job in one command: install what is missing, build, make a demo
# support folder and bring the sample hotel's documents into it.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh
build=${QUORVEL_BUILD_DIR:-build}
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" -j"$(nproc)" --target quorvel-cli

cli="$build/bin/quorvel-cli"
export QUORVEL_HOME="$PWD/demo-home"
rm -rf "$QUORVEL_HOME"
echo "== support folder: $QUORVEL_HOME"
echo "== quorvel-cli import resources/samples/palm-cove-villa"
"$cli" import resources/samples/palm-cove-villa
ls -l "$QUORVEL_HOME/documents"
echo "== answering guest questions comes with the index and the model runtime; not built yet"
