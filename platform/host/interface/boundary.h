// The edge between the plug-in and the host. Every table entry runs its
// body through HostOp: the call is traced, and any host error is caught
// here (the module is built without exceptions, so nothing may unwind
// through its frames), recorded to fail the script once the plug-in has
// returned, and answered with the entry's neutral result.
#pragma once

#include "model/host.h"

#include <string>

namespace vellora {

// One trace line: the operation, its arguments, and its result.
class TraceLine {
public:
    TraceLine(Host& host, const char* operation);
    ~TraceLine();
    TraceLine(const TraceLine&) = delete;
    TraceLine& operator=(const TraceLine&) = delete;

    TraceLine& arg(const std::string& text);
    void result(const std::string& text) { result_ = text; }
    void failed(const std::string& message) { result_ = "error: " + message; }

private:
    Host& host_;
    size_t slot_;
    std::string text_;
    std::string result_;
};

// Readable values for the trace.
std::string Quote(const char* text);
std::string Hex(uint32_t value);
std::string Num(int64_t value);
std::string Fx(Fixed value);
std::string ShowRect(const FixedRect& rect);     // [left bottom right top], as PDF writes it
std::string ShowDevice(const DeviceRect& rect);  // dev[left top right bottom]
std::string ShowAtom(Host& host, Atom atom);
std::string ShowCallback(HostCallback routine);
// Client data: small numbers as they are, the address of a registered
// tool record as such, other addresses as "ptr" (addresses vary from run to run).
std::string ShowData(const void* data);

// Gives back one reference the plug-in holds on `what`; releasing more often
// than acquiring is the plug-in's error, not a negative count.
void DropReference(int& refs, const std::string& what);

template <class R, class Body>
R HostOp(const char* operation, R neutral, Body&& body) noexcept {
    Host* host = Host::current();
    if (host == nullptr) return neutral;
    try {
        TraceLine line(*host, operation);
        try {
            return body(*host, line);
        } catch (const std::exception& e) {
            line.failed(e.what());
            host->recordPluginError(std::string(operation) + ": " + e.what());
        }
    } catch (...) {
        host->recordPluginError(std::string(operation) + ": the host failed unexpectedly");
    }
    return neutral;
}

// The same for an entry without a result.
template <class Body>
void HostCall(const char* operation, Body&& body) noexcept {
    HostOp<int>(operation, 0, [&](Host& host, TraceLine& line) {
        body(host, line);
        return 0;
    });
}

// A string argument the host needs: NULL is an error.
std::string NeedText(const char* text, const char* what);

}  // namespace vellora
