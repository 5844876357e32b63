// SPDX-License-Identifier: AGPL-3.0-or-later
#include "interface/boundary.h"

#include "core/fixed_text.h"

#include <cstdio>

namespace vellora {

TraceLine::TraceLine(PluginSide& host, const char* operation, size_t number)
    : host_(host), on_(host.callTrace().writing()) {
    host.callTrace().called(number);
    if (!on_) return;
    slot_ = host.callTrace().begin();
    text_ = operation;
}

TraceLine::~TraceLine() {
    if (!on_) return;
    if (!result_.empty()) text_ += " -> " + result_;
    host_.callTrace().finish(slot_, text_);
}

std::string Quote(const char* text) {
    if (text == nullptr) return "NULL";
    std::string q = "\"";
    for (const char* p = text; *p != '\0'; ++p) {
        if (*p == '"' || *p == '\\') q += '\\';
        q += *p;
    }
    return q + "\"";
}

std::string Hex(uint32_t value) {
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, "0x%X", value);
    return buffer;
}

std::string ShowNumber(int64_t value) { return std::to_string(value); }
std::string ShowFixed(Fixed value) { return FixedToText(value); }
std::string ShowRect(const FixedRect& r) { return "[" + RectToText(r) + "]"; }

std::string ShowDevice(const DeviceRect& r) {
    return "dev[" + ShowNumber(r.left) + " " + ShowNumber(r.top) + " " + ShowNumber(r.right) + " " +
           ShowNumber(r.bottom) + "]";
}

std::string ShowAtom(PluginSide& host, Atom atom) {
    if (!host.atomKnown(atom)) return "atom(" + ShowNumber(atom) + ")";
    return "atom(" + ShowNumber(atom) + " " + Quote(host.atomText(atom).c_str()) + ")";
}

std::string ShowCallback(HostCallback routine) { return routine == 0 ? "cb(none)" : "cb(" + ShowNumber(routine) + ")"; }

void CheckRoutine(PluginSide& host, HostCallback routine) {
    if (routine != VX_NO_CALLBACK) host.checkCallback(routine);
}

std::string ShowData(const void* data) {
    auto value = reinterpret_cast<uintptr_t>(data);
    if (value < 0x10000) return ShowNumber(static_cast<int64_t>(value));
    return "ptr";
}

std::string NeedText(const char* text, const char* what) {
    if (text == nullptr) throw HostError(std::string("no ") + what + " given (NULL)");
    return text;
}

}  // namespace vellora
