#!/usr/bin/python3
# SPDX-License-Identifier: AGPL-3.0-or-later
"""Fails when a source folder includes a folder above or beside it.

check_layers.py SOURCE_DIR LAYERS_FILE   checks the tree against the order
check_layers.py --self-test LAYERS_FILE  checks that a planted wrong include
                                         in a scratch tree is found
check_layers.py --graph SOURCE_DIR LAYERS_FILE
                                         prints, for each folder, the folders
                                         its #include lines really name

A layers file may also keep a word (a class, say) to a few files: each use
of it elsewhere in the stack, outside comments and quoted text, is reported
as FILE:LINE.

Every wrong include is reported as FILE:LINE with both folders, and the exit
status is 1; a malformed layers file or a folder missing from it is reported
the same way.
"""

import contextlib
import io
import os
import re
import sys
import tempfile

SOURCE_SUFFIXES = (".h", ".hpp", ".c", ".cpp")
INCLUDE = re.compile(r'^\s*#\s*include\s*[<"]([^">]+)[">]')


class Stack:
    def __init__(self, name, root, line):
        self.name = name
        self.root = root
        self.line = line
        self.rank = {}  # folder -> row, 0 at the top
        self.every_folder = False
        self.words = []  # (word, files and folders that may name it, where)


def read_layers(path):
    stacks = []
    with open(path, encoding="utf-8") as f:
        for number, raw in enumerate(f, 1):
            words = raw.split("#", 1)[0].split()
            if not words:
                continue
            where = f"{path}:{number}"
            if words[0] == "stack":
                if len(words) != 3:
                    raise ValueError(f"{where}: 'stack' wants a name and a root")
                stacks.append(Stack(words[1], words[2], where))
            elif not stacks:
                raise ValueError(f"{where}: a folder before the first 'stack' line")
            elif words == ["every-folder"]:
                stacks[-1].every_folder = True
            elif words[0] == "word":
                if len(words) < 3:
                    raise ValueError(f"{where}: 'word' wants a word and where it may be named")
                stacks[-1].words.append((words[1], words[2:], where))
            else:
                stack = stacks[-1]
                row = len(set(stack.rank.values()))
                for folder in words:
                    if folder in stack.rank:
                        raise ValueError(f"{where}: {folder}/ is listed twice")
                    stack.rank[folder] = row
    return stacks


def source_files(directory):
    for base, dirs, files in os.walk(directory):
        dirs.sort()
        for name in sorted(files):
            if name.endswith(SOURCE_SUFFIXES):
                yield os.path.join(base, name)


def includes_of(path):
    """(line number, included path) of each #include line of a file."""
    with open(path, encoding="utf-8", errors="replace") as f:
        for number, text in enumerate(f, 1):
            match = INCLUDE.match(text)
            if match:
                yield number, match.group(1)


QUOTED_OR_COMMENT = re.compile(r'"(?:\\.|[^"\\])*"|\'(?:\\.|[^\'\\])*\'|//.*')


def word_problems(source_dir, stack, root):
    """Each use of a kept word outside the files that may name it."""
    problems = []
    for word, allowed, where in stack.words:
        pattern = re.compile(r"\b" + re.escape(word) + r"\b")
        for path in source_files(root):
            relative = os.path.relpath(path, root).replace(os.sep, "/")
            if any(relative == a or (a.endswith("/") and relative.startswith(a)) for a in allowed):
                continue
            with open(path, encoding="utf-8", errors="replace") as f:
                for number, text in enumerate(f, 1):
                    if pattern.search(QUOTED_OR_COMMENT.sub("", text)):
                        problems.append(f"{os.path.relpath(path, source_dir)}:{number}: names {word}, "
                                        f"which only {' '.join(allowed)} may name ({where})")
    return problems


def check_stack(source_dir, stack):
    """The problems of one stack, each a line of text."""
    problems = []
    root = os.path.normpath(os.path.join(source_dir, stack.root))
    if not os.path.isdir(root):
        return [f"{stack.line}: the root {stack.root}/ of stack {stack.name} is missing"]
    if stack.every_folder:
        for entry in sorted(os.listdir(root)):
            path = os.path.join(root, entry)
            if os.path.isdir(path) and entry not in stack.rank and any(source_files(path)):
                problems.append(f"{os.path.relpath(path, source_dir)}/: a folder of stack "
                                f"{stack.name} that has no place in the layers")
    for folder, row in stack.rank.items():
        directory = os.path.join(root, folder)
        if not os.path.isdir(directory):
            problems.append(f"{stack.line}: folder {folder}/ of stack {stack.name} is missing")
            continue
        for path in source_files(directory):
            shown = os.path.relpath(path, source_dir)
            for number, included in includes_of(path):
                if ".." in included.split("/"):
                    problems.append(f"{shown}:{number}: {folder}/ includes {included} by a "
                                    f"relative path; name the folder instead")
                    continue
                target = included.split("/", 1)[0] if "/" in included else None
                if target is None or target == folder or target not in stack.rank:
                    continue
                if stack.rank[target] == row:
                    problems.append(f"{shown}:{number}: {folder}/ includes {included}: "
                                    f"{target}/ stands beside {folder}/")
                elif stack.rank[target] < row:
                    problems.append(f"{shown}:{number}: {folder}/ includes {included}: "
                                    f"{target}/ is above {folder}/")
    return problems + word_problems(source_dir, stack, root)


