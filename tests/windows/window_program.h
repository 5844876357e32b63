// SPDX-License-Identifier: AGPL-3.0-or-later
// The frame of each window check program: the module named on the command
// line registered, a top-level owner window for its dialogs, and an error
// told on standard error with exit status 1.
#pragma once

#include <vxwin32/standin.h>

#include <cstdio>
#include <exception>

template <class Body>
int RunWindowProgram(int argc, char** argv, const char* name, Body body) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s MODULE\n", name);
        return 2;
    }
    try {
        const HINSTANCE module = vxwin32::RegisterModuleFile(argv[1]);
        const HWND owner = vxwin32::CreateTopLevelWindow("owner", RECT{100, 50, 1101, 850});
        body(module, owner);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s: %s\n", name, e.what());
        return 1;
    }
    return 0;
}
