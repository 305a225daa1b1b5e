#!/usr/bin/env bash
# The engine build's own rules, on a small made-up llama.cpp tree that builds
# in seconds: a tarball with the wrong hash stops the configure step; a tree
# is built once, kept in the cache and reused; a changed source is built
# anew; what comes out finds its libraries beside itself.
# Usage: tests/package/engine_build_test.sh
set -euo pipefail
src_dir=$(cd "$(dirname "$0")/../.." && pwd)
fail() { echo "engine build test: FAILED: $*" >&2; exit 1; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# A tarball that is not the pinned source: a configure error that says so.
echo "not llama.cpp" > "$work/note.txt"
tar czf "$work/other.tar.gz" -C "$work" note.txt
if out=$(cmake -S "$src_dir" -B "$work/configure" -G Ninja -DQUORVEL_TESTS=OFF -DQUORVEL_APP=OFF \
           -DQUORVEL_BUNDLE_ENGINE=ON -DQUORVEL_LLAMA_SOURCE="$work/other.tar.gz" 2>&1); then
  fail "a tarball of another hash was accepted"
fi
echo "$out" | tr -s "\n " "  " | grep -q "not the expected bda4437dc399" || fail "the configure error does not name the hash: $out"

# A made-up llama.cpp: a server program linked to a library, and a CPU
# backend library, built where llama.cpp puts them (bin/).
tree="$work/llama.cpp-fake"
mkdir -p "$tree/ggml" "$tree/tools/server"
cat > "$tree/CMakeLists.txt" <<'CMAKE'
cmake_minimum_required(VERSION 3.22)
project(fake C)
set(CMAKE_RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bin)
set(CMAKE_LIBRARY_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bin)
add_library(llama SHARED llama.c)
set_target_properties(llama PROPERTIES VERSION 0.0.0 SOVERSION 0)
add_library(ggml-cpu-x64 MODULE llama.c)
add_executable(llama-server server.c)
target_link_libraries(llama-server llama)
add_dependencies(llama-server ggml-cpu-x64)
CMAKE
echo 'int llama_answer(void) { return VALUE; }' > "$tree/llama.c.in"
sed 's/VALUE/42/' "$tree/llama.c.in" > "$tree/llama.c"
printf '#include <stdio.h>\nint llama_answer(void);\nint main(void) { printf("%%d\\n", llama_answer()); return 0; }\n' > "$tree/server.c"
touch "$tree/ggml/CMakeLists.txt"

export QUORVEL_ENGINE_CACHE="$work/cache"
# Built under a umask that lets the group write: the engine's modes are its
# own all the same.
build() { (umask 002 && "$src_dir/scripts/build-engine.sh" "$tree" "$work/out" 2>&1); }
out=$(build) || fail "the first build failed: $out"
[ "$(stat -c %a "$work/out/llama-server")" = 755 ] || fail "llama-server has mode $(stat -c %a "$work/out/llama-server")"
for lib in "$work/out"/lib*.so*; do
  [ -L "$lib" ] || [ "$(stat -c %a "$lib")" = 644 ] || fail "$(basename "$lib") has mode $(stat -c %a "$lib")"
done
echo "$out" | grep -q "building llama-server" || fail "the first build did not build: $out"
[ "$("$work/out/llama-server")" = 42 ] || fail "the built server does not run"
readelf -d "$work/out/llama-server" | grep -q 'RUNPATH.*\$ORIGIN' || fail "the server does not look beside itself"
[ -f "$work/out/libggml-cpu-x64.so" ] || fail "the CPU backend was not copied"
[ -L "$work/out/libllama.so.0" ] && [ ! -e "$work/out/libllama.so" ] || fail "library names: $(ls "$work/out")"
# Moved elsewhere, it still finds its library.
mv "$work/out" "$work/moved"
[ "$("$work/moved/llama-server")" = 42 ] || fail "the server does not run from another folder"

out=$(build) || fail "the second build failed: $out"
! echo "$out" | grep -q "building" || fail "the cached build was not reused: $out"
[ "$("$work/out/llama-server")" = 42 ] || fail "the reused server does not run"

sed 's/VALUE/7/' "$tree/llama.c.in" > "$tree/llama.c"
out=$(build) || fail "the build of the changed source failed: $out"
echo "$out" | grep -q "building llama-server" || fail "a changed source was not built anew: $out"
[ "$("$work/out/llama-server")" = 7 ] || fail "the changed source's server is not the one given"
echo "engine build test: passed"
