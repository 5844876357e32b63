#!/usr/bin/env bash
# SPDX-License-Identifier: AGPL-3.0-or-later
# check_pe_imports.sh OBJDUMP FILE [EXPORT...]: a Windows program or DLL
# exports exactly the names given (none for a program) and imports only the
# system's DLLs: kernel32, user32, gdi32, the C runtime (msvcrt, the
# universal CRT) and the api-ms-win-* sets. Anything else (a MinGW runtime
# DLL, say) would have to be shipped beside it.
set -u
objdump=$1 file=$2
shift 2
headers=$("$objdump" -p "$file") || { echo "$file: objdump cannot read it"; exit 1; }
fail=0

# Names in the export table: the lines after "[Ordinal/Name Pointer] Table".
exports=$(printf '%s\n' "$headers" | awk '/\[Ordinal\/Name Pointer\] Table/ { on = 1; next }
  on && /^[[:space:]]*\[/ { print $NF; next } on && NF == 0 { on = 0 }' | sort)
wanted=$(printf '%s\n' "$@" | sed '/^$/d' | sort)
if [ "$exports" != "$wanted" ]; then
  echo "$file exports: ${exports:-nothing}; expected: ${wanted:-nothing}"
  fail=1
fi

dlls=$(printf '%s\n' "$headers" | awk '/DLL Name:/ { print tolower($3) }' | sort -u)
[ -n "$dlls" ] || { echo "$file: no imports found"; fail=1; }
for dll in $dlls; do
  case "$dll" in
    kernel32.dll|user32.dll|gdi32.dll|msvcrt.dll|ucrtbase.dll|api-ms-win-*.dll) ;;
    *) echo "$file imports $dll, which is not a system DLL"; fail=1 ;;
  esac
done
[ $fail -eq 0 ] && echo "$file: exports ${exports:-nothing}; imports $(echo $dlls)"
exit $fail
