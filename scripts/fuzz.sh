#!/usr/bin/env bash
# Builds the libFuzzer targets with clang and runs each for the given number
# of seconds (default 60), starting from seeds taken from the fixtures and
# the sample hotel. Finds go to build-fuzz/findings/<target>/; a crash fails.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}
command -v clang++ >/dev/null || { echo "fuzz: clang++ is not installed"; exit 1; }

build=${QUORVEL_FUZZ_BUILD_DIR:-build-fuzz}
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=clang++ \
  -DQUORVEL_FUZZ=ON -DQUORVEL_TESTS=OFF >/dev/null
targets=(rtf html docx chunker pdf_layout stream embedding index_file lang)
cmake --build "$build" -j"$(nproc)" --target "${targets[@]/#/fuzz_}"

seeds() {  # the seed files of a target
  case "$1" in
    rtf) ls tests/fixtures/*.rtf tests/fixtures/real-documents/*.rtf resources/samples/*/*.rtf ;;
    html) ls tools/sample-hotel-sources/*.html resources/samples/*/*.html tests/fixtures/real-documents/*.html ;;
    docx) ls resources/samples/*/*.docx tests/fixtures/real-documents/*.docx tests/fuzz/corpus/docx/* ;;
    chunker) ls resources/samples/*/*.md resources/samples/*/*.txt resources/templates/*/* \
      tests/fixtures/real-documents/*.txt tests/fixtures/real-documents/*.md ;;
    pdf_layout) ls tests/fuzz/corpus/pdf_layout/* ;;
    *) ls "tests/fuzz/corpus/$1"/* ;;
  esac
}

status=0
for t in "${targets[@]}"; do
  corpus="$build/corpus/$t" findings="$build/findings/$t"
  mkdir -p "$corpus" "$findings"
  seeds "$t" | while read -r f; do cp -n "$f" "$corpus/" 2>/dev/null || true; done
  log="$build/fuzz-$t.log"
  if "$build/bin/fuzz_$t" -max_total_time="$seconds" -max_len=1048576 -rss_limit_mb=4096 -timeout=30 \
      -artifact_prefix="$findings/" "$corpus" >"$log" 2>&1; then
    echo "fuzz_$t: $(grep -Eo 'Done [0-9]+ runs in [0-9]+ second' "$log" | tail -n1), nothing found"
  else
    echo "fuzz_$t: FOUND A FAULT (see $log and $findings)"
    tail -n 30 "$log"
    status=1
  fi
done
exit $status
