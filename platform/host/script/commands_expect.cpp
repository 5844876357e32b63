// SPDX-License-Identifier: AGPL-3.0-or-later
// Expectations: what the user sees, checked.
#include "script/interpreter.h"

#include "core/fixed_text.h"
#include "core/plugin_names.h"

#include <vxwin32/standin.h>

#include <cctype>
#include <cstdio>

namespace vellora {

namespace {

[[noreturn]] void Mismatch(const std::string& what, const std::string& seen, const std::string& expected) {
    throw ScriptError(what + " is " + seen + ", expected " + expected);
}

std::string Quoted(const std::string& s) { return "\"" + s + "\""; }

bool SameRect(const FixedRect& a, const FixedRect& b) {
    return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

void ExpectBox(Interpreter& in, Args& a, const char* what, FixedRect (DocumentBackend::*read)(int) const) {
    int index = in.pageIndex(a);
    FixedRect expected = a.rect(what);
    FixedRect seen = (in.activeDocument().backend().*read)(index);
    if (!SameRect(seen, expected))
        Mismatch(std::string("the ") + what + " of page " + std::to_string(index + 1), RectToText(seen),
                 RectToText(expected));
}

enum class ItemTest { Enabled, Marked };

// Whether a menu item or, failing that, a toolbar button passes its test.
void ExpectTest(Interpreter& in, Args& a, ItemTest test) {
    std::string name = a.text("name");
    bool expected = a.flag("expected value");
    ScriptSide& h = in.host();
    auto passes = [&](auto& shown) { return test == ItemTest::Enabled ? h.enabled(shown) : h.marked(shown); };
    bool seen;
    if (MenuItemObj* i = h.findItem(name))
        seen = passes(*i);
    else if (ButtonObj* b = h.findButton(name))
        seen = passes(*b);
    else
        throw ScriptError("no menu item or toolbar button is named " + Quoted(name));
    const char* what = test == ItemTest::Enabled ? "enabled" : "marked";
    if (seen != expected) Mismatch(Quoted(name) + " " + what, seen ? "1" : "0", expected ? "1" : "0");
}

std::string Joined(const std::vector<std::string>& words) {
    std::string all;
    for (const std::string& w : words) all += (all.empty() ? "" : " ") + w;
    return all;
}

}  // namespace

void AddExpectCommands(std::map<std::string, Command>& t) {
    AddCommand(t, "expect alert", "expect alert \"TEXT\"", 1, 1, [](Interpreter& in, Args& a) {
        std::string expected = a.text("text");
        ScriptSide& h = in.host();
        const AlertShown* next = h.takeNextAlert();
        if (next == nullptr) throw ScriptError("no alert was shown; expected " + Quoted(expected));
        const AlertShown& shown = *next;
        if (shown.text != expected) Mismatch("the next alert", Quoted(shown.text), Quoted(expected));
    });
    AddCommand(t, "expect no-alert", "expect no-alert", 0, 0, [](Interpreter& in, Args&) {
        ScriptSide& h = in.host();
        if (const AlertShown* next = h.nextAlert()) throw ScriptError("an alert was shown: " + Quoted(next->text));
    });
    AddCommand(t, "expect crop", "expect crop N L B R T", 5, 5,
               [](Interpreter& in, Args& a) { ExpectBox(in, a, "crop box", &DocumentBackend::cropBox); });
    AddCommand(t, "expect media", "expect media N L B R T", 5, 5,
               [](Interpreter& in, Args& a) { ExpectBox(in, a, "media box", &DocumentBackend::mediaBox); });
    AddCommand(t, "expect enabled", "expect enabled NAME 0|1", 2, 2,
               [](Interpreter& in, Args& a) { ExpectTest(in, a, ItemTest::Enabled); });
    AddCommand(t, "expect marked", "expect marked NAME 0|1", 2, 2,
               [](Interpreter& in, Args& a) { ExpectTest(in, a, ItemTest::Marked); });
    AddCommand(t, "expect items", "expect items MENU NAME...", 1, SIZE_MAX, [](Interpreter& in, Args& a) {
        std::string name = a.text("menu name");
        MenuObj* menu = in.host().findMenu(name);
        if (menu == nullptr) throw ScriptError("no menu is named " + Quoted(name));
        std::vector<std::string> seen;
        for (const MenuItemObj* i : menu->items) seen.push_back(Quoted(i->name));
        std::vector<std::string> expected;
        for (const std::string& w : a.rest()) expected.push_back(Quoted(w));
        if (seen != expected) Mismatch("menu " + Quoted(name) + " holding", Joined(seen), Joined(expected));
    });
    AddCommand(t, "expect buttons", "expect buttons NAME...", 0, SIZE_MAX, [](Interpreter& in, Args& a) {
        std::vector<std::string> seen;
        for (const ButtonObj* b : in.host().buttons()) seen.push_back(Quoted(b->nameText));
        std::vector<std::string> expected;
        for (const std::string& w : a.rest()) expected.push_back(Quoted(w));
        if (seen != expected) Mismatch("the toolbar holding", Joined(seen), Joined(expected));
    });
    AddCommand(t, "expect region", "expect region none|L B R T", 1, 4, [](Interpreter& in, Args& a) {
        std::optional<RegionSeen> seen = in.host().region();
        std::string shown = seen ? RectToText(seen->rect) : "none";
        if (a.peek() == "none") {
            a.text("none");
            if (seen) Mismatch("the region", shown, "none");
            return;
        }
        FixedRect expected = a.rect("region");
        if (!seen || !SameRect(seen->rect, expected)) Mismatch("the region", shown, RectToText(expected));
    });
    AddCommand(t, "expect cursor", "expect cursor crop|scissors|standard", 1, 1, [](Interpreter& in, Args& a) {
        std::string expected = a.text("cursor");
        if (expected != "crop" && expected != "scissors" && expected != "standard")
            a.fail("unknown cursor \"" + expected + "\"");
        HostCursorHandle cursor = in.host().cursor();
        std::string seen = "none";
        if (cursor != nullptr) {
            auto info = vxwin32::DescribeCursor(cursor);
            if (!info)
                seen = "unknown";
            else if (info->system)
                seen = "standard";
            else if (info->resourceId == plugin::kCropCursorId)
                seen = "crop";
            else if (info->resourceId == plugin::kScissorsCursorId)
                seen = "scissors";
            else
                seen = "cursor " + std::to_string(info->resourceId);
        }
        if (seen != expected) Mismatch("the cursor", seen, expected);
    });
    AddCommand(t, "expect active-tool", "expect active-tool NAME|none", 1, 1, [](Interpreter& in, Args& a) {
        std::string expected = a.text("tool name");
        ScriptSide& h = in.host();
        ToolRecord* tool = h.activeTool();
        std::string seen = tool == nullptr ? "none" : h.toolName(tool);
        if (seen != expected) Mismatch("the active tool", Quoted(seen), Quoted(expected));
    });

    // Checks beyond what a user sees, for the host's own tests.
    AddCommand(t, "expect progress", "expect progress \"RECORD...\"", 1, 1, [](Interpreter& in, Args& a) {
        std::string expected = a.text("records");
        ScriptSide& h = in.host();
        std::vector<std::string> records;
        for (const ProgressRecord& r : h.takeProgressRecords()) records.push_back(r.text());
        std::string seen = Joined(records);
        if (seen != expected) Mismatch("the progress since the last check", Quoted(seen), Quoted(expected));
    });
    AddCommand(t, "expect calls", "expect calls OPERATION N", 2, 2, [](Interpreter& in, Args& a) {
        std::string op = a.text("operation");
        int expected = static_cast<int>(a.integer("count", 0, 1000000000));
        int seen = in.host().callCount(op);
        if (seen != expected)
            Mismatch("the number of " + op + " calls in the last action", std::to_string(seen),
                     std::to_string(expected));
    });
    AddCommand(t, "expect dialog-label", "expect dialog-label ID \"TEXT\"", 2, 2, [](Interpreter& in, Args& a) {
        int id = static_cast<int>(a.integer("control id", 0, 65535));
        std::string expected = a.text("text");
        (void)in;
        auto dialog = vxwin32::LastDialog();
        if (!dialog) throw ScriptError("no dialog has been shown");
        for (const vxwin32::ControlState& c : dialog->controls)
            if (c.id == id) {
                if (c.text != expected)
                    Mismatch("the text of control " + std::to_string(id), Quoted(c.text), Quoted(expected));
                return;
            }
        throw ScriptError("the last dialog has no control " + std::to_string(id));
    });
    AddCommand(t, "expect dialog-centred", "expect dialog-centred", 0, 0, [](Interpreter& in, Args&) {
        auto dialog = vxwin32::LastDialog();
        if (!dialog) throw ScriptError("no dialog has been shown");
        const HostConfig& c = in.host().config();
        const RECT& d = dialog->windowRect;
        // Halving each extent may lose a pixel on either side.
        int dx = (d.left + d.right) - (c.windowLeft + c.windowRight);
        int dy = (d.top + d.bottom) - (c.windowTop + c.windowBottom);
        if (dx < -2 || dx > 2 || dy < -2 || dy > 2)
            throw ScriptError("the dialog stands at " + std::to_string(d.left) + " " + std::to_string(d.top) + " " +
                              std::to_string(d.right) + " " + std::to_string(d.bottom) +
                              ", not centred over the main window");
    });
    AddCommand(t, "expect page-count", "expect page-count N", 1, 1, [](Interpreter& in, Args& a) {
        int expected = static_cast<int>(a.integer("count", 0, 1000000000));
        int seen = in.activeDocument().pageCount();
        if (seen != expected) Mismatch("the page count", std::to_string(seen), std::to_string(expected));
    });
    AddCommand(t, "expect page", "expect page N", 1, 1, [](Interpreter& in, Args& a) {
        int expected = static_cast<int>(a.integer("page number", 1, 1000000000));
        int seen = in.activeView().pageIndex() + 1;
        if (seen != expected) Mismatch("the page shown", std::to_string(seen), std::to_string(expected));
    });
    AddCommand(t, "expect modified", "expect modified 0|1", 1, 1, [](Interpreter& in, Args& a) {
        bool expected = a.flag("expected value");
        bool seen = in.activeDocument().modified();
        if (seen != expected) Mismatch("the modified flag", seen ? "1" : "0", expected ? "1" : "0");
    });
    AddCommand(t, "expect window", "expect window NAME|none", 1, 1, [](Interpreter& in, Args& a) {
        std::string expected = a.text("window name");
        DocWindow* w = in.host().activeWindow();
        std::string seen = w == nullptr ? "none" : w->name();
        if (seen != expected) Mismatch("the active window", Quoted(seen), Quoted(expected));
    });
    // What the user sees at one device pixel of the active view, as drawn
    // (page, outlines and all); the colour is written RRGGBB in hex.
    AddCommand(t, "expect pixel", "expect pixel X Y RRGGBB", 3, 3, [](Interpreter& in, Args& a) {
        int x = static_cast<int>(a.integer("x", 0, 32767));
        int y = static_cast<int>(a.integer("y", 0, 32767));
        std::string expected = a.text("colour");
        if (expected.size() != 6 || expected.find_first_not_of("0123456789abcdefABCDEF") != std::string::npos)
            a.fail("the colour must be six hex digits RRGGBB, not " + Quoted(expected));
        PageView& view = in.activeView();
        in.host().drawNow(view);
        Raster raster = view.rasterise();
        if (x >= raster.width || y >= raster.height)
            a.fail("the point " + std::to_string(x) + "," + std::to_string(y) + " is outside the view (" +
                   std::to_string(raster.width) + "x" + std::to_string(raster.height) + ")");
        uint32_t p = raster.at(x, y);  // 0xAABBGGRR
        char seen[8];
        std::snprintf(seen, sizeof seen, "%02X%02X%02X", p & 0xFFu, (p >> 8) & 0xFFu, (p >> 16) & 0xFFu);
        for (char& c : expected) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        if (expected != seen) Mismatch("the pixel at " + std::to_string(x) + "," + std::to_string(y), seen, expected);
    });
    AddCommand(t, "expect handshake", "expect handshake VERSION", 1, 1, [](Interpreter& in, Args& a) {
        uint32_t expected = a.version("version");
        uint32_t seen = in.host().agreedVersion();
        char s[16], e[16];
        std::snprintf(s, sizeof s, "0x%X", seen);
        std::snprintf(e, sizeof e, "0x%X", expected);
        if (seen != expected) Mismatch("the version the module agreed", s, e);
    });
}

}  // namespace vellora
