#!/usr/bin/env bash
# A hotel's first day on a clean Debian 12: a minimal root made by
# debootstrap, the package installed in it with apt (what apt pulls in is all
# it gets), the tiny models placed where the downloader would put them, and
# then, as an ordinary user inside that root, the sample hotel imported,
# indexed and asked through the llama-server that came in the package, and
# the app run offscreen to a picture.
#
# Usage: tests/package/first_run_test.sh <quorvel .deb>
# Needs root, debootstrap, a package that carries llama-server and the tiny
# models (QUORVEL_TEST_CHAT_MODEL, QUORVEL_TEST_EMBED_MODEL); skipped with
# the reason otherwise. The minimal root is made once and kept as a tarball
# in $QUORVEL_ROOT_CACHE (else ~/.cache/quorvel-roots); each run unpacks a
# fresh copy.
set -euo pipefail
cd "$(dirname "$0")/../.."
deb=$(realpath "${1:?usage: first_run_test.sh <quorvel .deb>}")

skip() { echo "first-run test: skipped ($*)"; exit 0; }
fail() { echo "first-run test: FAILED: $*" >&2; exit 1; }
[ "$(id -u)" -eq 0 ] || skip "it needs root for debootstrap and chroot"
command -v debootstrap >/dev/null || skip "debootstrap is not installed"
dpkg-deb -c "$deb" | grep '/usr/lib/quorvel/llama/llama-server$' >/dev/null || skip "this package carries no llama-server"
chat=${QUORVEL_TEST_CHAT_MODEL:-}
embed=${QUORVEL_TEST_EMBED_MODEL:-}
[ -f "$chat" ] && [ -f "$embed" ] || skip "QUORVEL_TEST_CHAT_MODEL and QUORVEL_TEST_EMBED_MODEL name no model files"

cache=${QUORVEL_ROOT_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/quorvel-roots}
base="$cache/bookworm-minbase.tar.gz"
mkdir -p "$cache"
if [ ! -f "$base" ]; then
  echo "first-run test: making a minimal Debian 12 root (once; kept in $base)"
  made=$(mktemp -d)
  debootstrap --variant=minbase bookworm "$made/root" http://deb.debian.org/debian >"$made/debootstrap.log" 2>&1 ||
    { tail -n 20 "$made/debootstrap.log" >&2; rm -rf "$made"; fail "debootstrap failed"; }
  tar czf "$base.part" -C "$made/root" . && mv "$base.part" "$base"
  rm -rf "$made"
fi

work=$(mktemp -d /var/tmp/quorvel-first-run.XXXXXX)
root="$work/root"
mounted=()
cleanup() {
  # Whatever still runs inside the root (a model server) ends with it.
  for pid in $(pgrep -f 'llama-server|quorvel-cli|Quorvel' || true); do
    [ "$(readlink "/proc/$pid/root" 2>/dev/null)" = "$root" ] && kill -9 "$pid" 2>/dev/null || true
  done
  for ((i = ${#mounted[@]} - 1; i >= 0; i--)); do umount -l "${mounted[i]}" 2>/dev/null || true; done
  rm -rf --one-file-system "$work"
}
trap cleanup EXIT
mkdir -p "$root"
tar xzf "$base" -C "$root"
for m in proc sys dev; do
  case $m in
    proc) mount -t proc proc "$root/proc" ;;
    sys) mount -t sysfs -o ro sysfs "$root/sys" ;;
    dev) mount --bind /dev "$root/dev" ;;
  esac
  mounted+=("$root/$m")
done
cp /etc/resolv.conf "$root/etc/resolv.conf"
cat > "$root/etc/apt/sources.list" <<'LIST'
deb http://deb.debian.org/debian bookworm main
deb http://deb.debian.org/debian bookworm-updates main
deb http://deb.debian.org/debian-security bookworm-security main
LIST

inroot() { chroot "$root" /usr/bin/env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin DEBIAN_FRONTEND=noninteractive "$@"; }
cp "$deb" "$root/tmp/"
echo "first-run test: apt-get install ./$(basename "$deb") in a clean root"
inroot apt-get update -qq >"$work/apt.log" 2>&1 || { tail -n 20 "$work/apt.log" >&2; fail "apt-get update failed"; }
inroot apt-get install -y -qq "/tmp/$(basename "$deb")" >>"$work/apt.log" 2>&1 ||
  { tail -n 30 "$work/apt.log" >&2; fail "the package did not install"; }
