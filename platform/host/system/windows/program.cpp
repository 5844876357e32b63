// SPDX-License-Identifier: AGPL-3.0-or-later
#include "system/program.h"

#include "system/windows/wide_text.h"

#include <cstdio>

#include <fcntl.h>
#include <io.h>
#include <windows.h>

namespace vellora::system {

const char* const kPathSeparators = "/\\";
const char* const kModuleFileName = "trimvex.dll";

std::string ProgramDirectory() {
    std::wstring path(32768, L'\0');
    const DWORD length = GetModuleFileNameW(nullptr, path.data(), DWORD(path.size()));
    if (length == 0 || length >= path.size()) return std::string();
    path.resize(length);
    const auto slash = path.find_last_of(L"\\/");
    return slash == std::wstring::npos ? std::string() : Utf8(path.substr(0, slash));
}

bool StandardErrorIsTerminal() { return _isatty(_fileno(stderr)) != 0; }
bool StandardOutputIsTerminal() { return _isatty(_fileno(stdout)) != 0; }

long CurrentProcessId() { return long(GetCurrentProcessId()); }

void UseBinaryStandardStreams() {
    _setmode(_fileno(stdout), _O_BINARY);
    _setmode(_fileno(stderr), _O_BINARY);
}

}  // namespace vellora::system
