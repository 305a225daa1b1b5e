#!/usr/bin/env bash
# Builds llama-server from a llama.cpp source (a .tar.gz or an unpacked tree)
# and copies it with its libraries into OUT. The build is portable: no tuning
# to this machine, every CPU variant of ggml as a library the server picks
# from when it starts, and an RPATH of $ORIGIN so the folder can lie anywhere.
#
# Building costs about twenty minutes on two cores, so each build is kept in a
# cache outside the checkout ($QUORVEL_ENGINE_CACHE, else
# ~/.cache/quorvel-engine), keyed by the source's hash, the flags and the
# compiler, and reused by every later build tree.
#
# Usage: scripts/build-engine.sh SOURCE OUT [SOURCE_SHA256]
# SOURCE_SHA256 is the tarball's hash, already checked by the caller; for a
# tree it is computed here over the files' contents.
set -euo pipefail

src=$(realpath "${1:?usage: build-engine.sh SOURCE OUT [SOURCE_SHA256]}")
out=${2:?usage: build-engine.sh SOURCE OUT [SOURCE_SHA256]}
source_hash=${3:-}
jobs=${QUORVEL_ENGINE_JOBS:-$(nproc)}

flags=(
  -DCMAKE_BUILD_TYPE=Release
  -DGGML_NATIVE=OFF -DGGML_BACKEND_DL=ON -DGGML_CPU_ALL_VARIANTS=ON -DBUILD_SHARED_LIBS=ON
  -DLLAMA_BUILD_TESTS=OFF -DLLAMA_BUILD_EXAMPLES=OFF -DLLAMA_BUILD_SERVER=ON
  -DLLAMA_BUILD_UI=OFF -DLLAMA_USE_PREBUILT_UI=OFF -DLLAMA_OPENSSL=OFF -DLLAMA_BUILD_APP=OFF
  # The programs look for their libraries (and ggml for its CPU variants)
  # beside themselves, in the build folder as where they are installed.
  -DCMAKE_BUILD_WITH_INSTALL_RPATH=ON '-DCMAKE_INSTALL_RPATH=$ORIGIN'
)

if [ -d "$src" ]; then
  source_hash=$(cd "$src" && find . -type f -print0 | LC_ALL=C sort -z | xargs -0 sha256sum | sha256sum | cut -c1-64)
elif [ -z "$source_hash" ]; then
  source_hash=$(sha256sum "$src" | cut -c1-64)
fi
compiler="$(c++ --version | head -n 1) / $(cmake --version | head -n 1)"
key=$( { echo "$source_hash"; echo "$compiler"; printf '%s\n' "${flags[@]}"; } | sha256sum | cut -c1-16)
cache=${QUORVEL_ENGINE_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/quorvel-engine}
entry="$cache/$key"
mkdir -p "$cache"

# One build at a time per cache entry: two build trees configured together
# wait for each other and then share the result.
exec 9>"$cache/$key.lock"
flock 9

if [ ! -f "$entry/done" ]; then
  echo "engine: building llama-server from $src (cache $entry); this takes a while the first time" >&2
  start=$(date +%s)
  rm -rf "$entry"
  mkdir -p "$entry"
  if [ -d "$src" ]; then
    tree="$src"
  else
    tar xzf "$src" -C "$entry"
    tree=$(find "$entry" -mindepth 1 -maxdepth 1 -type d | head -n 1)
  fi
  [ -f "$tree/CMakeLists.txt" ] || { echo "engine: $src holds no llama.cpp source" >&2; exit 1; }
  cmake -S "$tree" -B "$entry/build" -G Ninja "${flags[@]}" >"$entry/configure.log" 2>&1 ||
    { tail -n 30 "$entry/configure.log" >&2; exit 1; }
  cmake --build "$entry/build" -j"$jobs" --target llama-server >"$entry/build.log" 2>&1 ||
    { tail -n 40 "$entry/build.log" >&2; exit 1; }
  mkdir -p "$entry/engine"
  # The server, libllama, libmtmd and the ggml libraries with every CPU
  # variant; the links between a library's names are kept as links.
  (cd "$entry/build/bin" && cp -a llama-server lib*.so* "$entry/engine/")
  [ -x "$entry/engine/llama-server" ] || { echo "engine: the build made no llama-server" >&2; exit 1; }
  ls "$entry/engine"/libggml-cpu-*.so >/dev/null 2>&1 || { echo "engine: the build made no CPU backend" >&2; exit 1; }
  # The sources are not needed again; the build folder is, for a rebuild of
  # a changed flag to be quick, but it is large: keep only the result.
  rm -rf "$entry/build" "$entry"/llama.cpp-*
  echo "$(( $(date +%s) - start ))" > "$entry/seconds"
  touch "$entry/done"
  echo "engine: built in $(cat "$entry/seconds") s" >&2
fi

rm -rf "$out"
mkdir -p "$out"
cp -a "$entry/engine/." "$out/"
# The bare lib*.so names are for linking against the libraries; the server
# needs only their versioned names. Symbols are not needed to run, and a
# library is not a program.
find "$out" -maxdepth 1 -type l -name 'lib*.so' -delete
strip "$out/llama-server"
find "$out" -maxdepth 1 -type f -name 'lib*.so*' -exec strip --strip-unneeded {} + -exec chmod 0644 {} +
# The build's umask (002 gives 0775) is not the engine's mode.
chmod 0755 "$out" "$out/llama-server"
