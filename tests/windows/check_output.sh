#!/usr/bin/env bash
# SPDX-License-Identifier: AGPL-3.0-or-later
# check_output.sh EXPECTED COMMAND...: runs COMMAND and compares its standard
# output, line ends made plain, with the file EXPECTED; prints the
# difference when they differ.
set -u
expected=$1
shift
seen=$("$@" | tr -d '\r')
status=${PIPESTATUS[0]}
if [ "$status" -ne 0 ]; then
  echo "$*: exit status $status"
  exit 1
fi
if ! diff -u "$expected" <(printf '%s\n' "$seen"); then
  echo "the output above differs from $expected (- expected, + seen)"
  exit 1
fi
