#!/usr/bin/env bash
# The Debian package as a hotel's computer gets it: build it, install it with
# dpkg, import the sample hotel with the installed tool, index it and ask,
# check it with lintian, remove it again and check that nothing is left.
# Needs root (it installs a package); skipped otherwise, and where a
# quorvel package is installed already (that one is left alone).
# Usage: tests/package/package_test.sh <stand-in-server program>
set -euo pipefail
cd "$(dirname "$0")/../.."
standin=$(realpath "${1:?usage: package_test.sh <stand-in-server>}")

if [ "$(id -u)" -ne 0 ]; then echo "package test: skipped (installing a package needs root)"; exit 0; fi
if dpkg-query -W -f='${Status}' quorvel 2>/dev/null | grep -q 'install ok installed'; then
  echo "package test: skipped (a quorvel package is installed on this computer)"; exit 0
fi

fail() { echo "package test: FAILED: $*" >&2; exit 1; }
# Under a umask that lets the group write: what is installed has its own
# modes all the same.
deb=$(umask 002 && scripts/package.sh)
echo "package test: $deb"
dpkg-deb --field "$deb" Depends | grep -q 'libqt6widgets6' || fail "Depends does not name the Qt libraries"
dpkg-deb --field "$deb" Depends | grep -q 'poppler-utils' || fail "Depends does not name poppler-utils (pdftoppm)"
dpkg-deb --field "$deb" Depends | grep -q 'hunspell-ru' || fail "Depends does not name hunspell-ru (Russian typed in Latin letters)"
dpkg-deb --field "$deb" Recommends | grep -q 'antiword' || fail "Recommends lacks antiword"
dpkg-deb --field "$deb" Recommends | grep -q 'fonts-noto-cjk' || fail "Recommends lacks a CJK font"
dpkg-deb --field "$deb" Recommends | grep -q 'qt6-translations-l10n' || fail "Recommends lacks Qt's translations"

# lintian: errors fail the test, warnings are shown.
if command -v lintian >/dev/null; then
  lintian --tag-display-limit 0 "$deb" | tee /tmp/quorvel-lintian.txt || true
  ! grep -q '^E: ' /tmp/quorvel-lintian.txt || fail "lintian reports errors"
fi

work=$(mktemp -d)

# A few tokens from the tiny chat model through the server given as the
# command line, on a spare port; prints what it wrote.
generate() {
  local port=18497 reply="" i
  "$@" -m "$QUORVEL_TEST_CHAT_MODEL" --host 127.0.0.1 --port $port -c 512 -np 1 >"$work/generate.log" 2>&1 &
  local pid=$!
  for ((i = 0; i < 300; i++)); do
    if { exec 3<>/dev/tcp/127.0.0.1/$port; } 2>/dev/null; then
      local body='{"prompt":"Breakfast is","n_predict":6}'
      printf 'POST /completion HTTP/1.1\r\nHost: x\r\nContent-Length: %d\r\nConnection: close\r\n\r\n%s' "${#body}" "$body" >&3
      reply=$(cat <&3 || true)
      exec 3<&-
      # 503 while the model loads: try again.
      case "$reply" in *'"content":"'*) break ;; esac
    fi
    sleep 1
  done
  kill "$pid" 2>/dev/null; wait "$pid" 2>/dev/null || true
  local content=${reply#*\"content\":\"}
  [ "$content" != "$reply" ] || { tail -n 5 "$work/generate.log"; return 1; }
  echo "${content%%\"*}"
}

cleanup() {
  QUORVEL_HOME="$work/home" /usr/bin/quorvel-cli stop >/dev/null 2>&1 || true
  dpkg -r quorvel >/dev/null 2>&1 || true
  rm -rf "$work"
}
trap cleanup EXIT
dpkg -i "$deb" >/dev/null
files=$(dpkg -L quorvel)

for f in /usr/bin/quorvel-cli /usr/bin/Quorvel; do [ -x "$f" ] || fail "$f is missing"; done
for f in /usr/share/applications/quorvel.desktop /usr/share/icons/hicolor/scalable/apps/quorvel.svg \
         /usr/share/doc/quorvel/copyright /usr/share/doc/quorvel/README.md; do
  [ -f "$f" ] || fail "$f is missing"
done
[ -d /usr/share/quorvel/samples/palm-cove-villa ] || fail "the sample hotel is not in /usr/share/quorvel"