[ -x "$root/usr/lib/quorvel/llama/llama-server" ] || fail "the package installed no llama-server"
# Nothing but the package and what it pulled in: no other llama-server.
[ -z "$(find "$root" -xdev -name llama-server -not -path '*/usr/lib/quorvel/llama/*' -print -quit)" ] ||
  fail "a llama-server other than the package's is in the root"

inroot useradd --create-home --shell /bin/sh hotel
support="$root/home/hotel/.local/share/Quorvel"
mkdir -p "$support/models"
# The catalogue's file names and sizes, as `quorvel-cli setup` leaves them
# (the tiny models extended sparsely; the server ignores the bytes after
# the last tensor).
cp "$chat" "$support/models/qwen3-1.7b-q4_k_m.gguf"
truncate -s 1110M "$support/models/qwen3-1.7b-q4_k_m.gguf"
cp "$embed" "$support/models/qwen3-embedding-0.6b-q8_0.gguf"
truncate -s 639M "$support/models/qwen3-embedding-0.6b-q8_0.gguf"
inroot chown -R hotel:hotel /home/hotel/.local

as_hotel() {
  chroot --userspec=hotel:hotel "$root" /usr/bin/env -i HOME=/home/hotel PATH=/usr/bin:/bin LANG=C.UTF-8 \
    XDG_RUNTIME_DIR=/tmp "$@"
}
cli() { as_hotel quorvel-cli "$@" </dev/null; }

out=$(cli import /usr/share/quorvel/samples/palm-cove-villa) || fail "import: $out"
[ "$out" = "imported: 7" ] || fail "import said: $out"
out=$(cli index 2>&1) || fail "index: $out$(cat "$support/logs/embed.log" 2>/dev/null | tail -n 20)"
echo "$out" | tail -n 1 | grep -Eq '^files: 7, passages: [0-9]+, ' || fail "index said: $out"
out=$(cli ask "What time is breakfast?" 2>&1) || fail "ask: $out$(tail -n 20 "$support/logs/chat.log" 2>/dev/null)"
echo "$out" | tail -n 1 | grep -Eq '^  [0-9]+ tok/s · [0-9.]+ s · en$' || fail "ask said: $out"
# Russian typed in Latin letters, told through the Russian dictionary the
# package pulled in (too few of these words are in the built-in lists).
out=$(cli ask "vannaya ochen gryaznaya, nuzhna uborka" 2>&1) || fail "ask in translit: $out"
echo "$out" | tail -n 1 | grep -Eq ' · ru$' || fail "Russian in Latin letters was not taken for Russian: $out"

# The servers that answered are the package's, inside this root.
servers=0
for pid in $(pgrep -f 'llama-server' || true); do
  [ "$(readlink "/proc/$pid/root" 2>/dev/null)" = "$root" ] || continue
  exe=$(tr '\0' '\n' < "/proc/$pid/cmdline" | head -n 1)
  [ "$exe" = /usr/lib/quorvel/llama/llama-server ] || fail "a model server ran from $exe"
  servers=$((servers + 1))
done
[ "$servers" -eq 2 ] || fail "$servers model servers of the package ran, not 2"
backend=$(as_hotel /usr/lib/quorvel/llama/llama-server -v --list-devices 2>&1 | grep -o 'libggml-cpu-[a-z0-9_]*\.so' | head -n 1)
[ -n "$backend" ] || fail "the package's llama-server loads no CPU backend"
echo "first-run test: import, index and ask answered through the package's llama-server ($backend)"
cli stop >/dev/null

# The app, offscreen: the sample hotel, one question, a picture, and out.
as_hotel env QT_QPA_PLATFORM=offscreen Quorvel --background --samples --ask "What time is breakfast?" \
  --snapshot /tmp/snap --exit </dev/null >"$work/app.log" 2>&1 || fail "the app failed: $(tail -n 20 "$work/app.log")"
[ -s "$root/tmp/snap/window.png" ] || fail "the app drew no window: $(tail -n 20 "$work/app.log")"
# QUORVEL_FIRST_RUN_PICTURES=DIR keeps the pictures to look at.
if [ -n "${QUORVEL_FIRST_RUN_PICTURES:-}" ]; then mkdir -p "$QUORVEL_FIRST_RUN_PICTURES" && cp "$root"/tmp/snap/*.png "$QUORVEL_FIRST_RUN_PICTURES/"; fi
[ "$(wc -l < "$support/history.jsonl")" -eq 3 ] || fail "the app's reply is not in the history"
cli stop >/dev/null
echo "first-run test: the app answered and drew its window in the clean root"
