#!/bin/sh
# SPDX-License-Identifier: AGPL-3.0-or-later
# Runs a program of the 32-bit build. Kernels built without 32-bit support
# (as on our CI machines) cannot execute it, so it runs under qemu's
# user-mode emulator, which executes 32-bit code on any x86-64 kernel.
if command -v qemu-i386 >/dev/null 2>&1; then
  exec qemu-i386 -L / "$@"
fi
exec "$@"
