#!/usr/bin/env bash
# SPDX-License-Identifier: AGPL-3.0-or-later
# Line and branch coverage of the module and the host: runs the whole suite
# of the `coverage` build (made by `make coverage`) and reports with lcov.
#   scripts/coverage.sh BUILD_DIR
# Writes BUILD_DIR/coverage/{module,host}.info, a summary per part, the
# lines never run (BUILD_DIR/coverage/unreached.txt) and an HTML report.
set -euo pipefail
build=${1:?usage: coverage.sh BUILD_DIR}
src=$(cd "$(dirname "$0")/.." && pwd)
out=$build/coverage
# Branches gcov adds for exceptions thrown by the library are left out.
rc=(--rc lcov_branch_coverage=1 --rc geninfo_no_exception_branch=1)

rm -rf "$out" && mkdir -p "$out"
lcov -q "${rc[@]}" --zerocounters --directory "$build"
# Failing tests still leave their counts; the figures are reported either way.
status=0
ctest --test-dir "$build" -j2 --timeout 600 --output-on-failure >"$out/ctest.log" 2>&1 || status=$?
tail -n 3 "$out/ctest.log"

lcov -q "${rc[@]}" --capture --directory "$build" --base-directory "$src" --output-file "$out/all.info" \
  2> >(grep -v -e 'WARNING: .*googletest' -e 'redefined at' >&2 || true)
lcov -q "${rc[@]}" --extract "$out/all.info" "$src/frame/*" "$src/tool/*" "$src/crop/*" "$src/ui/*" "$src/module/*" \
  --output-file "$out/module.info"
lcov -q "${rc[@]}" --extract "$out/all.info" "$src/platform/host/*" --output-file "$out/host.info"

for part in module host; do
  echo "== $part"
  lcov "${rc[@]}" --summary "$out/$part.info" 2>&1 | grep -E '^ +(lines|functions|branches)'
done

# Every line with a count of zero, as FILE:LINE, for the list in the README.
awk -v src="$src/" '
  /^SF:/ { file = substr($0, 4); sub(src, "", file) }
  /^DA:/ { split(substr($0, 4), f, ","); if (f[2] == 0) print file ":" f[1] }
' "$out/module.info" "$out/host.info" >"$out/unreached.txt"
echo "lines never run: $(wc -l <"$out/unreached.txt") (listed in $out/unreached.txt)"
# The host's table entries (interface/) the suite never calls.
awk -v src="$src/" '
  /^SF:/ { file = substr($0, 4); sub(src, "", file) }
  /^FNDA:0,/ && file ~ /^platform\/host\/interface\// { print file ": " substr($0, 8) }
' "$out/host.info" | c++filt >"$out/unreached-entries.txt"
echo "host interface functions never called: $(wc -l <"$out/unreached-entries.txt") (listed in $out/unreached-entries.txt)"

genhtml -q "${rc[@]}" --output-directory "$out/html" "$out/module.info" "$out/host.info" >/dev/null
echo "report: $out/html/index.html"
exit $status
