// SPDX-License-Identifier: AGPL-3.0-or-later
#include "viewer/input_form.h"

#include "viewer/web_security.h"

#include <charconv>

namespace vellora::viewer {

namespace {

const std::map<std::string, UserEvent::Kind>& Kinds() {
    static const std::map<std::string, UserEvent::Kind> kinds = {
        {"press", UserEvent::Press},
        {"move", UserEvent::Move},
        {"release", UserEvent::Release},
        {"hover", UserEvent::Hover},
        {"menu", UserEvent::Menu},
        {"menu-open", UserEvent::MenuOpen},
        {"button", UserEvent::Button},
        {"answer", UserEvent::Answer},
        {"dialog-click", UserEvent::DialogClick},
        {"dialog-key", UserEvent::DialogKey},
        {"stop", UserEvent::Stop},
        {"goto", UserEvent::Goto},
        {"zoom", UserEvent::Zoom},
        {"activate", UserEvent::Activate},
        {"close", UserEvent::Close},
        {"save-as", UserEvent::SaveAs},
        {"set-region", UserEvent::SetRegion},
        {"box-settings", UserEvent::BoxSettings},
        {"open", UserEvent::Open},
        {"quit", UserEvent::Quit},
        {"hello", UserEvent::PageGone},  // a page loaded: any earlier page is gone
        {"thumbnails", UserEvent::Thumbnails},
        {"overlay-set", UserEvent::OverlaySet},
    };
    return kinds;
}

const std::string& Field(const FormFields& f, const char* name) {
    auto found = f.find(name);
    if (found == f.end()) throw BadRequest(std::string("the field \"") + name + "\" is missing");
    return found->second;
}

int Integer(const FormFields& f, const char* name, int low, int high) {
    const std::string& text = Field(f, name);
    int v = 0;
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), v);
    if (ec != std::errc() || end != text.data() + text.size() || v < low || v > high)
        throw BadRequest(std::string("the field \"") + name + "\" must be a whole number from " + std::to_string(low) +
                         " to " + std::to_string(high));
    return v;
}

std::string Text(const FormFields& f, const char* name, size_t longest) {
    const std::string& text = Field(f, name);
    if (text.empty() || text.size() > longest)
        throw BadRequest(std::string("the field \"") + name + "\" is empty or too long");
    return text;
}

// A check box: present and "1" when ticked, absent otherwise.
bool Ticked(const FormFields& f, const char* name) { return f.count(name) != 0 && Field(f, name) == "1"; }

}  // namespace

UserEvent ParseUserEvent(const FormFields& f) {
    auto kind = Kinds().find(Field(f, "kind"));
    if (kind == Kinds().end()) throw BadRequest("unknown kind of input \"" + Field(f, "kind") + "\"");
    UserEvent e;
    e.kind = kind->second;
    switch (e.kind) {
    case UserEvent::Press:
    case UserEvent::Move:
    case UserEvent::Release:
    case UserEvent::Hover:
        e.x = Integer(f, "x", -32768, 32767);
        e.y = Integer(f, "y", -32768, 32767);
        e.modifiers = static_cast<uint16_t>(Integer(f, "mods", 0, 0xFFFF));
        break;
    case UserEvent::Menu:
    case UserEvent::Button:
        e.text = Text(f, "name", 256);
        break;
    case UserEvent::Activate:
        // By number: a window whose name is not text can be chosen too.
        if (f.count("number") != 0)
            e.number = Integer(f, "number", 1, 1 << 20);
        else
            e.text = Text(f, "name", 256);
        break;
    case UserEvent::MenuOpen:
        e.text = Text(f, "name", 256);
        e.number = Integer(f, "request", 0, 1 << 30);
        break;
    case UserEvent::Answer:
    case UserEvent::DialogClick:
        e.modal = Integer(f, "modal", 1, 1 << 30);
        e.number = Integer(f, "number", 0, 0xFFFF);
        break;
    case UserEvent::DialogKey:
        e.modal = Integer(f, "modal", 1, 1 << 30);
        e.text = Text(f, "key", 16);
        if (e.text != "escape" && e.text != "enter" && e.text != "close")
            throw BadRequest("unknown key \"" + e.text + "\"");
        break;
    case UserEvent::Goto:
        e.number = Integer(f, "page", 1, 1 << 30);
        break;
    case UserEvent::Zoom:
        e.number = Integer(f, "percent", 1, 6400);
        break;
    case UserEvent::SaveAs:
        e.text = Text(f, "name", 255);
        if (std::string why = FileNameProblem(e.text); !why.empty()) throw BadRequest(why);
        e.flag = Ticked(f, "replace");
        break;
    case UserEvent::SetRegion:
        e.text = Text(f, "region", 200);
        break;
    case UserEvent::BoxSettings:
        e.text = Text(f, "margin", 200);
        e.threshold = Text(f, "threshold", 40);
        e.flag = Ticked(f, "dark-edges");
        break;
    case UserEvent::Open:
        e.text = Text(f, "path", 4096);
        break;
    case UserEvent::Thumbnails:
        e.number = Integer(f, "first", 1, 1 << 24);
        e.x = Integer(f, "last", 0, 1 << 24);
        if (e.x < e.number - 1 || e.x - e.number >= 256)
            throw BadRequest("the field \"last\" must be from \"first\" minus 1 to \"first\" plus 255");
        break;
    case UserEvent::OverlaySet:
        e.text = Text(f, "set", 8);
        if (e.text != "same" && e.text != "all" && e.text != "odd" && e.text != "even")
            throw BadRequest("the overlay's pages are \"same\", \"all\", \"odd\" or \"even\"");
        break;
    case UserEvent::WorkDone:
        throw BadRequest("unknown kind of input");
    case UserEvent::Stop:
    case UserEvent::Close:
    case UserEvent::Quit:
    case UserEvent::PageGone:
        break;
    }
    return e;
}

}  // namespace vellora::viewer
