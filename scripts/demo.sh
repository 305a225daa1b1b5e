#!/usr/bin/env bash
# The main job in one command: install what is missing, build, make a demo
# support folder, bring in the sample hotel, index it, and answer guest
# questions in several languages and two reply templates.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh
build=${QUORVEL_BUILD_DIR:-build}
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" -j"$(nproc)" --target quorvel-cli stand-in-server

cli="$PWD/$build/bin/quorvel-cli"
real_home="${XDG_DATA_HOME:-$HOME/.local/share}/Quorvel"
export QUORVEL_HOME="$PWD/demo-home"
rm -rf "$QUORVEL_HOME"
mkdir -p "$QUORVEL_HOME"

# The real model server and models, when this computer has them (see README:
# `quorvel-cli setup`). The server is the one built with Quorvel where a build
# made it (the package build, or a build with -DQUORVEL_BUNDLE_ENGINE=ON),
# else one installed on this computer.
server=""
for candidate in "$PWD/$build/lib/quorvel/llama/llama-server" "$PWD/build-package/lib/quorvel/llama/llama-server" \
                 "$real_home/engine/llama-server" "$(command -v llama-server || true)" /home/linuxbrew/.linuxbrew/bin/llama-server; do
  if [ -n "$candidate" ] && [ -x "$candidate" ]; then server="$candidate"; break; fi
done
have_models=no
if [ -n "$server" ] && [ -f "$real_home/models/qwen3-embedding-0.6b-q8_0.gguf" ] &&
   { [ -f "$real_home/models/qwen3-1.7b-q4_k_m.gguf" ] || [ -f "$real_home/models/qwen3-4b-instruct-2507-q4_k_m.gguf" ]; }; then
  have_models=yes
fi

# Servers left from an earlier run (perhaps the stand-in) must not answer for this one.
"$cli" stop >/dev/null

if [ "$have_models" = yes ]; then
  echo "== using llama-server at $server and the models in $real_home/models"
  ln -s "$real_home/models" "$QUORVEL_HOME/models"
  mkdir -p "$QUORVEL_HOME/engine"
  ln -s "$server" "$QUORVEL_HOME/engine/llama-server"
else
  cat <<'TXT'
== No llama-server with downloaded models was found on this computer, so this demo runs on
== the project's stand-in model server. Its replies are extractive: it quotes and cites the
== document sentence that best matches the question, and it cannot translate, so questions in
== languages the documents are not written in get the "not in our documents" reply. Everything
== else (import, passages, search, prompts, verification, citations, history) is the real system.
== For real replies: `quorvel-cli setup` and scripts/package.sh, which builds llama-server (see README.md).
TXT
  mkdir -p "$QUORVEL_HOME/engine" "$QUORVEL_HOME/models"
  ln -s "$PWD/$build/bin/stand-in-server" "$QUORVEL_HOME/engine/llama-server"
  # Model files of the expected size, each a whole GGUF header (no tensors)
  # and zeros; the stand-in does not read them.
  for m in qwen3-embedding-0.6b-q8_0.gguf:640000000 qwen3-1.7b-q4_k_m.gguf:1110000000 \
           qwen3-4b-instruct-2507-q4_k_m.gguf:2381000000; do
    { printf 'GGUF\003\000\000\000'; head -c 16 /dev/zero; } > "$QUORVEL_HOME/models/${m%%:*}"
    truncate -s "${m##*:}" "$QUORVEL_HOME/models/${m%%:*}"
  done
fi

run() {
  echo
  echo "\$ quorvel-cli $*"
  "$cli" "$@" </dev/null
}

echo "== support folder: $QUORVEL_HOME"
run import resources/samples/palm-cove-villa
run index
run ask "What time is breakfast, and is it included in the price?"
run ask "Is parking free for guests?"
run ask "What is the Wi-Fi password?"
run ask "Сколько стоит трансфер из аэропорта?"
run ask "Wann schließt der Pool?"
run ask "Do you have a gym?"
run ask --template=breakfast
run ask --template=complaint "The air conditioning in our room does not work."
echo
echo "== answers stored in $QUORVEL_HOME/history.jsonl: $(wc -l < "$QUORVEL_HOME/history.jsonl")"
run stop
