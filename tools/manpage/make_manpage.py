#!/usr/bin/env python3
# SPDX-License-Identifier: AGPL-3.0-or-later
"""Writes the manual page vellora.1 from the program's own help.

    make_manpage.py VELLORA OUT.1

Every command, option and exit status comes from `vellora --help` and
`vellora COMMAND --help`, so the page says what the program does; only the
name line, the environment and the files are written here.
"""
import re
import subprocess
import sys

VELLORA, OUT = sys.argv[1:3]


def help_of(*args):
    r = subprocess.run([VELLORA, *args], capture_output=True, text=True)
    if r.returncode != 0:
        sys.exit(f"make_manpage: vellora {' '.join(args)} failed ({r.returncode}): {r.stderr}")
    return r.stdout


def roff(text):
    """Text safe in a roff line: backslashes and hyphens escaped, no leading dot or quote."""
    text = text.replace("\\", "\\e").replace("-", "\\-")
    return "\\&" + text if text[:1] in (".", "'") else text


OPTION = re.compile(r"^  (-\S.*?)(?:\s{2,}(.*))?$")


def section(text):
    """A command's help: the usage line, a description, option entries."""
    lines = text.rstrip("\n").split("\n")
    out = []
    usage = lines[0].removeprefix("usage: ")
    out += [".nf", ".B " + roff(usage), ".fi", ".PP"]
    for line in lines[1:]:
        m = OPTION.match(line)
        if m:
            out += [".TP", ".B " + roff(m.group(1).strip())]
            if m.group(2):
                out.append(roff(m.group(2)))
        elif line.startswith("    ") and out:
            out.append(roff(line.strip()))  # an option's description, continued
        elif line.strip():
            out.append(roff(line.strip()))
    return out


def main():
    general = help_of("--help")
    version = help_of("--version").split("\n")[0].split()[-1]
    synopsis, statuses = [], []
    part = None
    for line in general.split("\n"):
        if line.startswith("usage:"):
            part = synopsis
        elif line.startswith("exit status:"):
            part = statuses
        elif line.startswith("  ") and part is not None:
            part.append(line[2:])
    commands = [m.group(1) for m in (re.match(r"vellora ([a-z]+)\b", s) for s in synopsis) if m]
    page = [
        f'.TH VELLORA 1 "" "vellora {version}" "User Commands"',
        ".SH NAME",
        "vellora \\- crop the pages of PDF files with the TrimVex plug-in",
        ".SH SYNOPSIS",
        ".nf",
    ]
    page += [roff(s) if s.startswith(" ") else ".B " + roff(s) for s in synopsis]
    page += [
        ".fi",
        ".SH DESCRIPTION",
        "vellora is a PDF host that loads the TrimVex plug-in module and drives it as a",
        "user would: each command is a host script made on the fly, run through the",
        "plug-in's own tool, buttons, menus and dialog.",
        "Results are written next to the target and renamed into place, so a failed or",
        "stopped run leaves every file as it was.",
        ".SH COMMANDS",
    ]
    for command in commands:
        page += [".SS " + command] + section(help_of(command, "--help"))
    page += [".SH EXIT STATUS"]
    for s in statuses:
        m = re.match(r"^(\d+)\s+(.*)$", s)
        if m:
            page += [".TP", ".B " + m.group(1), roff(m.group(2))]
        else:
            page.append(roff(s.strip()))
    page += [
        ".SH ENVIRONMENT",
        ".TP",
        ".B VELLORA_PASSWORD",
        "the password of an encrypted input, when neither \\-\\-password nor \\-\\-password\\-file gives one",
        ".TP",
        ".B TRIMVEX_BBOX_THREADS",
        "threads that find the bounding boxes of pages (default: one a processor)",
        ".SH FILES",
        ".TP",
        ".I libtrimvex.so",
        "the plug-in module, loaded from the folder of the program itself",
        "(installed: /usr/lib/vellora/, where /usr/bin/vellora leads)",
        ".SH SEE ALSO",
        ".BR qpdf (1),",
        ".BR pdfinfo (1)",
    ]
    with open(OUT, "w") as f:
        f.write("\n".join(page) + "\n")


main()
