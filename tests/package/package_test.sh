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
deb=$(scripts/package.sh)
echo "package test: $deb"
dpkg-deb --field "$deb" Depends | grep -q 'libqt6widgets6' || fail "Depends does not name the Qt libraries"
dpkg-deb --field "$deb" Recommends | grep -q 'antiword' || fail "Recommends lacks antiword"

# lintian: errors fail the test, warnings are shown.
if command -v lintian >/dev/null; then
  lintian --tag-display-limit 0 "$deb" | tee /tmp/quorvel-lintian.txt || true
  ! grep -q '^E: ' /tmp/quorvel-lintian.txt || fail "lintian reports errors"
fi

work=$(mktemp -d)
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

# The installed tool, with the stand-in as its model server and no other
# llama-server in reach.
export QUORVEL_HOME="$work/home"
cli() { env PATH=/usr/bin:/bin /usr/bin/quorvel-cli "$@"; }
mkdir -p "$QUORVEL_HOME/engine" "$QUORVEL_HOME/models"
ln -s "$standin" "$QUORVEL_HOME/engine/llama-server"
truncate -s 1110M "$QUORVEL_HOME/models/qwen3-1.7b-q4_k_m.gguf"
truncate -s 639M "$QUORVEL_HOME/models/qwen3-embedding-0.6b-q8_0.gguf"
out=$(cli import /usr/share/quorvel/samples/palm-cove-villa)
[ "$out" = "imported: 7" ] || fail "import said: $out"
out=$(cli index)
echo "$out" | tail -n 1 | grep -q '^files: 7, passages: ' || fail "index said: $out"
out=$(cli ask "What time is breakfast?")
echo "$out" | grep -q '7:00' || fail "ask said: $out"
echo "$out" | grep -q '^  \[[0-9]*\] ' || fail "ask named no source: $out"
# A short Italian message: answered in Italian, with the installed
# short-text language model read (a missing or damaged one is reported to the
# debug output).
out=$(QUORVEL_DEBUG=1 cli ask "Orario check-out?" 2>"$work/ask-debug.txt")
echo "$out" | tail -n 1 | grep -q ' it$' || fail "a short Italian message was not answered in Italian: $out"
! grep -q 'language model' "$work/ask-debug.txt" || fail "the language model: $(grep 'language model' "$work/ask-debug.txt")"
[ -f /usr/share/quorvel/language/lid.176.ftz ] || fail "the language model is not installed"
cli stop >/dev/null

dpkg -r quorvel >/dev/null
left=""
while IFS= read -r f; do
  case "$f" in /usr/*) if [ -f "$f" ]; then left="$left $f"; fi ;; esac
done <<< "$files"
[ -z "$left" ] || fail "left behind:$left"
[ ! -e /usr/share/quorvel ] || fail "/usr/share/quorvel is left behind"
echo "package test: installed, used and removed cleanly"
