// SPDX-License-Identifier: AGPL-3.0-or-later
// The rules that keep the viewer's local server a door for its own page
// only: a secret token per run, the loopback address in the Host header
// (no DNS rebinding), same-origin state changes, bounded request rates, and
// file names that cannot become paths.
#pragma once

#include <chrono>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>

namespace vellora::viewer {

// 256 random bits from the kernel, as 64 hex digits. Throws std::runtime_error
// when the kernel gives none.
std::string NewToken();

// Compares in time independent of where the texts differ.
bool TokensEqual(std::string_view a, std::string_view b);

// The value of cookie `name` in a Cookie header.
std::optional<std::string> CookieValue(std::string_view header, std::string_view name);

// "127.0.0.1:PORT" or "localhost:PORT", exactly.
bool HostAllowed(std::string_view host, int port);
// The page's own origin: "http://" and an allowed Host.
bool OriginAllowed(std::string_view origin, int port);

// A token bucket: `burst` requests at once, `perSecond` after that.
class RateLimiter {
public:
    using Clock = std::chrono::steady_clock;
    RateLimiter(double burst, double perSecond) : burst_(burst), perSecond_(perSecond), tokens_(burst) {}
    bool allow(Clock::time_point now = Clock::now());

private:
    std::mutex mutex_;
    double burst_, perSecond_, tokens_;
    std::optional<Clock::time_point> last_;
};

// Why `name` cannot be a Save As file name (it must name a file in the
// opened file's directory, nothing more); empty when it can.
std::string FileNameProblem(std::string_view name);

}  // namespace vellora::viewer
