#!/usr/bin/env bash
# SPDX-License-Identifier: AGPL-3.0-or-later
# Installs the Debian packages the build, the tests and the demo need.
# As root it installs what is missing; otherwise it prints the command.
# Extra package names given as arguments are wanted too (`make coverage`).
set -euo pipefail

packages=(
  cmake ninja-build g++ g++-multilib make pkg-config
  googletest libgtest-dev libbenchmark-dev
  libmupdf-dev libmujs-dev libgumbo-dev libopenjp2-7-dev libjbig2dec0-dev
  libharfbuzz-dev libjpeg-dev libfreetype-dev zlib1g-dev lib32z1-dev libz-mingw-w64-dev
  binutils-mingw-w64-x86-64 binutils qemu-user python3
  qpdf poppler-utils ghostscript mupdf-tools time clang-format acl
  img2pdf tesseract-ocr tesseract-ocr-eng python3-pil
  libcpp-httplib-dev chromium chromium-driver python3-selenium
  clang libclang-rt-14-dev
  dpkg-dev lintian man-db bsdextrautils
  g++-mingw-w64-x86-64 g++-mingw-w64-i686 binutils-mingw-w64-i686
  wine wine64 wine32:i386 xvfb
  "$@"
)

# npm fetches the viewer's pinned accessibility checker (tests/viewer/axe);
# an npm already on the PATH will do.
command -v npm >/dev/null 2>&1 || packages+=(npm)

# The 32-bit Windows build runs under Debian's 32-bit Wine (wine32:i386).
need_i386=0
case " ${packages[*]} " in *":i386 "*) need_i386=1 ;; esac
if [ $need_i386 -eq 1 ] && ! dpkg --print-foreign-architectures | grep -qx i386; then
  if [ "$(id -u)" -ne 0 ]; then
    echo "The i386 architecture is not enabled; as root run: dpkg --add-architecture i386" >&2
    exit 1
  fi
  dpkg --add-architecture i386
fi

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
# The downloaded archives (over 2 GB for this list) are removed once they are
# installed: the suite's builds need the disk more than apt's cache does.
DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends \
  -o APT::Keep-Downloaded-Packages=false "${missing[@]}"
