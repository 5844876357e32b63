#!/usr/bin/env bash
# SPDX-License-Identifier: AGPL-3.0-or-later
# Builds the Debian package vellora_VERSION_ARCH.deb from a build folder:
#   scripts/make-deb.sh [BUILD_DIR [OUT_DIR]]     (default build/default and .)
# The program, the module and the window-system stand-in go to
# /usr/lib/vellora/ (the program finds the module beside itself and the
# libraries through its $ORIGIN run path; /usr/bin/vellora is a link to it),
# with the manual page made from the program's own --help, bash completion
# and the documentation. Dependencies come from dpkg-shlibdeps; the package
# must pass lintian without errors (VX_DEB_LINTIAN=0 leaves lintian out, for
# the test that only installs and runs the package).
set -euo pipefail
umask 022

src=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$src/build/default}" && pwd)
out=$(mkdir -p "${2:-.}" && cd "${2:-.}" && pwd)
bin=$build/bin

for f in vellora libtrimvex.so libvxwin32.so; do
  [ -f "$bin/$f" ] || { echo "make-deb: $bin/$f is missing; build first (make build-default)" >&2; exit 1; }
done
version=$("$bin/vellora" --version | sed -n '1s/^vellora //p')
arch=$(dpkg --print-architecture)
[ -n "$version" ] || { echo "make-deb: $bin/vellora does not tell its version" >&2; exit 1; }

# dpkg-shlibdeps takes the libraries of debian/vellora/ as the package's own.
work=$build/deb
rm -rf "$work"
root=$work/debian/vellora
mkdir -p "$root/DEBIAN" "$root/usr/bin" "$root/usr/lib/vellora" "$root/usr/share/man/man1" \
  "$root/usr/share/bash-completion/completions" "$root/usr/share/doc/vellora/docs"

private=$root/usr/lib/vellora
install -m 755 "$bin/vellora" "$private/vellora"
install -m 644 "$bin/libtrimvex.so" "$bin/libvxwin32.so" "$private/"
strip --remove-section=.comment --remove-section=.note "$private/vellora"
strip --remove-section=.comment --remove-section=.note --strip-unneeded "$private"/*.so
ln -s ../lib/vellora/vellora "$root/usr/bin/vellora"

python3 "$src/tools/manpage/make_manpage.py" "$bin/vellora" "$work/vellora.1"
gzip -9n <"$work/vellora.1" >"$root/usr/share/man/man1/vellora.1.gz"
install -m 644 "$src/debian/vellora.bash-completion" "$root/usr/share/bash-completion/completions/vellora"

doc=$root/usr/share/doc/vellora
install -m 644 "$src/debian/copyright" "$doc/copyright"
gzip -9n <"$src/debian/changelog" >"$doc/changelog.gz"
install -m 644 "$src/README.md" "$src/LICENSE" "$doc/"
install -m 644 "$src"/docs/*.md "$doc/docs/"

cat >"$work/debian/control" <<CONTROL
Source: vellora

Package: vellora
Architecture: any
CONTROL
depends=$(cd "$work" && dpkg-shlibdeps -O "$private/vellora" "$private"/*.so | sed -n 's/^shlibs:Depends=//p')

cat >"$root/DEBIAN/control" <<CONTROL
Package: vellora
Version: $version
Architecture: $arch
Maintainer: TrimVex developers <trimvex@example.org>
Installed-Size: $(du -sk --exclude=DEBIAN "$root" | cut -f1)
Depends: $depends
Section: graphics
Priority: optional
Description: crop the pages of PDF files with the TrimVex plug-in
 vellora is a PDF host that loads the TrimVex page-cropping plug-in and
 drives it as a user would: crop pages to a region (all, odd or even pages,
 carried over by page size and rotation), to the bounding box of their
 marks, or back to the media box; print every page's boxes; draw a page as
 PNG; or crop with the mouse in a local web viewer (vellora view).
 .
 Results are appended to the PDF as an incremental update, written next to
 the target and renamed into place: a failed or stopped run changes nothing.
CONTROL
(cd "$root" && find . -type f ! -path './DEBIAN/*' -printf '%P\0' | sort -z | xargs -0 md5sum) \
  >"$root/DEBIAN/md5sums"
chmod 644 "$root/DEBIAN/control" "$root/DEBIAN/md5sums"

deb=$out/vellora_${version}_${arch}.deb
dpkg-deb --root-owner-group -Zxz --build "$root" "$deb" >/dev/null
rm -rf "$work" # the staging tree: the package holds all of it
echo "make-deb: $deb ($(du -k "$deb" | cut -f1) KB)"
if [ "${VX_DEB_LINTIAN:-1}" = 0 ]; then
  echo "make-deb: lintian not run (VX_DEB_LINTIAN=0)"
elif command -v lintian >/dev/null; then
  lintian --fail-on error "$deb"
else
  echo "make-deb: lintian is not installed (scripts/install-deps.sh installs it); not checked" >&2
fi