# The installed tool with no llama-server in reach but the package's own.
# With the engine in the package it answers through that server and the tiny
# models (the stand-in cannot stand in: the package's server comes first);
# without it, through the stand-in.
export QUORVEL_HOME="$work/home"
cli() { env PATH=/usr/bin:/bin /usr/bin/quorvel-cli "$@"; }
mkdir -p "$QUORVEL_HOME/engine" "$QUORVEL_HOME/models"
chat="$QUORVEL_HOME/models/qwen3-1.7b-q4_k_m.gguf"
embed="$QUORVEL_HOME/models/qwen3-embedding-0.6b-q8_0.gguf"
engine=/usr/lib/quorvel/llama/llama-server
if dpkg-deb -c "$deb" | grep "\.$engine\$" >/dev/null; then
  bundled=yes
  [ -x "$engine" ] || fail "$engine is missing"
  # The server a program nobody else may change, the libraries plain files.
  [ "$(stat -c %a "$engine")" = 755 ] || fail "$engine has mode $(stat -c %a "$engine")"
  for lib in /usr/lib/quorvel/llama/lib*.so*; do
    [ -L "$lib" ] || [ "$(stat -c %a "$lib")" = 644 ] || fail "$lib has mode $(stat -c %a "$lib")"
  done
  [ "$(stat -c %a /usr/lib/quorvel/llama)" = 755 ] || fail "/usr/lib/quorvel/llama has mode $(stat -c %a /usr/lib/quorvel/llama)"
  ! dpkg -L quorvel | grep -q '^/usr/share/quorvel/.*\.so' || fail "libraries were installed under /usr/share"
  # The CPU backend is picked when the server starts: on this CPU and on an
  # old one without AVX (Nehalem, under qemu), each loads one and, with the
  # tiny chat model, generates a few tokens with it.
  for cpu in host Nehalem; do
    if [ "$cpu" = host ]; then
      run=("$engine")
    elif command -v qemu-x86_64 >/dev/null; then
      run=(qemu-x86_64 -cpu Nehalem "$engine")
    else
      echo "package test: the old-CPU check is skipped (qemu-user is not installed)"
      continue
    fi
    devices=$("${run[@]}" -v --list-devices 2>&1) || fail "llama-server failed on the $cpu CPU: $devices"
    backend=$(echo "$devices" | grep -o 'loaded CPU backend from .*' | head -n 1)
    [ -n "$backend" ] || fail "llama-server loaded no CPU backend on the $cpu CPU: $devices"
    if [ -n "${QUORVEL_TEST_CHAT_MODEL:-}" ]; then
      words=$(generate "${run[@]}") || fail "no generation on the $cpu CPU: $words"
      backend="$backend; generated:$words"
    fi
    echo "package test: $cpu CPU: $backend"
  done
  if [ -z "${QUORVEL_TEST_CHAT_MODEL:-}" ] || [ -z "${QUORVEL_TEST_EMBED_MODEL:-}" ]; then
    echo "package test: asking through the package's llama-server is skipped (no QUORVEL_TEST_CHAT_MODEL/EMBED_MODEL)"
    bundled=no-models
  else
    cp "$QUORVEL_TEST_CHAT_MODEL" "$chat"
    cp "$QUORVEL_TEST_EMBED_MODEL" "$embed"
  fi
else
  bundled=no
  ln -s "$standin" "$QUORVEL_HOME/engine/llama-server"
  # Whole GGUF headers without tensors: the stand-in does not read them.
  for f in "$chat" "$embed"; do { printf 'GGUF\003\000\000\000'; head -c 16 /dev/zero; } > "$f"; done
fi
truncate -s 1110M "$chat"
truncate -s 639M "$embed"
if [ "$bundled" != no-models ]; then
  out=$(cli import /usr/share/quorvel/samples/palm-cove-villa)
  [ "$out" = "imported: 7" ] || fail "import said: $out"
  out=$(cli index)
  echo "$out" | tail -n 1 | grep -q '^files: 7, passages: ' || fail "index said: $out"
  out=$(cli ask "What time is breakfast?")
  if [ "$bundled" = yes ]; then
    # The tiny models write word salad: the reply's shape is what counts.
    echo "$out" | tail -n 1 | grep -Eq '^  [0-9]+ tok/s · [0-9.]+ s · en$' || fail "ask said: $out"
    # The process that listens on the port, not the first of that name:
    # another run's server on this computer may have the same command line.
    pid=$(ss -Hltnp 'sport = :18431' | grep -o 'pid=[0-9]*' | head -n 1 | cut -d= -f2)
    ran=$([ -n "$pid" ] && readlink "/proc/$pid/exe" || true)
    [ "$ran" = "$engine" ] || fail "the chat server ran from ${ran:-nowhere}, not $engine"
  else
    echo "$out" | grep -q '7:00' || fail "ask said: $out"
    echo "$out" | grep -q '^  \[[0-9]*\] ' || fail "ask named no source: $out"
  fi
  # A short Italian message: answered in Italian, with the installed
  # short-text language model read (a missing or damaged one is reported to
  # the debug output).
  out=$(QUORVEL_DEBUG=1 cli ask "Orario check-out?" 2>"$work/ask-debug.txt")
  echo "$out" | tail -n 1 | grep -q ' it$' || fail "a short Italian message was not answered in Italian: $out"
  ! grep -q 'language model' "$work/ask-debug.txt" || fail "the language model: $(grep 'language model' "$work/ask-debug.txt")"
fi
[ -f /usr/share/quorvel/language/lid.176.ftz ] || fail "the language model is not installed"
cli stop >/dev/null

# A package whose server has gone is damaged: the advice is to reinstall,
# in the user's language.
if [ "$bundled" != no ]; then
  mv "$engine" "$work/llama-server.away"
  out=$(cli ask "x" 2>&1) && fail "ask without the server succeeded: $out"
  echo "$out" | grep -q 'reinstall Quorvel: sudo apt install --reinstall quorvel' || fail "no advice to reinstall: $out"
  out=$(LANG=ru_RU.UTF-8 cli ask "x" 2>&1) || true
  echo "$out" | grep -q 'переустановите Quorvel' || fail "no advice to reinstall in Russian: $out"
  mv "$work/llama-server.away" "$engine"
fi

dpkg -r quorvel >/dev/null
left=""
while IFS= read -r f; do
  case "$f" in /usr/*) if [ -f "$f" ]; then left="$left $f"; fi ;; esac
done <<< "$files"
[ -z "$left" ] || fail "left behind:$left"
[ ! -e /usr/share/quorvel ] || fail "/usr/share/quorvel is left behind"
echo "package test: installed, used and removed cleanly"

# The same package on a clean Debian 12, as a hotel's computer gets it.
tests/package/first_run_test.sh "$deb"
