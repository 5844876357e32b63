#!/usr/bin/env bash
# SPDX-License-Identifier: AGPL-3.0-or-later
# Runs each fuzz target for a bounded time:
#   run_fuzz.sh BUILD_DIR SECONDS TARGET...
# Each target starts from its seeds (made at build time) and the corpus its
# earlier runs grew (BUILD_DIR/fuzz-corpus/TARGET), with its dictionary
# when it has one. An input that crashes, leaks, trips a sanitizer or hangs
# is copied to tests/fuzz/regressions/TARGET/, which the ordinary suite
# replays, and the run fails.
set -u
build=$1 seconds=$2
shift 2
here=$(cd "$(dirname "$0")" && pwd)
failed=0
for target in "$@"; do
  program=$build/bin/fuzz_$target
  corpus=$build/fuzz-corpus/$target
  artifacts=$build/fuzz-artifacts/$target
  mkdir -p "$corpus" "$artifacts"
  dict=()
  [ -f "$here/$target.dict" ] && dict=(-dict="$here/$target.dict")
  log=$build/fuzz-$target.log
  echo "fuzz_$target: $seconds s"
  # The targets' scratch files go to a folder of the run's own, emptied after
  # it: a target that crashes or hangs has no chance to remove its own.
  scratch=$build/fuzz-tmp/$target
  rm -rf "$scratch" && mkdir -p "$scratch"
  TMPDIR=$scratch "$program" -max_total_time="$seconds" -timeout=20 -rss_limit_mb=2560 -max_len=65536 \
    -print_final_stats=1 -artifact_prefix="$artifacts/" "${dict[@]}" \
    "$corpus" "$build/fuzz-seeds/$target" >"$log" 2>&1
  status=$?
  rm -rf "$scratch"
  # The last status line: executions, coverage (edges) and features.
  grep -E '^#[0-9]+' "$log" | tail -1
  grep -E 'stat::number_of_executed_units|stat::peak_rss_mb' "$log"
  if [ $status -ne 0 ]; then
    failed=1
    mkdir -p "$here/regressions/$target"
    for f in "$artifacts"/*; do
      [ -f "$f" ] && cp "$f" "$here/regressions/$target/" && echo "kept $(basename "$f") in tests/fuzz/regressions/$target/"
    done
    echo "fuzz_$target FAILED (status $status); the log is $log:"
    grep -E 'ERROR|SUMMARY|==[0-9]+==' "$log" | head -20
  fi
done
exit $failed
