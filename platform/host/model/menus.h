// SPDX-License-Identifier: AGPL-3.0-or-later
// The menubar: menus and items by name, with the host's own items and
// those the plug-in adds. Menus and items live as long as the host.
#pragma once

#include "model/hook.h"

#include <deque>
#include <functional>
#include <string>
#include <vector>

namespace vellora {

struct MenuObj;

struct MenuItemObj {
    std::string title, name;
    MenuObj* submenu = nullptr;
    MenuObj* parent = nullptr;  // null while in no menu
    Hook execute, enabledTest, markedTest;
    // The host's own behaviour for its items (used when no hook is set).
    std::function<void()> hostAction;
    std::function<bool()> hostEnabled;
    std::function<bool()> hostMarked;
    int16_t shortcut = 0, modifiers = 0;
    void* icon = nullptr;
    int refs = 0;  // references the plug-in holds
    // Of those, taken with Viewer.AcquireMenuItem: a plug-in keeps an item it
    // took out of a menu alive that way, to the end if it likes. References
    // by name are given back once used.
    int kept = 0;
};

struct MenuObj {
    std::string title, name;
    std::vector<MenuItemObj*> items;
    int refs = 0;  // references the plug-in holds
};

class Menubar {
public:
    MenuObj& newMenu(const std::string& title, const std::string& name);
    MenuItemObj& newItem(const std::string& title, const std::string& name, MenuObj* submenu);
    // A top-level menu of the menubar.
    void addTopMenu(MenuObj& menu) { top_.push_back(&menu); }

    // The menu of that name reachable from the menubar, or else any menu
    // made under that name; null when none.
    MenuObj* findMenu(const std::string& name);
    // The item of that name reachable from the menubar; null when none.
    MenuItemObj* findItem(const std::string& name);

    // Inserts at index (past the end, or VX_MENU_APPEND, appends); an item
    // already in a menu is taken out of it first.
    void insert(MenuObj& menu, MenuItemObj& item, int32_t index);
    void remove(MenuItemObj& item);
    int32_t indexOf(const MenuObj& menu, const MenuItemObj& item) const;

    const std::vector<MenuObj*>& topMenus() const { return top_; }
    const std::deque<MenuObj>& allMenus() const { return menus_; }
    const std::deque<MenuItemObj>& allItems() const { return items_; }

    bool owns(const MenuObj* menu) const;
    bool owns(const MenuItemObj* item) const;

private:
    template <class F>
    MenuItemObj* walk(MenuObj& menu, F&& match, int depth);
    std::deque<MenuObj> menus_;
    std::deque<MenuItemObj> items_;
    std::vector<MenuObj*> top_;
};

}  // namespace vellora
