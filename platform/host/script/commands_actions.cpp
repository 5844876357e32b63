// SPDX-License-Identifier: AGPL-3.0-or-later
// What the user does: buttons, menus, the mouse, answers and stop requests.
#include "script/interpreter.h"

#include "model/view_geometry.h"

#include <vxwin32/standin.h>

namespace vellora {

namespace {

struct Point {
    int16_t x, y;
};

Point DevicePoint(Args& a) {
    Point p;
    p.x = static_cast<int16_t>(a.integer("x", -32768, 32767));
    p.y = static_cast<int16_t>(a.integer("y", -32768, 32767));
    return p;
}

// A point in page units of the page shown, through the view's transform.
Point PagePoint(Interpreter& in, Args& a) {
    Fixed x = a.fixed("x"), y = a.fixed("y");
    Point p;
    PagePointToDevice(in.activeView().geometry(), x, y, p.x, p.y);
    return p;
}

uint16_t Modifiers(Args& a) {
    if (!a.more()) return 0;
    std::string word = a.text("mods");
    if (word != "mods") a.fail("expected \"mods M\"");
    return static_cast<uint16_t>(a.integer("modifiers", 0, 0xFFFF));
}

// Press at `from`, release at `to`: the active tool's click entry runs the
// drag loops, which follow the mouse to `to`.
void Press(Interpreter& in, Point from, Point to, uint16_t mods) {
    PageView& view = in.activeView();
    ScriptSide& h = in.host();
    in.userAction(Gesture{to.x, to.y, mods}, [&] {
        ToolRecord* tool = h.activeTool();
        if (tool == nullptr || tool->click == VX_NO_CALLBACK) return;
        h.call<ToolClickProc>(tool->click, tool, reinterpret_cast<PageViewHandle>(&view), from.x, from.y);
    });
}

void Hover(Interpreter& in, Point at, uint16_t mods) {
    PageView& view = in.activeView();
    ScriptSide& h = in.host();
    in.userAction(Gesture{at.x, at.y, mods}, [&] {
        ToolRecord* tool = h.activeTool();
        bool set =
            tool != nullptr && tool->adjustCursor != VX_NO_CALLBACK &&
            h.call<ToolCursorProc>(tool->adjustCursor, tool, reinterpret_cast<PageViewHandle>(&view), at.x, at.y) != 0;
        // A tool that leaves the cursor to the host gets the arrow.
        if (!set) h.setCursor(static_cast<HostCursorHandle>(vxwin32::SystemArrowCursor()));
    });
}

}  // namespace

void AddActionCommands(std::map<std::string, Command>& t) {
    AddCommand(t, "button", "button NAME", 1, 1, [](Interpreter& in, Args& a) {
        std::string name = a.text("button name");
        ScriptSide& h = in.host();
        ButtonObj* b = h.findButton(name);
        if (b == nullptr) a.fail("the toolbar has no button \"" + name + "\"");
        in.userAction(std::nullopt, [&] {
            if (!h.enabled(*b)) throw ScriptError("toolbar button \"" + name + "\" is disabled");
            h.press(*b);
        });
    });
    AddCommand(t, "menu", "menu NAME", 1, 1, [](Interpreter& in, Args& a) {
        std::string name = a.text("item name");
        ScriptSide& h = in.host();
        MenuItemObj* item = h.findItem(name);
        if (item == nullptr) a.fail("no menu holds an item \"" + name + "\"");
        if (item->submenu != nullptr) a.fail("menu item \"" + name + "\" opens a submenu; choose one of its items");
        in.userAction(std::nullopt, [&] {
            if (!h.enabled(*item)) throw ScriptError("menu item \"" + name + "\" is disabled");
            h.execute(*item);
        });
    });
    // Edit > Undo and Edit > Redo, whether or not the menu shows them.
    AddCommand(t, "undo", "undo", 0, 0,
               [](Interpreter& in, Args&) { in.userAction(std::nullopt, [&] { in.host().undo(); }); });
    AddCommand(t, "redo", "redo", 0, 0,
               [](Interpreter& in, Args&) { in.userAction(std::nullopt, [&] { in.host().redo(); }); });
    AddCommand(t, "click", "click X Y [mods M]", 2, 4, [](Interpreter& in, Args& a) {
        Point p = DevicePoint(a);
        Press(in, p, p, Modifiers(a));
    });
    AddCommand(t, "drag", "drag X1 Y1 X2 Y2 [mods M]", 4, 6, [](Interpreter& in, Args& a) {
        Point from = DevicePoint(a), to = DevicePoint(a);
        Press(in, from, to, Modifiers(a));
    });
    AddCommand(t, "hover", "hover X Y [mods M]", 2, 4, [](Interpreter& in, Args& a) {
        Point p = DevicePoint(a);
        Hover(in, p, Modifiers(a));
    });
    AddCommand(t, "pclick", "pclick X Y [mods M]", 2, 4, [](Interpreter& in, Args& a) {
        Point p = PagePoint(in, a);
        Press(in, p, p, Modifiers(a));
    });
    AddCommand(t, "pdrag", "pdrag X1 Y1 X2 Y2 [mods M]", 4, 6, [](Interpreter& in, Args& a) {
        Point from = PagePoint(in, a), to = PagePoint(in, a);
        Press(in, from, to, Modifiers(a));
    });
    AddCommand(t, "phover", "phover X Y [mods M]", 2, 4, [](Interpreter& in, Args& a) {
        Point p = PagePoint(in, a);
        Hover(in, p, Modifiers(a));
    });
    AddCommand(t, "answer", "answer TEXT", 1, 1,
               [](Interpreter& in, Args& a) { in.host().queueAnswer(a.text("answer")); });
    // The command line's standing answer to a question that may or may not come up.
    AddCommand(t, "answer-when", "answer-when QUESTION ANSWER", 2, 2, [](Interpreter& in, Args& a) {
        std::string question = a.text("question");
        in.host().setStandingAnswer(question, a.text("answer"));
    });
    AddCommand(t, "stop-after", "stop-after N|never", 1, 1, [](Interpreter& in, Args& a) {
        if (a.peek() == "never") {
            a.text("never");
            in.host().stopNever();
            return;
        }
        in.host().stopAfter(static_cast<int>(a.integer("poll count", 1, 1000000000)));
    });
}

}  // namespace vellora
