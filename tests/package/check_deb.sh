#!/usr/bin/env bash
# SPDX-License-Identifier: AGPL-3.0-or-later
# The Debian package, built from this build and unpacked into a throw-away
# root (dpkg -x): the program runs from there with its module and libraries
# found beside it (no LD_LIBRARY_PATH), crops a file, and its manual page
# reads and names every option of every command's --help.
#   check_deb.sh SOURCE_DIR BUILD_DIR SAMPLES_DIR WORK_DIR
set -euo pipefail
src=$1 build=$2 samples=$3 work=$4
rm -rf "$work"
mkdir -p "$work"
fail() {
  echo "FAIL: $*" >&2
  exit 1
}

# lintian is `make deb`'s check; here it would only make the test slow.
VX_DEB_LINTIAN=0 "$src/scripts/make-deb.sh" "$build" "$work" >"$work/make-deb.log" 2>&1 || {
  cat "$work/make-deb.log" >&2
  fail "make-deb.sh failed"
}
cat "$work/make-deb.log"
deb=$(ls "$work"/vellora_*_*.deb)
root=$work/root
dpkg -x "$deb" "$root"
unset LD_LIBRARY_PATH
vellora=$root/usr/bin/vellora

# The module the program reports is the one in the package.
version=$("$vellora" --version) || fail "vellora --version: $version"
echo "$version"
grep -qF "module $root/usr/lib/vellora/libtrimvex.so: plug-in interface" <<<"$version" ||
  fail "--version names no module inside the package root"
ldd "$root/usr/lib/vellora/vellora" | grep -F libvxwin32.so | grep -qF "$root/usr/lib/vellora/" ||
  fail "the window-system stand-in is not found beside the program: $(ldd "$root/usr/lib/vellora/vellora")"

# A crop, read back with an independent tool.
"$vellora" crop "$samples/mixed.pdf" -o "$work/cropped.pdf" --page 1 --region 100,100,400,500 ||
  fail "crop from the package root"
# The region lands within 1/40 pt of the request (the crop tool's pixels).
pdfinfo -box -f 1 -l 1 "$work/cropped.pdf" | awk '
  /^Page +1 CropBox:/ { n = split("100 100 400 500", want, " ")
    for (i = 1; i <= n; ++i) { d = $(i + 3) - want[i]; if (d < -0.05 || d > 0.05) exit 1 }
    found = 1 }
  END { exit !found }' ||
  fail "the crop from the package root is not in the file: $(pdfinfo -box -f 1 -l 1 "$work/cropped.pdf")"

# The manual page renders, and says what each command's --help says.
page=$(MANWIDTH=200 man -l "$root/usr/share/man/man1/vellora.1.gz" 2>"$work/man.err" | col -b) ||
  fail "man -l vellora.1: $(cat "$work/man.err")"
[ ! -s "$work/man.err" ] || fail "man -l vellora.1 warns: $(cat "$work/man.err")"
for section in NAME SYNOPSIS COMMANDS "EXIT STATUS"; do
  grep -qx "$section" <<<"$page" || fail "the manual page has no $section section"
done
for command in run crop bbox reset boxes show view; do
  grep -qE "^ +$command\$" <<<"$page" || fail "the manual page has no entry for $command"
  for option in $("$vellora" "$command" --help | grep -oE -- '--[a-z][a-z-]*' | sort -u); do
    grep -qF -- "$option" <<<"$page" || fail "the manual page lacks $command's $option"
  done
done
for status in 0 1 2 3 130; do
  grep -qE "^ +$status\b" <<<"$page" || fail "the manual page lacks exit status $status"
done
echo "package: $(basename "$deb"), $(du -k "$deb" | cut -f1) KB, installs and runs from $root"
rm -rf "$work" # passed: the package and its root are 70 MB; a failure keeps them
