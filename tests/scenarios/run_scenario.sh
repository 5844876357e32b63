#!/usr/bin/env bash
# SPDX-License-Identifier: AGPL-3.0-or-later
# Runs one host script the way a user would (`vellora run`) and checks the
# directives in its `#!` lines:
#   #! exit N            the exit status (default 0)
#   #! stderr "TEXT"     standard error contains TEXT
#   #! stdout "TEXT"     standard output contains TEXT
#   #! trace "TEXT"      some trace line contains TEXT
#   #! then "TEXT"       a trace line after the one the previous trace/then
#                        directive matched contains TEXT (call order)
#   #! no-trace "TEXT"   no trace line contains TEXT
#   #! needs-pdf         skipped in builds without PDF support
set -u
vellora=$1 script=$2 work=$3 samples=$4

rm -rf "$work" && mkdir -p "$work" || exit 1
ln -s "$samples" "$work/samples"
cd "$work" || exit 1

# A 32-bit build runs its programs through the launcher that CMake names.
${VX_RUN_PREFIX:+"$VX_RUN_PREFIX"} "$vellora" run "$script" --trace trace.txt >stdout.txt 2>stderr.txt
status=$?

fail=0
problem() { echo "$(basename "$script"): $*"; fail=1; }
# A quoted directive argument takes \" and \\ as in scripts.
unquote() {
  local s=$1
  if [[ $s == \"*\" ]]; then
    s=${s:1:${#s}-2}
    s=${s//\\\\/$'\001'}
    s=${s//\\\"/\"}
    s=${s//$'\001'/\\}
  fi
  printf '%s' "$s"
}

# first_match FROM TEXT: the number of the first trace line after line FROM
# that contains TEXT (nothing when none does).
first_match() {
  text="$2" awk -v from="$1" 'NR > from && index($0, ENVIRON["text"]) { print NR; exit }' trace.txt 2>/dev/null
}

want_exit=0
matched=0
while IFS= read -r line; do
  set -- $line
  directive=${2:-}
  arg=$(unquote "$(printf '%s' "$line" | sed -E 's/^#![[:space:]]+[a-z-]+[[:space:]]*//')")
  case "$directive" in
    exit) want_exit=$arg ;;
    stderr) grep -qF -- "$arg" stderr.txt || problem "standard error lacks: $arg" ;;
    stdout) grep -qF -- "$arg" stdout.txt || problem "standard output lacks: $arg" ;;
    trace|then)
      [ "$directive" = trace ] && matched=0
      at=$(first_match "$matched" "$arg")
      if [ -n "$at" ]; then matched=$at
      elif [ "$directive" = trace ]; then problem "trace lacks: $arg"
      else problem "trace lacks, after line $matched: $arg"; fi ;;
    no-trace) ! grep -qF -- "$arg" trace.txt 2>/dev/null || problem "trace has: $arg" ;;
    needs-pdf|"") ;;
    *) problem "unknown directive: $directive" ;;
  esac
done < <(grep -E '^#!' "$script")

[ "$status" = "$want_exit" ] || problem "exit status $status, expected $want_exit"
if [ $fail -ne 0 ]; then
  echo "--- stdout"; cat stdout.txt; echo "--- stderr"; cat stderr.txt
fi
exit $fail
