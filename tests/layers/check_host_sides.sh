#!/bin/sh
# SPDX-License-Identifier: AGPL-3.0-or-later
# Checks that the host's sides hold: host_sides_case.cpp must compile as it
# stands, and each planted case (a layer calling a method of another
# layer's side, or reaching the state behind its side) must be refused by
# the compiler for access, not for anything else.
#
#   check_host_sides.sh CXX -I... -- SOURCE
cxx=$1
shift
flags=""
while [ $# -gt 0 ] && [ "$1" != "--" ]; do
    flags="$flags $1"
    shift
done
source=$2
compile() {
    # shellcheck disable=SC2086 # the include flags are words of their own
    "$cxx" -std=c++20 -fsyntax-only -Wall -Wextra -Wpedantic -Werror $flags "$@" "$source" 2>&1
}
if ! out=$(compile -DHOST_SIDE_CASE=0); then
    echo "FAILED: the sides' own calls do not compile:"
    echo "$out"
    exit 1
fi
failed=0
for case in 1 2 3 4; do
    if out=$(compile -DHOST_SIDE_CASE=$case); then
        echo "FAILED: case $case compiles: a side reaches what it does not name"
        failed=1
    elif ! echo "$out" | grep -Eq "protected|inaccessible|not an accessible base"; then
        echo "FAILED: case $case is refused, but not for access:"
        echo "$out"
        failed=1
    fi
done
[ $failed = 0 ] && echo "each side's own calls compile; the 4 calls across sides are refused for access"
exit $failed
