// SPDX-License-Identifier: AGPL-3.0-or-later
#include "backend/pdf/object_text.h"

#include <cstdlib>
#include <string>
#include <vector>

namespace vellora::pdf {

namespace {

bool IsBlank(char c)
{
    return c == ' ' || c == '\n' || c == '\r' || c == '\t' || c == '\f' || c == '\0';
}

bool IsDelimiter(char c)
{
    return c == '(' || c == ')' || c == '<' || c == '>' || c == '[' || c == ']' || c == '{' ||
           c == '}' || c == '/' || c == '%';
}

enum class Kind { End, Bad, DictOpen, DictClose, ArrayOpen, ArrayClose, String, Name, Word, Brace };

struct Token {
    Kind kind = Kind::End;
    size_t begin = 0;
    size_t end = 0;
};

class Lexer {
public:
    Lexer(std::string_view text, size_t at) : t_(text), at_(at)
    {
    }

    size_t position() const
    {
        return at_;
    }
    void rewind(size_t at)
    {
        at_ = at;
    }

    Token next()
    {
        skipBlanks();
        Token tok{Kind::End, at_, at_};
        if (at_ >= t_.size())
            return tok;
        const char c = t_[at_];
        if (c == '<' && at_ + 1 < t_.size() && t_[at_ + 1] == '<') {
            at_ += 2;
            tok.kind = Kind::DictOpen;
        } else if (c == '>' && at_ + 1 < t_.size() && t_[at_ + 1] == '>') {
            at_ += 2;
            tok.kind = Kind::DictClose;
        } else if (c == '[' || c == ']' || c == '{' || c == '}') {
            ++at_;
            tok.kind = c == '[' ? Kind::ArrayOpen : c == ']' ? Kind::ArrayClose : Kind::Brace;
        } else if (c == '(') {
            tok.kind = literalString() ? Kind::String : Kind::Bad;
        } else if (c == '<') {
            const size_t close = t_.find('>', at_);
            tok.kind = close == std::string_view::npos ? Kind::Bad : Kind::String;
            at_ = close == std::string_view::npos ? t_.size() : close + 1;
        } else if (c == '/') {
            ++at_;
            regularRun();
            tok.kind = Kind::Name;
        } else if (c == ')' || c == '>') {
            ++at_;
            tok.kind = Kind::Bad;
        } else {
            regularRun();
            tok.kind = Kind::Word;
        }
        tok.end = at_;
        return tok;
    }

private:
    void skipBlanks()
    {
        while (at_ < t_.size()) {
            if (IsBlank(t_[at_])) {
                ++at_;
            } else if (t_[at_] == '%') {
                while (at_ < t_.size() && t_[at_] != '\n' && t_[at_] != '\r')
                    ++at_;
            } else {
                return;
            }
        }
    }

    void regularRun()
    {
        while (at_ < t_.size() && !IsBlank(t_[at_]) && !IsDelimiter(t_[at_]))
            ++at_;
    }

    // Balanced parentheses, backslash escapes.
    bool literalString()
    {
        int depth = 0;
        for (; at_ < t_.size(); ++at_) {
            const char c = t_[at_];
            if (c == '\\') {
                ++at_;
            } else if (c == '(') {
                ++depth;
            } else if (c == ')' && --depth == 0) {
                ++at_;
                return true;
            }
        }
        return false;
    }

