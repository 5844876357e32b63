#!/usr/bin/python3
# SPDX-License-Identifier: AGPL-3.0-or-later
"""Installs the pinned axe-core (tests/viewer/axe/package-lock.json) into a
folder of the build tree with `npm ci`, unless that version is there already.

    install_axe.py SOURCE_DIR TARGET_DIR
"""
import json
import os
import shutil
import subprocess
import sys

source, target = sys.argv[1:3]
with open(os.path.join(source, "package-lock.json")) as f:
    wanted = json.load(f)["packages"]["node_modules/axe-core"]["version"]
installed = os.path.join(target, "node_modules", "axe-core", "package.json")
try:
    with open(installed) as f:
        if json.load(f)["version"] == wanted:
            print(f"axe-core {wanted} is installed in {target}")
            sys.exit(0)
except (OSError, ValueError, KeyError):
    pass
npm = shutil.which("npm")
if npm is None:
    print("npm is missing: scripts/install-deps.sh installs it", file=sys.stderr)
    sys.exit(1)
os.makedirs(target, exist_ok=True)
for name in ("package.json", "package-lock.json"):
    shutil.copyfile(os.path.join(source, name), os.path.join(target, name))
r = subprocess.run([npm, "ci", "--no-audit", "--no-fund", "--ignore-scripts", "--prefix", target])
if r.returncode != 0:
    print(f"npm ci could not install axe-core {wanted} (is the npm registry reachable?)", file=sys.stderr)
    sys.exit(1)
print(f"axe-core {wanted} installed in {target}")
