// SPDX-License-Identifier: AGPL-3.0-or-later
#include "script/tokenizer.h"

namespace vellora {

std::vector<std::string> Tokenize(std::string_view line) {
    std::vector<std::string> words;
    size_t i = 0;
    auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r'; };
    while (true) {
        while (i < line.size() && blank(line[i])) ++i;
        if (i >= line.size() || line[i] == '#') break;
        std::string word;
        bool quoted = false;
        // A word runs to the next blank outside quotes; quoted parts may sit
        // inside a word ("a b"c is the word `a bc`).
        while (i < line.size() && (quoted || !blank(line[i]))) {
            char c = line[i++];
            if (!quoted && c == '#') {
                --i;
                break;
            }
            if (c == '"') {
                quoted = !quoted;
                continue;
            }
            if (quoted && c == '\\') {
                if (i >= line.size()) throw ScriptError("a backslash ends the line inside quotes");
                char next = line[i++];
                // A line break cannot stand in a line: file names that hold one come escaped.
                if (next == 'n' || next == 'r') {
                    word += next == 'n' ? '\n' : '\r';
                    continue;
                }
                if (next != '"' && next != '\\')
                    throw ScriptError(std::string("unknown escape \\") + next +
                                      " (only \\\", \\\\, \\n and \\r are known)");
                word += next;
                continue;
            }
            word += c;
        }
        if (quoted) throw ScriptError("a quote is not closed");
        words.push_back(std::move(word));
        if (i < line.size() && line[i] == '#') break;
    }
    return words;
}

}  // namespace vellora
