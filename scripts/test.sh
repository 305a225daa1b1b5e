#!/usr/bin/env bash
# Installs what is missing, builds everything and runs every test.
# QUORVEL_SANITIZE=thread builds with ThreadSanitizer and runs the suites
# that drive threads (engine, index, processes, language recognition);
# =address builds with AddressSanitizer and UBSan and runs every suite.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh

# The real llama-server and its two tiny models, where they lie beside the
# project: the real-server suite then runs too.
shared="$(cd .. && pwd)/shared/llama-server"
if [ -z "${QUORVEL_TEST_LLAMA_SERVER:-}" ] && [ -x "$shared/bin/llama-server" ]; then
  export QUORVEL_TEST_LLAMA_SERVER="$shared/bin/llama-server"
  export QUORVEL_TEST_CHAT_MODEL="$shared/models/tiny-qwen3-chat.gguf"
  export QUORVEL_TEST_EMBED_MODEL="$shared/models/tiny-qwen3-embedding.gguf"
fi
# Runs a command in a network namespace of its own, with only its loopback
# up, where one can be made (as root): the suites start model servers on
# the fixed ports 18431/18432, and two runs on one computer must never meet
# there. Elsewhere the command runs as it is, sharing the computer's ports.
private_network() {
  if command -v ip >/dev/null && unshare -n true 2>/dev/null; then
    unshare -n sh -c 'ip link set lo up && exec "$@"' private-network "$@"
  else
    echo "test: no network namespace of its own here (needs root): the model ports are the computer's" >&2
    "$@"
  fi
}

san=${QUORVEL_SANITIZE:-}
build=${QUORVEL_BUILD_DIR:-build${san:+-$san}}
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQUORVEL_SANITIZE="$san"
cmake --build "$build" -j"$(nproc)"
case "$san" in
  thread)
    export TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1"
    for suite in engine_tests index_tests platform_tests; do private_network "$build/bin/$suite"; done
    "$build/bin/answering_tests" --gtest_filter='Lang.DetectsFromSeveralThreadsAtOnce'
    ;;
  *)
    if [ "$san" = address ]; then
      export ASAN_OPTIONS="detect_leaks=1" UBSAN_OPTIONS="print_stacktrace=1"
      export LSAN_OPTIONS="suppressions=$PWD/tests/sanitizers/lsan.supp"
    fi
    private_network ctest --test-dir "$build" --output-on-failure -j"$(nproc)"
    ;;
esac

# The Debian package, installed and removed again (as root only). It runs in
# the computer's own network: its first-run test fetches a clean Debian root
# and the package's dependencies from the mirror. It finds its servers by the
# port's listener, never by name.
if [ -z "$san" ]; then
  tests/package/package_test.sh "$build/bin/stand-in-server"
fi

# The fuzz targets, briefly, where clang is installed (scripts/fuzz.sh runs
# them longer by hand).
if [ -z "$san" ] && command -v clang++ >/dev/null; then
  scripts/fuzz.sh "${QUORVEL_FUZZ_SECONDS:-30}"
fi
