// SPDX-License-Identifier: AGPL-3.0-or-later
#include "viewer/web_security.h"

#include <algorithm>
#include <stdexcept>

#include <sys/random.h>

namespace vellora::viewer {

std::string NewToken() {
    unsigned char bytes[32];
    size_t got = 0;
    while (got < sizeof bytes) {
        ssize_t n = getrandom(bytes + got, sizeof bytes - got, 0);
        if (n <= 0) throw std::runtime_error("the system gave no random bytes for the access token");
        got += static_cast<size_t>(n);
    }
    static const char digits[] = "0123456789abcdef";
    std::string token;
    for (unsigned char b : bytes) {
        token += digits[b >> 4];
        token += digits[b & 15];
    }
    return token;
}

bool TokensEqual(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    unsigned char diff = 0;
    for (size_t i = 0; i < a.size(); ++i) diff |= static_cast<unsigned char>(a[i] ^ b[i]);
    return diff == 0;
}

std::optional<std::string> CookieValue(std::string_view header, std::string_view name) {
    while (!header.empty()) {
        size_t end = header.find(';');
        std::string_view pair = header.substr(0, end);
        header = end == std::string_view::npos ? std::string_view() : header.substr(end + 1);
        while (!pair.empty() && pair.front() == ' ') pair.remove_prefix(1);
        size_t eq = pair.find('=');
        if (eq != std::string_view::npos && pair.substr(0, eq) == name) return std::string(pair.substr(eq + 1));
    }
    return std::nullopt;
}

bool HostAllowed(std::string_view host, int port) {
    std::string p = ":" + std::to_string(port);
    return host == "127.0.0.1" + p || host == "localhost" + p;
}

bool OriginAllowed(std::string_view origin, int port) {
    constexpr std::string_view scheme = "http://";
    return origin.substr(0, scheme.size()) == scheme && HostAllowed(origin.substr(scheme.size()), port);
}

bool RateLimiter::allow(Clock::time_point now) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (last_) {
        double seconds = std::chrono::duration<double>(now - *last_).count();
        tokens_ = std::min(burst_, tokens_ + std::max(0.0, seconds) * perSecond_);
    }
    last_ = now;
    if (tokens_ < 1.0) return false;
    tokens_ -= 1.0;
    return true;
}

std::string FileNameProblem(std::string_view name) {
    if (name.empty()) return "the file name is empty";
    if (name.size() > 255) return "the file name is longer than 255 bytes";
    if (name == "." || name == "..") return "\"" + std::string(name) + "\" is not a file name";
    if (name.find('/') != std::string_view::npos || name.find('\\') != std::string_view::npos)
        return "give a file name, not a path: it is saved beside the opened file";
    bool control =
        std::any_of(name.begin(), name.end(), [](char c) { return static_cast<unsigned char>(c) < 0x20 || c == 0x7F; });
    if (control) return "the file name holds a control character";
    if (name.front() == '.') return "the file name may not start with a dot";
    return {};
}

}  // namespace vellora::viewer