def graph(source_dir, layers_file):
    """A Markdown table per stack: each folder and the folders it includes."""
    for stack in read_layers(layers_file):
        root = os.path.join(source_dir, stack.root)
        print(f"| {stack.name} folder | includes |\n|---|---|")
        for folder in sorted(stack.rank, key=lambda f: (stack.rank[f], f)):
            named = set()
            for path in source_files(os.path.join(root, folder)):
                for _, included in includes_of(path):
                    target = included.split("/", 1)[0]
                    if "/" in included and target != folder and target in stack.rank:
                        named.add(target)
            ordered = sorted(named, key=lambda f: (stack.rank[f], f))
            shown = ", ".join(f"`{t}/`" for t in ordered)
            print(f"| `{folder}/` | {shown or 'nothing'} |")
        print()
    return 0


def check(source_dir, layers_file):
    try:
        stacks = read_layers(layers_file)
    except (OSError, ValueError) as error:
        print(error, file=sys.stderr)
        return 1
    problems = [p for stack in stacks for p in check_stack(source_dir, stack)]
    for problem in problems:
        print(problem, file=sys.stderr)
    if problems:
        print(f"{len(problems)} problem(s) against the layers in {layers_file}", file=sys.stderr)
        return 1
    return 0


def write(path, text):
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "w", encoding="utf-8") as f:
        f.write(text)


def self_test(layers_file):
    """The check must pass a sound tree and name each planted fault."""
    ok = True
    with tempfile.TemporaryDirectory() as scratch:
        layers = os.path.join(scratch, "layers.txt")
        write(layers, "stack s src\nevery-folder\ntop\nleft right\nbase\nword Whole base/ top/a.cpp\n")
        write(os.path.join(scratch, "src/top/a.cpp"), '#include "left/b.h"\n#include "base/c.h"\nWhole* w;\n')
        write(os.path.join(scratch, "src/left/b.h"), '#include <vector>\n#include "base/c.h"\n')
        write(os.path.join(scratch, "src/right/sub/d.cpp"), '#include "right/e.h"\n')
        write(os.path.join(scratch, "src/base/c.h"), "#pragma once\nclass Whole;\n")
        write(os.path.join(scratch, "src/right/g.cpp"), 'const char* s = "Whole"; // Whole\nint Wholes;\n')
        if check(scratch, layers) != 0:
            print("self-test: a sound tree was refused", file=sys.stderr)
            ok = False
        planted = [
            ("src/base/c.h", '#pragma once\n#include "top/a.h"\n', "src/base/c.h:2", "above"),
            ("src/left/b.h", '// x\n#  include <right/e.h>\n', "src/left/b.h:2", "beside"),
            ("src/right/sub/d.cpp", '#include "../../top/a.h"\n', "d.cpp:1", "relative"),
            ("src/extra/f.cpp", "int f;\n", "src/extra/", "no place"),
            ("src/left/b.h", 'int a; Whole& b();\n', "src/left/b.h:1", "names Whole"),
        ]
        for path, text, where, word in planted:
            full = os.path.join(scratch, path)
            before = open(full, encoding="utf-8").read() if os.path.exists(full) else None
            write(full, text)
            err = io.StringIO()
            with contextlib.redirect_stderr(err):
                status = check(scratch, layers)
            if status != 1 or where not in err.getvalue() or word not in err.getvalue():
                print(f"self-test: {path} planted with {text!r} not reported as {where} "
                      f"({word}); got status {status} and {err.getvalue()!r}", file=sys.stderr)
                ok = False
            if before is None:
                os.remove(full)
            else:
                write(full, before)
    # The project's own layers file must at least read.
    try:
        read_layers(layers_file)
    except (OSError, ValueError) as error:
        print(f"self-test: {error}", file=sys.stderr)
        ok = False
    return 0 if ok else 1


def main(argv):
    if len(argv) == 3 and argv[1] == "--self-test":
        return self_test(argv[2])
    if len(argv) == 4 and argv[1] == "--graph":
        return graph(argv[2], argv[3])
    if len(argv) == 3:
        return check(argv[1], argv[2])
    print(__doc__.strip(), file=sys.stderr)
    return 2


if __name__ == "__main__":
    sys.exit(main(sys.argv))
