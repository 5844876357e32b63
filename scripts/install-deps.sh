#!/usr/bin/env bash
# Installs the Debian packages the build, the tests and the demo need.
# As root it installs what is missing; otherwise it prints the command.
# Extra package names given as arguments are wanted too (`make coverage`).
set -euo pipefail

packages=(
  cmake ninja-build g++ g++-multilib make pkg-config
  googletest libgtest-dev libbenchmark-dev
  libmupdf-dev libmujs-dev libgumbo-dev libopenjp2-7-dev libjbig2dec0-dev
  libharfbuzz-dev libjpeg-dev libfreetype-dev zlib1g-dev
  binutils-mingw-w64-x86-64 binutils qemu-user python3
  qpdf poppler-utils ghostscript mupdf-tools time clang-format
  libcpp-httplib-dev chromium chromium-driver python3-selenium
  clang libclang-rt-14-dev
  "$@"
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

cmd="apt-get update && DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends ${missing[*]}"
if [ "$(id -u)" -ne 0 ]; then
  echo "Missing packages: ${missing[*]}" >&2
  echo "Install them as root with:" >&2
  echo "  $cmd" >&2
  exit 1
fi
echo "Installing: ${missing[*]}" >&2
apt-get update -qq
DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}"
