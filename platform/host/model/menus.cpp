// SPDX-License-Identifier: AGPL-3.0-or-later
#include "model/menus.h"

#include "core/host_error.h"

#include <algorithm>

namespace vellora {

MenuObj& Menubar::newMenu(const std::string& title, const std::string& name) {
    menus_.push_back(MenuObj{title, name, {}, 0});
    return menus_.back();
}

MenuItemObj& Menubar::newItem(const std::string& title, const std::string& name, MenuObj* submenu) {
    MenuItemObj item;
    item.title = title;
    item.name = name;
    item.submenu = submenu;
    items_.push_back(std::move(item));
    return items_.back();
}

template <class F>
MenuItemObj* Menubar::walk(MenuObj& menu, F&& match, int depth) {
    // Depth-limited: a menu put inside itself must not hang the host.
    if (depth > 16) return nullptr;
    for (MenuItemObj* item : menu.items) {
        if (match(*item)) return item;
        if (item->submenu != nullptr)
            if (MenuItemObj* found = walk(*item->submenu, match, depth + 1)) return found;
    }
    return nullptr;
}

MenuObj* Menubar::findMenu(const std::string& name) {
    for (MenuObj* menu : top_) {
        if (menu->name == name) return menu;
        MenuItemObj* carrier = walk(
            *menu, [&](const MenuItemObj& i) { return i.submenu != nullptr && i.submenu->name == name; }, 0);
        if (carrier != nullptr) return carrier->submenu;
    }
    for (MenuObj& menu : menus_)
        if (menu.name == name) return &menu;
    return nullptr;
}

MenuItemObj* Menubar::findItem(const std::string& name) {
    for (MenuObj* menu : top_)
        if (MenuItemObj* found = walk(
                *menu, [&](const MenuItemObj& i) { return i.name == name; }, 0))
            return found;
    return nullptr;
}

void Menubar::insert(MenuObj& menu, MenuItemObj& item, int32_t index) {
    if (item.parent != nullptr) remove(item);
    if (index < 0) throw HostError("cannot insert menu item \"" + item.name + "\" at index " + std::to_string(index));
    size_t at = std::min(static_cast<size_t>(index), menu.items.size());
    menu.items.insert(menu.items.begin() + static_cast<std::ptrdiff_t>(at), &item);
    item.parent = &menu;
}

void Menubar::remove(MenuItemObj& item) {
    if (item.parent == nullptr) return;
    std::erase(item.parent->items, &item);
    item.parent = nullptr;
}

int32_t Menubar::indexOf(const MenuObj& menu, const MenuItemObj& item) const {
    auto found = std::find(menu.items.begin(), menu.items.end(), &item);
    return found == menu.items.end() ? -1 : static_cast<int32_t>(found - menu.items.begin());
}

bool Menubar::owns(const MenuObj* menu) const {
    return std::any_of(menus_.begin(), menus_.end(), [&](const MenuObj& m) { return &m == menu; });
}

bool Menubar::owns(const MenuItemObj* item) const {
    return std::any_of(items_.begin(), items_.end(), [&](const MenuItemObj& i) { return &i == item; });
}

}  // namespace vellora
