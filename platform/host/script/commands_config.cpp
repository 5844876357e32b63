// SPDX-License-Identifier: AGPL-3.0-or-later
// Host configuration lines and `load`.
#include "script/interpreter.h"

#include "core/fixed_text.h"

#include <sstream>
#include <vector>

namespace vellora {

namespace {

ProgressEntries ParseProgress(Args& args) {
    std::string word = args.text("entries");
    ProgressEntries e;
    if (word == "full") return e;
    if (word == "none") {
        e.exists = false;
        return e;
    }
    e.begin = e.end = e.duration = e.value = false;
    std::stringstream list(word);
    std::string entry;
    while (std::getline(list, entry, ',')) {
        if (entry == "begin")
            e.begin = true;
        else if (entry == "end")
            e.end = true;
        else if (entry == "duration")
            e.duration = true;
        else if (entry == "value")
            e.value = true;
        else
            args.fail("unknown progress entry \"" + entry + "\" (begin, end, duration, value)");
    }
    return e;
}

void AddConfig(std::map<std::string, Command>& t, const std::string& name, const std::string& usage, size_t minArgs,
               size_t maxArgs, std::function<void(Interpreter&, Args&)> run) {
    AddCommand(t, name, usage, minArgs, maxArgs, std::move(run), true);
}

// One margin for every side, or four: left, bottom, right, top.
BoxMargin ParseMargin(Args& a) {
    std::vector<Fixed> sides;
    while (a.more()) {
        const Fixed side = a.fixed("margin");
        if (side < 0) a.fail("a margin cannot be negative");
        sides.push_back(side);
    }
    if (sides.size() != 1 && sides.size() != 4) a.fail("expected one margin or four (left bottom right top)");
    if (sides.size() == 1) return BoxMargin{sides[0], sides[0], sides[0], sides[0]};
    return BoxMargin{sides[0], sides[1], sides[2], sides[3]};
}

}  // namespace

void AddConfigurationCommands(std::map<std::string, Command>& t) {
    AddConfig(t, "host can-edit", "host can-edit 0|1", 1, 1,
              [](Interpreter& in, Args& a) { in.config().canEdit = a.flag("value"); });
    AddConfig(t, "host handshake", "host handshake VERSION", 1, 1,
              [](Interpreter& in, Args& a) { in.config().handshakeVersion = a.version("version"); });
    AddConfig(t, "host table", "host table NAME VERSION...|none", 2, SIZE_MAX, [](Interpreter& in, Args& a) {
        std::string name = a.text("table name");
        auto& versions = in.config().tableVersions;
        if (versions.count(name) == 0)
            a.fail("unknown table \"" + name + "\" (Support, Object, Model, Viewer, Platform)");
        std::set<uint32_t> chosen;
        if (a.peek() == "none") {
            a.text("none");
        } else {
            while (a.more()) chosen.insert(a.version("version"));
        }
        versions[name] = chosen;
    });
    AddConfig(t, "host toolbar-room", "host toolbar-room 0|1", 1, 1,
              [](Interpreter& in, Args& a) { in.config().toolbarRoom = a.flag("value"); });
    AddConfig(t, "host without-menu", "host without-menu NAME", 1, 1,
              [](Interpreter& in, Args& a) { in.config().withoutMenus.insert(a.text("menu name")); });
    AddConfig(t, "host without-item", "host without-item NAME", 1, 1,
              [](Interpreter& in, Args& a) { in.config().withoutItems.insert(a.text("item name")); });
    AddConfig(t, "host without-button", "host without-button NAME", 1, 1,
              [](Interpreter& in, Args& a) { in.config().withoutButtons.insert(a.text("button name")); });
    AddConfig(t, "host progress", "host progress full|none|ENTRY,...", 1, 1,
              [](Interpreter& in, Args& a) { in.config().progress = ParseProgress(a); });
    AddConfig(t, "host allocate", "host allocate ok|refuse", 1, 1, [](Interpreter& in, Args& a) {
        std::string w = a.text("choice");
        if (w != "ok" && w != "refuse") a.fail("expected ok or refuse");
        in.config().allocateRefused = w == "refuse";
    });
    AddConfig(t, "host close-window", "host close-window ok|refuse", 1, 1, [](Interpreter& in, Args& a) {
        std::string w = a.text("choice");
        if (w != "ok" && w != "refuse") a.fail("expected ok or refuse");
        in.config().closeRefused = w == "refuse";
    });
    AddConfig(t, "host window", "host window L T R B", 4, 4, [](Interpreter& in, Args& a) {
        HostConfig& c = in.config();
        c.windowLeft = static_cast<int>(a.integer("left", -32768, 32767));
        c.windowTop = static_cast<int>(a.integer("top", -32768, 32767));
        c.windowRight = static_cast<int>(a.integer("right", c.windowLeft, 32767));
        c.windowBottom = static_cast<int>(a.integer("bottom", c.windowTop, 32767));
    });

    AddConfig(t, "host margin", "host margin M | host margin L B R T", 1, 4,
              [](Interpreter& in, Args& a) { in.config().margin = ParseMargin(a); });
    AddConfig(t, "host ink-threshold", "host ink-threshold PERCENT", 1, 1, [](Interpreter& in, Args& a) {
        const double value = FixedToDouble(a.fixed("threshold"));
        if (!(value >= 0.0 && value < 100.0)) a.fail("the ink threshold is a percentage from 0 to below 100");
        in.config().ink.threshold = value;
    });
    AddConfig(t, "host dark-edges", "host dark-edges keep|ignore", 1, 1, [](Interpreter& in, Args& a) {
        std::string w = a.text("choice");
        if (w != "keep" && w != "ignore") a.fail("expected keep or ignore");
        in.config().ink.ignoreDarkEdges = w == "ignore";
    });

    t["load"] = Command{"load [MODULE]", 0, 1, false, [](Interpreter& in, Args& a) {
                            std::string path = a.more() ? a.text("module") : in.options().modulePath;
                            if (path.empty()) a.fail("no module given and no default module known");
                            if (in.module().loaded()) a.fail("a module is loaded already");
                            in.host().restartCallCounts();
                            in.loadModule(path);
                        }};
}

}  // namespace vellora