    std::string_view t_;
    size_t at_;
};

bool IsUnsigned(std::string_view text, const Token& tok)
{
    if (tok.kind != Kind::Word || tok.begin == tok.end)
        return false;
    for (size_t i = tok.begin; i < tok.end; ++i)
        if (text[i] < '0' || text[i] > '9')
            return false;
    return true;
}

bool IsWord(std::string_view text, const Token& tok, std::string_view word)
{
    return tok.kind == Kind::Word && text.substr(tok.begin, tok.end - tok.begin) == word;
}

// Skips one object (a reference "N G R" counts as one); false when the text
// ends or breaks off inside it.
bool SkipObject(std::string_view text, Lexer& lex)
{
    const Token first = lex.next();
    switch (first.kind) {
    case Kind::DictOpen:
    case Kind::ArrayOpen: {
        std::vector<Kind> open{first.kind};
        while (!open.empty()) {
            const Token t = lex.next();
            if (t.kind == Kind::End || t.kind == Kind::Bad || t.kind == Kind::Brace)
                return false;
            if (t.kind == Kind::DictOpen || t.kind == Kind::ArrayOpen) {
                open.push_back(t.kind);
            } else if (t.kind == Kind::DictClose || t.kind == Kind::ArrayClose) {
                const Kind want = t.kind == Kind::DictClose ? Kind::DictOpen : Kind::ArrayOpen;
                if (open.back() != want)
                    return false;
                open.pop_back();
            }
        }
        return true;
    }
    case Kind::String:
    case Kind::Name:
        return true;
    case Kind::Word: {
        if (!IsUnsigned(text, first))
            return true;
        const size_t after = lex.position();
        const Token gen = lex.next();
        const Token r = lex.next();
        if (!(IsUnsigned(text, gen) && IsWord(text, r, "R")))
            lex.rewind(after);
        return true;
    }
    default:
        return false;
    }
}

// A name's characters with #xx escapes decoded, without the slash.
std::string NameText(std::string_view text, const Token& tok)
{
    std::string name;
    for (size_t i = tok.begin + 1; i < tok.end; ++i) {
        const auto hex = [](char c) {
            return c >= '0' && c <= '9'   ? c - '0'
                   : c >= 'a' && c <= 'f' ? c - 'a' + 10
                   : c >= 'A' && c <= 'F' ? c - 'A' + 10
                                          : -1;
        };
        if (text[i] == '#' && i + 2 < tok.end && hex(text[i + 1]) >= 0 && hex(text[i + 2]) >= 0) {
            name += char(hex(text[i + 1]) * 16 + hex(text[i + 2]));
            i += 2;
        } else {
            name += text[i];
        }
    }
    return name;
}

}  // namespace

std::optional<size_t> ObjectHeaderAt(std::string_view text, size_t at, int num, int gen)
{
    Lexer lex(text, at);
    const Token n = lex.next();
    const Token g = lex.next();
    const Token obj = lex.next();
    if (!IsUnsigned(text, n) || !IsUnsigned(text, g) || !IsWord(text, obj, "obj"))
        return std::nullopt;
    if (text.substr(n.begin, n.end - n.begin) != std::to_string(num) ||
        text.substr(g.begin, g.end - g.begin) != std::to_string(gen))
        return std::nullopt;
    return obj.end;
}

std::optional<size_t> ObjectInStreamAt(const std::string& data, size_t first, int index, int num)
{
    const char* at = data.c_str();
    long objectNumber = -1, offset = -1;
    for (int i = 0; i <= index && *at; ++i) {
        char* end = nullptr;
        objectNumber = std::strtol(at, &end, 10);
        offset = std::strtol(end, &end, 10);
        at = end;
    }
    const size_t start = first + size_t(offset);
    if (objectNumber != num || offset < 0 || start >= data.size())
        return std::nullopt;
    return start;
}

std::optional<TextSpan> DictionaryAt(std::string_view text, size_t at)
{
    Lexer lex(text, at);
    const Token first = lex.next();
    if (first.kind != Kind::DictOpen)
        return std::nullopt;
    lex.rewind(first.begin);
    if (!SkipObject(text, lex))
        return std::nullopt;
    return TextSpan{first.begin, lex.position()};
}

std::optional<std::string> WithKeyValue(std::string_view dict, std::string_view key,
                                        std::string_view value)
{
    // Spans to replace: the whole pair when removing, the value otherwise.
    std::vector<TextSpan> hits;
    Lexer lex(dict, 0);
    lex.next();  // "<<"
    size_t close = 0;
    for (;;) {
        const Token k = lex.next();
        if (k.kind == Kind::DictClose) {
            close = k.begin;
            break;
        }
        if (k.kind != Kind::Name)
            return std::nullopt;
        Lexer peek(dict, lex.position());
        const size_t valueBegin = peek.next().begin;
        if (!SkipObject(dict, lex))
            return std::nullopt;
        if (NameText(dict, k) == key)
            hits.push_back(value.empty() ? TextSpan{k.begin, lex.position()}
                                         : TextSpan{valueBegin, lex.position()});
    }
    std::string out;
    size_t from = 0;
    for (const TextSpan& hit : hits) {
        out.append(dict.substr(from, hit.begin - from));
        if (!value.empty())
            out.append(value);
        from = hit.end;
    }
    if (hits.empty() && !value.empty()) {
        out.append(dict.substr(0, close));
        const bool spaced = close > 0 && IsBlank(dict[close - 1]);
        out.append(spaced ? "/" : " /").append(key).append(" ").append(value).append(" ");
        from = close;
    }
    out.append(dict.substr(from));
    return out;
}

bool HoldsStrings(std::string_view dict)
{
    Lexer lex(dict, 0);
    for (Token t = lex.next(); t.kind != Kind::End; t = lex.next())
        if (t.kind == Kind::String || t.kind == Kind::Bad)
            return true;
    return false;
}

std::vector<std::string_view> NumbersIn(std::string_view text)
{
    std::vector<std::string_view> numbers;
    Lexer lex(text, 0);
    for (Token t = lex.next(); t.kind != Kind::End; t = lex.next()) {
        const std::string_view word = text.substr(t.begin, t.end - t.begin);
        if (t.kind == Kind::Word && !word.empty() &&
            std::string_view("0123456789+-.").find(word[0]) != std::string_view::npos)
            numbers.push_back(word);
    }
    return numbers;
}

std::vector<std::pair<long, long>> ReferencesIn(std::string_view text)
{
    std::vector<std::pair<long, long>> references;
    Lexer lex(text, 0);
    const auto value = [text](const Token& t) {
        return std::strtol(std::string(text.substr(t.begin, t.end - t.begin)).c_str(), nullptr, 10);
    };
    Token before[2];
    for (Token t = lex.next(); t.kind != Kind::End; t = lex.next()) {
        if (IsWord(text, t, "R") && IsUnsigned(text, before[0]) && IsUnsigned(text, before[1]))
            references.emplace_back(value(before[0]), value(before[1]));
        before[0] = before[1];
        before[1] = t;
    }
    return references;
}

}  // namespace vellora::pdf
