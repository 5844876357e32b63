// SPDX-License-Identifier: AGPL-3.0-or-later
// What the host prints for people to read: user text (script words, file
// names, answers, what the plug-in shows) may hold any bytes, and a terminal
// acts on control bytes. Every message line leaves the host through
// PrintMessage, which shows such bytes as escapes instead of sending them.
#pragma once

#include <iosfwd>
#include <string>
#include <string_view>

namespace vellora {

// The text with control bytes, invalid UTF-8 and the Unicode controls that
// reorder or break lines written as escapes: \0 \n \r \t \x1b \u202e.
// Printable text passes unchanged, so escaping twice changes nothing.
std::string PrintableText(std::string_view text);

// Writes one message line: the printable text, then a line break.
void PrintMessage(std::ostream& out, std::string_view line);

}  // namespace vellora
