#!/bin/sh
# SPDX-License-Identifier: AGPL-3.0-or-later
# Compiles every source of the PDF backend, syntax only and with the build's
# warnings as errors, against the public headers of one MuPDF release.
#
#   check_headers.sh CXX HEADERS_DIR -I... -- SOURCE...
#
# HEADERS_DIR holds include/mupdf/. Without it the check is skipped (77),
# saying so: the headers live beside the clone, not in it.
cxx=$1 headers=$2
shift 2
if [ ! -f "$headers/include/mupdf/fitz/version.h" ]; then
    echo "skipped: no MuPDF headers in $headers (put them in ../shared/mupdf-headers beside the clone)"
    exit 77
fi
flags=""
while [ $# -gt 0 ] && [ "$1" != "--" ]; do
    flags="$flags $1"
    shift
done
shift
version=$(sed -n 's/^#define FZ_VERSION "\(.*\)"/\1/p' "$headers/include/mupdf/fitz/version.h")
failed=0
for source in "$@"; do
    # shellcheck disable=SC2086 # the include flags are words of their own
    if ! "$cxx" -std=c++20 -fsyntax-only -Wall -Wextra -Wpedantic -Werror \
        -I"$headers/include" $flags "$source"; then
        echo "FAILED against MuPDF $version: $source"
        failed=1
    fi
done
[ $failed = 0 ] && echo "$# backend sources compile against MuPDF $version"
exit $failed
