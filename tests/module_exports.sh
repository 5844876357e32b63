#!/usr/bin/env bash
# SPDX-License-Identifier: AGPL-3.0-or-later
# The module's dynamic symbol table defines PlugInMain and nothing else, in
# every build (a sanitizer's or a fuzzer's type descriptors included).
set -euo pipefail
defined=$(nm -D --defined-only "$1" | awk '{print $NF}' | sort)
if [ "$defined" != "PlugInMain" ]; then
  echo "$1 defines more than PlugInMain:" >&2
  echo "$defined" >&2
  exit 1
fi
echo "$1: PlugInMain alone"
