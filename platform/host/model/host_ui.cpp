// SPDX-License-Identifier: AGPL-3.0-or-later
// The host's own menus, toolbar buttons and tools, and how items, buttons
// and tools behave when the user uses them.
#include "model/host.h"

#include <algorithm>

namespace vellora {

namespace {

struct HostItem {
    const char* name;
    const char* title;
};

}  // namespace

extern "C" {
// The type entry of the host's own tools.
static Atom HostToolType(ToolRecord* tool) {
    Host* host = Host::current();
    return host == nullptr ? 0 : host->hostToolAtom(tool);
}
}

void Host::setUpMenus() {
    auto menu = [&](const char* name, const char* title, std::initializer_list<HostItem> items) -> MenuObj* {
        if (config.withoutMenus.count(name) != 0) return nullptr;
        MenuObj& m = menubar.newMenu(title, name);
        addHandle(&m, kMenuKind);
        for (const HostItem& entry : items) {
            if (config.withoutItems.count(entry.name) != 0) continue;
            MenuItemObj& item = menubar.newItem(entry.title, entry.name, nullptr);
            addHandle(&item, kItemKind);
            menubar.insert(m, item, VX_MENU_APPEND);
        }
        return &m;
    };
    auto hasDoc = [this] { return active_ != nullptr; };
    auto item = [&](const char* name) { return menubar.findItem(name); };

    if (MenuObj* file = menu("File", "&File",
                             {{"Open", "&Open..."},
                              {"Close", "&Close"},
                              {"Save", "&Save"},
                              {"SaveAs", "Save &As..."},
                              {"Print", "&Print..."},
                              {"Quit", "E&xit"}})) {
        menubar.addTopMenu(*file);
        if (MenuItemObj* i = item("Close")) i->hostAction = [this] { closeWindow(*active_); }, i->hostEnabled = hasDoc;
        if (MenuItemObj* i = item("Save")) {
            i->hostAction = [this] {
                saveDocument(active_->document(), active_->document().file()->path, SaveMode::Incremental);
            };
            i->hostEnabled = [this] { return active_ != nullptr && active_->document().file() != nullptr; };
        }
    }
    if (MenuObj* edit = menu("Edit", "&Edit",
                             {{"Undo", "&Undo"}, {"Redo", "&Redo"}, {"Copy", "&Copy"}, {"SelectAll", "Select &All"}})) {
        menubar.addTopMenu(*edit);
        if (MenuItemObj* i = item("Undo")) {
            i->hostAction = [this] { undo(); };
            i->hostEnabled = [this] { return active_ != nullptr && active_->document().canUndo(); };
            i->shortcut = 'Z', i->modifiers = VX_MODIFIER_CONTROL;
        }
        if (MenuItemObj* i = item("Redo")) {
            i->hostAction = [this] { redo(); };
            i->hostEnabled = [this] { return active_ != nullptr && active_->document().canRedo(); };
            i->shortcut = 'Z', i->modifiers = VX_MODIFIER_CONTROL | VX_MODIFIER_SHIFT;
        }
    }
    if (MenuObj* view = menu("View", "&View",
                             {{"ZoomIn", "Zoom &In"},
                              {"ZoomOut", "Zoom &Out"},
                              {"NextPage", "&Next Page"},
                              {"PrevPage", "&Previous Page"}})) {
        menubar.addTopMenu(*view);
        auto zoomBy = [this](double f) {
            active_->view().setZoom(std::clamp(active_->view().zoom() * f, 1.0, 6400.0));
        };
        auto turn = [this](int step) { active_->view().setPage(active_->view().pageIndex() + step); };
        if (MenuItemObj* i = item("ZoomIn")) i->hostAction = [=] { zoomBy(2.0); }, i->hostEnabled = hasDoc;
        if (MenuItemObj* i = item("ZoomOut")) i->hostAction = [=] { zoomBy(0.5); }, i->hostEnabled = hasDoc;
        if (MenuItemObj* i = item("NextPage")) {
            i->hostAction = [=] { turn(1); };
            i->hostEnabled = [this] {
                return active_ && active_->view().pageIndex() + 1 < active_->document().pageCount();
            };
        }
        if (MenuItemObj* i = item("PrevPage")) {
            i->hostAction = [=] { turn(-1); };
            i->hostEnabled = [this] { return active_ && active_->view().pageIndex() > 0; };
        }
    }
    if (MenuObj* tools =
            menu("Tools", "&Tools",
                 {{"Hand", "&Hand"}, {"Select", "&Select"}, {"Thread", "&Article Thread"}, {"Zoom", "&Zoom"}}))
        menubar.addTopMenu(*tools);
    if (MenuObj* ext = menu("Extensions", "E&xtensions", {{"ExtensionInfo", "Extension &Info..."}}))
        menubar.addTopMenu(*ext);
    MenuObj* help = menu("Help", "&Help", {{"HelpContents", "&Contents"}});
    MenuObj* about = menu("AboutExtensions", "About E&xtensions", {{"AboutVellora", "About &Vellora..."}});
    if (help != nullptr) {
        menubar.addTopMenu(*help);
        if (about != nullptr && config.withoutItems.count("AboutExtensions") == 0) {
            MenuItemObj& carrier = menubar.newItem("About E&xtensions", "AboutExtensions", about);
            addHandle(&carrier, kItemKind);
            menubar.insert(*help, carrier, VX_MENU_APPEND);
        }
    } else if (about != nullptr) {
        menubar.addTopMenu(*about);
    }
    if (MenuItemObj* i = item("AboutVellora")) i->hostAction = [this] { note("Vellora stand-in host.", "host"); };
}

void Host::setUpToolbar() {
    for (const char* name : {"Open", "Save", "Print", "Hand", "Select", "Zoom", "endToolsGroup", "Find"}) {
        if (config.withoutButtons.count(name) != 0) continue;
        ButtonObj& b = toolbar.newButton(atoms.intern(name), name);
        addHandle(&b, kButtonKind);
        toolbar.add(b, false, nullptr);
    }
    if (ButtonObj* save = toolbar.find(std::string("Save"))) {
        save->hostAction = [this] { execute(*menubar.findItem("Save")); };
        save->hostEnabled = [this] {
            MenuItemObj* item = menubar.findItem("Save");
            return item != nullptr && enabled(*item);
        };
    }
}

void Host::setUpTools() {
    for (const char* name : {"Hand", "Select", "Thread", "Zoom"}) {
        hostTools_.push_back(ToolRecord{});
        ToolRecord& tool = hostTools_.back();
        tool.size = sizeof(ToolRecord);
        tool.type = callbacks.make(0, reinterpret_cast<HostProc>(&HostToolType));
        hostToolNames_[&tool] = name;
        tools_.push_back(&tool);
        auto select = [this, &tool] { setActiveTool(&tool); };
        if (MenuItemObj* item = menubar.findItem(name)) item->hostAction = select;
        if (ButtonObj* button = toolbar.find(std::string(name))) button->hostAction = select;
    }
    activeTool_ = &hostTools_.front();
}

bool Host::isHostTool(const ToolRecord* tool) const { return hostToolNames_.count(tool) != 0; }

Atom Host::hostToolAtom(const ToolRecord* tool) {
    auto found = hostToolNames_.find(tool);
    return found == hostToolNames_.end() ? 0 : atoms.intern(found->second);
}

void Host::registerTool(ToolRecord* tool) {
    if (tool == nullptr) throw HostError("no tool record given (NULL)");
    if (tool->size != sizeof(ToolRecord))
        throw HostError("the tool record's size word is " + std::to_string(tool->size) + ", not 44");
    for (HostCallback cb : {tool->activate, tool->deactivate, tool->click, tool->adjustCursor, tool->type})
        if (cb != VX_NO_CALLBACK) (void)callbacks.routine(cb);
    if (std::find(tools_.begin(), tools_.end(), tool) == tools_.end()) tools_.push_back(tool);
}

void Host::setActiveTool(ToolRecord* tool) {
    if (std::find(tools_.begin(), tools_.end(), tool) == tools_.end())
        throw HostError("the tool was never registered with Viewer.RegisterTool");
    if (tool == activeTool_) return;
    ToolRecord* old = activeTool_;
    activeTool_ = tool;
    if (old != nullptr && old->deactivate != VX_NO_CALLBACK) call<ToolActivateProc>(old->deactivate, old);
    if (tool->activate != VX_NO_CALLBACK) call<ToolActivateProc>(tool->activate, tool);
}

std::string Host::toolName(ToolRecord* tool) {
    if (tool->type == VX_NO_CALLBACK) return "(no type entry)";
    Atom atom = call<ToolTypeProc>(tool->type, tool);
    if (!atoms.known(atom)) return "(atom " + std::to_string(atom) + ")";
    return atoms.text(atom);
}

// ---- Items and buttons --------------------------------------------------------

bool Host::enabled(MenuItemObj& item) {
    if (item.enabledTest) return call<TestProc>(item.enabledTest.routine, item.enabledTest.data) != 0;
    if (item.hostEnabled) return item.hostEnabled();
    return item.execute || item.hostAction || item.submenu != nullptr;
}

bool Host::hostToolActive(const std::string& name) const {
    auto found = std::find_if(hostToolNames_.begin(), hostToolNames_.end(),
                              [&](const auto& entry) { return entry.second == name; });
    return found != hostToolNames_.end() && found->first == activeTool_;
}

bool Host::marked(MenuItemObj& item) {
    if (item.markedTest) return call<TestProc>(item.markedTest.routine, item.markedTest.data) != 0;
    if (item.hostMarked) return item.hostMarked();
    return hostToolActive(item.name);
}

bool Host::enabled(ButtonObj& button) {
    if (button.enabledTest) return call<TestProc>(button.enabledTest.routine, button.enabledTest.data) != 0;
    if (button.hostEnabled) return button.hostEnabled();
    return button.execute || button.hostAction;
}

bool Host::marked(ButtonObj& button) {
    if (button.markedTest) return call<TestProc>(button.markedTest.routine, button.markedTest.data) != 0;
    return hostToolActive(button.nameText);
}

void Host::execute(MenuItemObj& item) {
    if (item.execute)
        call<ExecuteProc>(item.execute.routine, item.execute.data);
    else if (item.hostAction)
        item.hostAction();
}

void Host::press(ButtonObj& button) {
    if (button.execute)
        call<ExecuteProc>(button.execute.routine, button.execute.data);
    else if (button.hostAction)
        button.hostAction();
}

}  // namespace vellora
