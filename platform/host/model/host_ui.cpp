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
    HostState* host = HostState::running();
    return host == nullptr ? 0 : host->hostToolAtom(tool);
}
}

void HostState::setUpMenus() {
    auto menu = [&](const char* name, const char* title, std::initializer_list<HostItem> items) -> MenuObj* {
        if (config_.withoutMenus.count(name) != 0) return nullptr;
        MenuObj& m = menubar_.newMenu(title, name);
        addHandle(&m, kMenuKind);
        for (const HostItem& entry : items) {
            if (config_.withoutItems.count(entry.name) != 0) continue;
            MenuItemObj& item = menubar_.newItem(entry.title, entry.name, nullptr);
            addHandle(&item, kItemKind);
            menubar_.insert(m, item, VX_MENU_APPEND);
        }
        return &m;
    };
    auto hasDoc = [this] { return active_ != nullptr; };
    auto item = [&](const char* name) { return menubar_.findItem(name); };

    if (MenuObj* file = menu("File", "&File",
                             {{"Open", "&Open..."},
                              {"Close", "&Close"},
                              {"Save", "&Save"},
                              {"SaveAs", "Save &As..."},
                              {"Print", "&Print..."},
                              {"Quit", "E&xit"}})) {
        menubar_.addTopMenu(*file);
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
        menubar_.addTopMenu(*edit);
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
        menubar_.addTopMenu(*view);
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
        menubar_.addTopMenu(*tools);
    if (MenuObj* ext = menu("Extensions", "E&xtensions", {{"ExtensionInfo", "Extension &Info..."}}))
        menubar_.addTopMenu(*ext);
    MenuObj* help = menu("Help", "&Help", {{"HelpContents", "&Contents"}});
    MenuObj* about = menu("AboutExtensions", "About E&xtensions", {{"AboutVellora", "About &Vellora..."}});
    if (help != nullptr) {
        menubar_.addTopMenu(*help);
        if (about != nullptr && config_.withoutItems.count("AboutExtensions") == 0) {
            MenuItemObj& carrier = menubar_.newItem("About E&xtensions", "AboutExtensions", about);
            addHandle(&carrier, kItemKind);
            menubar_.insert(*help, carrier, VX_MENU_APPEND);
        }
    } else if (about != nullptr) {
        menubar_.addTopMenu(*about);
    }
    if (MenuItemObj* i = item("AboutVellora")) i->hostAction = [this] { note("Vellora stand-in host.", "host"); };
}

void HostState::setUpToolbar() {
    for (const char* name : {"Open", "Save", "Print", "Hand", "Select", "Zoom", "endToolsGroup", "Find"}) {
        if (config_.withoutButtons.count(name) != 0) continue;
        ButtonObj& b = toolbar_.newButton(atoms_.intern(name), name);
        addHandle(&b, kButtonKind);
        toolbar_.add(b, false, nullptr);
    }
    if (ButtonObj* save = toolbar_.find(std::string("Save"))) {
        save->hostAction = [this] { execute(*menubar_.findItem("Save")); };
        save->hostEnabled = [this] {
            MenuItemObj* item = menubar_.findItem("Save");
            return item != nullptr && enabled(*item);
        };
    }
}

bool HostState::setItemEnabledWhen(const std::string& name, std::function<bool()> test) {
    MenuItemObj* item = menubar_.findItem(name);
    if (item != nullptr) item->hostEnabled = std::move(test);
    return item != nullptr;
}

bool HostState::setButtonEnabledWhen(const std::string& name, std::function<bool()> test) {
    ButtonObj* button = toolbar_.find(name);
    if (button != nullptr) button->hostEnabled = std::move(test);
    return button != nullptr;
}

void HostState::appendFrontEndItem(const std::string& menu, const std::string& title, const std::string& name,
                                   HostItemBehaviour behaviour) {
    MenuObj* into = menubar_.findMenu(menu);
    if (into == nullptr || menubar_.findItem(name) != nullptr) return;
    MenuItemObj& item = menubar_.newItem(title, name, nullptr);
    addHandle(&item, kItemKind);
    menubar_.insert(*into, item, VX_MENU_APPEND);
    item.hostAction = std::move(behaviour.action);
    item.hostEnabled = std::move(behaviour.enabled);
    item.hostMarked = std::move(behaviour.marked);
}

void HostState::setUpTools() {
    for (const char* name : {"Hand", "Select", "Thread", "Zoom"}) {
        hostTools_.push_back(ToolRecord{});
        ToolRecord& tool = hostTools_.back();
        tool.size = sizeof(ToolRecord);
        tool.type = callbacks_.make(0, reinterpret_cast<HostProc>(&HostToolType));
        hostToolNames_[&tool] = name;
        tools_.push_back(&tool);
        auto select = [this, &tool] { setActiveTool(&tool); };
        if (MenuItemObj* item = menubar_.findItem(name)) item->hostAction = select;
        if (ButtonObj* button = toolbar_.find(std::string(name))) button->hostAction = select;
    }
    activeTool_ = &hostTools_.front();
}

bool HostState::isHostTool(const ToolRecord* tool) const { return hostToolNames_.count(tool) != 0; }

Atom HostState::hostToolAtom(const ToolRecord* tool) {
    auto found = hostToolNames_.find(tool);
    return found == hostToolNames_.end() ? 0 : atoms_.intern(found->second);
}

void HostState::registerTool(ToolRecord* tool) {
    if (tool == nullptr) throw HostError("no tool record given (NULL)");
    if (tool->size != sizeof(ToolRecord))
        throw HostError("the tool record's size word is " + std::to_string(tool->size) + ", not 44");
    for (HostCallback cb : {tool->activate, tool->deactivate, tool->click, tool->adjustCursor, tool->type})
        if (cb != VX_NO_CALLBACK) (void)callbacks_.routine(cb);
    if (std::find(tools_.begin(), tools_.end(), tool) == tools_.end()) tools_.push_back(tool);
}

void HostState::setActiveTool(ToolRecord* tool) {
    if (std::find(tools_.begin(), tools_.end(), tool) == tools_.end())
        throw HostError("the tool was never registered with Viewer.RegisterTool");
    if (tool == activeTool_) return;
    ToolRecord* old = activeTool_;
    activeTool_ = tool;
    if (old != nullptr && old->deactivate != VX_NO_CALLBACK) call<ToolActivateProc>(old->deactivate, old);
    if (tool->activate != VX_NO_CALLBACK) call<ToolActivateProc>(tool->activate, tool);
}

std::string HostState::toolName(ToolRecord* tool) {
    if (tool->type == VX_NO_CALLBACK) return "(no type entry)";
    Atom atom = call<ToolTypeProc>(tool->type, tool);
    if (!atoms_.known(atom)) return "(atom " + std::to_string(atom) + ")";
    return atoms_.text(atom);
}

// ---- Items and buttons --------------------------------------------------------

bool HostState::enabled(MenuItemObj& item) {
    if (item.enabledTest) return call<TestProc>(item.enabledTest.routine, item.enabledTest.data) != 0;
    if (item.hostEnabled) return item.hostEnabled();
    return item.execute || item.hostAction || item.submenu != nullptr;
}

bool HostState::hostToolActive(const std::string& name) const {
    auto found = std::find_if(hostToolNames_.begin(), hostToolNames_.end(),
                              [&](const auto& entry) { return entry.second == name; });
    return found != hostToolNames_.end() && found->first == activeTool_;
}

bool HostState::marked(MenuItemObj& item) {
    if (item.markedTest) return call<TestProc>(item.markedTest.routine, item.markedTest.data) != 0;
    if (item.hostMarked) return item.hostMarked();
    return hostToolActive(item.name);
}

bool HostState::enabled(ButtonObj& button) {
    if (button.enabledTest) return call<TestProc>(button.enabledTest.routine, button.enabledTest.data) != 0;
    if (button.hostEnabled) return button.hostEnabled();
    return button.execute || button.hostAction;
}

bool HostState::marked(ButtonObj& button) {
    if (button.markedTest) return call<TestProc>(button.markedTest.routine, button.markedTest.data) != 0;
    return hostToolActive(button.nameText);
}

void HostState::execute(MenuItemObj& item) {
    if (item.execute)
        call<ExecuteProc>(item.execute.routine, item.execute.data);
    else if (item.hostAction)
        item.hostAction();
}

void HostState::press(ButtonObj& button) {
    if (button.execute)
        call<ExecuteProc>(button.execute.routine, button.execute.data);
    else if (button.hostAction)
        button.hostAction();
}

}  // namespace vellora
