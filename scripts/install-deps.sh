#!/usr/bin/env bash
# Installs the Debian packages Quorvel needs to build and test, only those
# that are missing. Safe to run any number of times.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config
  libgtest-dev libgmock-dev
  libicu-dev nlohmann-json3-dev libsimdjson-dev
  libcurl4-openssl-dev ca-certificates libcpp-httplib-dev
  libpoppler-cpp-dev poppler-utils libzip-dev libxml2-dev libcld2-dev libfasttext-dev libhunspell-dev hunspell-ru
  antiword catdoc procps iproute2 util-linux
  qt6-base-dev qt6-svg-dev libqt6svg6 qt6-translations-l10n qt6-l10n-tools qt6-tools-dev xvfb xauth fonts-dejavu-core dbus-daemon
  dpkg-dev lintian debootstrap qemu-user
  libtesseract-dev tesseract-ocr-eng tesseract-ocr-rus
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "installing: ${missing[*]}"
sudo=()
if [ "$(id -u)" -ne 0 ]; then
  command -v sudo >/dev/null || { echo "install-deps: run as root or install sudo" >&2; exit 1; }
  sudo=(sudo)
fi
export DEBIAN_FRONTEND=noninteractive
"${sudo[@]}" apt-get update -qq
"${sudo[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
