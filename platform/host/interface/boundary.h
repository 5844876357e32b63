// SPDX-License-Identifier: AGPL-3.0-or-later
// The edge between the plug-in and the host. Every table entry runs its
// body through HostOp: the call is traced, and any host error is caught
// here (the module is built without exceptions, so nothing may unwind
// through its frames), recorded to fail the script once the plug-in has
// returned, and answered with the entry's neutral result.
#pragma once

#include "model/host.h"

#include <string>
#include <string_view>
#include <type_traits>

namespace vellora {

// Values the trace shows in the host's notation where the type alone does
// not say how: the text is made only when a trace is written.
struct Quoted {
    const char* text;  // "text", escaped; NULL as such
};
struct AsFixed {
    Fixed value;
};
struct AsHex {
    uint32_t value;
};
struct AsAtom {
    Atom atom;
};
struct AsCallback {
    HostCallback routine;
};
// Client data: small numbers as they are, other addresses as "ptr"
// (addresses vary from run to run).
struct AsData {
    const void* data;
};

// One trace line: the operation, its arguments, and its result. Without a
// trace file, arguments and results are not put into text at all.
class TraceLine {
public:
    // `number`: the operation's OperationNumber.
    TraceLine(PluginSide& host, const char* operation, size_t number);
    ~TraceLine();
    TraceLine(const TraceLine&) = delete;
    TraceLine& operator=(const TraceLine&) = delete;

    // A value: a handle, a whole number, a page or device rectangle, one of
    // the wrappers above, text as it stands, or a function giving the text.
    template <class T>
    TraceLine& arg(const T& value) {
        if (on_) {
            text_ += ' ';
            put(text_, value);
        }
        return *this;
    }
    template <class T>
    void result(const T& value) {
        if (!on_) return;
        result_.clear();
        put(result_, value);
    }
    void failed(const std::string& message) {
        if (on_) result_ = "error: " + message;
    }

private:
    template <class T>
    void put(std::string& to, const T& value) const;

    PluginSide& host_;
    bool on_;
    size_t slot_ = 0;
    std::string text_;
    std::string result_;
};

// Readable values for the trace.
std::string Quote(const char* text);
std::string Hex(uint32_t value);
std::string ShowNumber(int64_t value);
std::string ShowFixed(Fixed value);
std::string ShowRect(const FixedRect& rect);     // [left bottom right top], as PDF writes it
std::string ShowDevice(const DeviceRect& rect);  // dev[left top right bottom]
std::string ShowAtom(PluginSide& host, Atom atom);
std::string ShowCallback(HostCallback routine);
std::string ShowData(const void* data);

// Throws HostError unless `routine` is VX_NO_CALLBACK or a callback the
// plug-in made.
void CheckRoutine(PluginSide& host, HostCallback routine);

template <class T>
void TraceLine::put(std::string& to, const T& value) const {
    if constexpr (std::is_invocable_v<const T&>) {
        to += value();
    } else if constexpr (std::is_convertible_v<const T&, std::string_view>) {
        to += std::string_view(value);
    } else if constexpr (std::is_same_v<T, FixedRect>) {
        to += ShowRect(value);
    } else if constexpr (std::is_same_v<T, DeviceRect>) {
        to += ShowDevice(value);
    } else if constexpr (std::is_same_v<T, Quoted>) {
        to += Quote(value.text);
    } else if constexpr (std::is_same_v<T, AsFixed>) {
        to += ShowFixed(value.value);
    } else if constexpr (std::is_same_v<T, AsHex>) {
        to += Hex(value.value);
    } else if constexpr (std::is_same_v<T, AsAtom>) {
        to += ShowAtom(host_, value.atom);
    } else if constexpr (std::is_same_v<T, AsCallback>) {
        to += ShowCallback(value.routine);
    } else if constexpr (std::is_same_v<T, AsData>) {
        to += ShowData(value.data);
    } else if constexpr (std::is_integral_v<T>) {
        to += ShowNumber(static_cast<int64_t>(value));
    } else {
        static_assert(std::is_pointer_v<T>, "the trace shows no such value");
        to += host_.describe(value);
    }
}

// Gives back one reference the plug-in holds on `what`; releasing more often
// than acquiring is the plug-in's error, not a negative count.
// `what` gives the holder's name for the message.
template <class Name>
void DropReference(int& refs, const Name& what) {
    if (refs <= 0) throw HostError(what() + " was released more often than acquired");
    --refs;
}

template <class R, class Body>
R HostOp(const char* operation, R neutral, Body&& body) noexcept {
    PluginSide* host = Host::current();
    if (host == nullptr) return neutral;
    // Each call site names one operation; its number is found once.
    static const char* const name = operation;
    static const size_t number = OperationNumber(operation);
    try {
        TraceLine line(*host, operation, name == operation ? number : OperationNumber(operation));
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
    HostOp<int>(operation, 0, [&](PluginSide& host, TraceLine& line) {
        body(host, line);
        return 0;
    });
}

// A string argument the host needs: NULL is an error.
std::string NeedText(const char* text, const char* what);

}  // namespace vellora
