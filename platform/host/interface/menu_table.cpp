// SPDX-License-Identifier: AGPL-3.0-or-later
// Viewer: menus and the toolbar.
#include "interface/boundary.h"
#include "interface/tables.h"

#include <vxwin32/standin.h>

#include <algorithm>

namespace vellora {

namespace {

MenuObj& MenuOf(PluginSide& h, Menu menu) { return *h.checked<MenuObj>(menu, kMenuKind); }
MenuItemObj& ItemOf(PluginSide& h, MenuItem item) { return *h.checked<MenuItemObj>(item, kItemKind); }
ButtonObj& ButtonOf(PluginSide& h, ToolbarButton button) { return *h.checked<ButtonObj>(button, kButtonKind); }
void CheckMenubar(PluginSide& h, ::Menubar menubar) { (void)h.checked<vellora::Menubar>(menubar, kMenubarKind); }
void CheckToolbar(PluginSide& h, ::Toolbar toolbar) { (void)h.checked<vellora::Toolbar>(toolbar, kToolbarKind); }

std::string ShowIcon(HostBitmapHandle icon) {
    if (icon == nullptr) return "NULL";
    auto info = vxwin32::DescribeBitmap(icon);
    return info ? "bitmap(" + ShowNumber(info->resourceId) + ")" : "<unknown bitmap>";
}

// Attaches a routine to a slot of an item or button.
template <class Handle, class Lookup>
void Attach(const char* operation, Handle handle, HostCallback routine, void* data, Lookup slot) {
    HostCall(operation, [&](PluginSide& h, TraceLine& t) {
        t.arg(handle).arg(AsCallback{routine}).arg(AsData{data});
        CheckRoutine(h, routine);
        slot(h) = Hook{routine, data};
    });
}

extern "C" {

static ::Menubar ViewerGetMenubar() {
    return HostOp<::Menubar>("Viewer.GetMenubar", nullptr, [&](PluginSide& h, TraceLine& t) {
        t.result("menubar");
        return reinterpret_cast<::Menubar>(&h.menubar());
    });
}

static Menu ViewerAcquireMenuByName(::Menubar menubar, const char* name) {
    return HostOp<Menu>("Viewer.AcquireMenuByName", nullptr, [&](PluginSide& h, TraceLine& t) {
        t.arg("menubar").arg(Quoted{name});
        CheckMenubar(h, menubar);
        MenuObj* menu = h.menubar().findMenu(NeedText(name, "name"));
        if (menu != nullptr) ++menu->refs;
        t.result(menu);
        return reinterpret_cast<Menu>(menu);
    });
}

static void ViewerReleaseMenu(Menu menu) {
    HostCall("Viewer.ReleaseMenu", [&](PluginSide& h, TraceLine& t) {
        t.arg(menu);
        MenuObj& m = MenuOf(h, menu);
        DropReference(m.refs, [&] { return "menu \"" + m.name + "\""; });
    });
}

static MenuItem ViewerAcquireMenuItemByName(::Menubar menubar, const char* name) {
    return HostOp<MenuItem>("Viewer.AcquireMenuItemByName", nullptr, [&](PluginSide& h, TraceLine& t) {
        t.arg("menubar").arg(Quoted{name});
        CheckMenubar(h, menubar);
        MenuItemObj* item = h.menubar().findItem(NeedText(name, "name"));
        if (item != nullptr) ++item->refs;
        t.result(item);
        return reinterpret_cast<MenuItem>(item);
    });
}

static MenuItem ViewerAcquireMenuItem(MenuItem item) {
    return HostOp<MenuItem>("Viewer.AcquireMenuItem", nullptr, [&](PluginSide& h, TraceLine& t) {
        t.arg(item);
        MenuItemObj& i = ItemOf(h, item);
        ++i.refs;
        ++i.kept;
        t.result(item);
        return item;
    });
}

static void ViewerReleaseMenuItem(MenuItem item) {
    HostCall("Viewer.ReleaseMenuItem", [&](PluginSide& h, TraceLine& t) {
        t.arg(item);
        MenuItemObj& i = ItemOf(h, item);
        DropReference(i.refs, [&] { return "menu item \"" + i.name + "\""; });
        i.kept = std::min(i.kept, i.refs);
    });
}

static int32_t ViewerMenuItemIndex(Menu menu, MenuItem item) {
    return HostOp<int32_t>("Viewer.MenuItemIndex", -1, [&](PluginSide& h, TraceLine& t) {
        t.arg(menu).arg(item);
        // A missing item (NULL) is simply not in the menu.
        int32_t index = item == nullptr ? -1 : h.menubar().indexOf(MenuOf(h, menu), ItemOf(h, item));
        t.result(index);
        return index;
    });
}

static Menu ViewerNewMenu(const char* title, const char* name, ExtensionId extension) {
    return HostOp<Menu>("Viewer.NewMenu", nullptr, [&](PluginSide& h, TraceLine& t) {
        t.arg(Quoted{title}).arg(Quoted{name}).arg(AsHex{extension});
        MenuObj& m = h.menubar().newMenu(NeedText(title, "title"), NeedText(name, "name"));
        m.refs = 1;
        h.addHandle(&m, kMenuKind);
        t.result(&m);
        return reinterpret_cast<Menu>(&m);
    });
}

static MenuItem ViewerNewMenuItem(const char* title, const char* name, Menu submenu, HostBool flag, int16_t shortcut,
                                  int16_t modifiers, HostBitmapHandle icon, ExtensionId extension) {
    return HostOp<MenuItem>("Viewer.NewMenuItem", nullptr, [&](PluginSide& h, TraceLine& t) {
        t.arg(Quoted{title}).arg(Quoted{name}).arg(submenu).arg(flag).arg(shortcut);
        t.arg(modifiers).arg([&] { return ShowIcon(icon); }).arg(AsHex{extension});
        MenuObj* sub = submenu == nullptr ? nullptr : &MenuOf(h, submenu);
        MenuItemObj& item = h.menubar().newItem(NeedText(title, "title"), NeedText(name, "name"), sub);
        item.shortcut = shortcut;
        item.modifiers = modifiers;
        item.icon = icon;
        h.addHandle(&item, kItemKind);
        t.result(&item);
        return reinterpret_cast<MenuItem>(&item);
    });
}

static void ViewerAddMenuItem(Menu menu, MenuItem item, int32_t index) {
    HostCall("Viewer.AddMenuItem", [&](PluginSide& h, TraceLine& t) {
        t.arg(menu).arg(item).arg(index);
        h.menubar().insert(MenuOf(h, menu), ItemOf(h, item), index);
    });
}

static void ViewerRemoveMenuItem(MenuItem item) {
    HostCall("Viewer.RemoveMenuItem", [&](PluginSide& h, TraceLine& t) {
        t.arg(item);
        h.menubar().remove(ItemOf(h, item));
    });
}

static void ViewerSetMenuItemExecute(MenuItem item, HostCallback routine, void* data) {
    Attach("Viewer.SetMenuItemExecute", item, routine, data,
           [&](PluginSide& h) -> Hook& { return ItemOf(h, item).execute; });
}

static void ViewerSetMenuItemEnabledTest(MenuItem item, HostCallback routine, void* data) {
    Attach("Viewer.SetMenuItemEnabledTest", item, routine, data,
           [&](PluginSide& h) -> Hook& { return ItemOf(h, item).enabledTest; });
}

static void ViewerSetMenuItemMarkedTest(MenuItem item, HostCallback routine, void* data) {
    Attach("Viewer.SetMenuItemMarkedTest", item, routine, data,
           [&](PluginSide& h) -> Hook& { return ItemOf(h, item).markedTest; });
}

static void ViewerExecuteMenuItem(MenuItem item) {
    HostCall("Viewer.ExecuteMenuItem", [&](PluginSide& h, TraceLine& t) {
        t.arg(item);
        h.execute(ItemOf(h, item));
    });
}

// ---- Toolbar.

static ::Toolbar ViewerGetToolbar() {
    return HostOp<::Toolbar>("Viewer.GetToolbar", nullptr, [&](PluginSide& h, TraceLine& t) {
        t.result("toolbar");
        return reinterpret_cast<::Toolbar>(&h.toolbar());
    });
}

static ToolbarButton ViewerGetToolbarButtonByName(::Toolbar toolbar, Atom name) {
    return HostOp<ToolbarButton>("Viewer.GetToolbarButtonByName", nullptr, [&](PluginSide& h, TraceLine& t) {
        t.arg("toolbar").arg(AsAtom{name});
        CheckToolbar(h, toolbar);
        auto button = reinterpret_cast<ToolbarButton>(h.toolbar().find(name));
        t.result(button);
        return button;
    });
}

static HostBool ViewerToolbarHasRoom(::Toolbar toolbar, int16_t buttons, int16_t separators) {
    return HostOp<HostBool>("Viewer.ToolbarHasRoom", VX_FALSE, [&](PluginSide& h, TraceLine& t) {
        t.arg("toolbar").arg(buttons).arg(separators);
        CheckToolbar(h, toolbar);
        bool room = h.toolbar().room;
        t.result(room);
        return room ? VX_TRUE : VX_FALSE;
    });
}

static ToolbarButton ViewerNewToolbarButton(Atom name, HostBitmapHandle icon, HostBool flag1, HostBool flag2) {
    return HostOp<ToolbarButton>("Viewer.NewToolbarButton", nullptr, [&](PluginSide& h, TraceLine& t) {
        t.arg(AsAtom{name}).arg([&] { return ShowIcon(icon); }).arg(flag1).arg(flag2);
        ButtonObj& b = h.toolbar().newButton(name, h.atomText(name));
        b.icon = icon;
        h.addHandle(&b, kButtonKind);
        t.result(&b);
        return reinterpret_cast<ToolbarButton>(&b);
    });
}

static void ViewerAddToolbarButton(::Toolbar toolbar, ToolbarButton button, HostBool before, ToolbarButton other) {
    HostCall("Viewer.AddToolbarButton", [&](PluginSide& h, TraceLine& t) {
        t.arg("toolbar").arg(button).arg(before).arg(other);
        CheckToolbar(h, toolbar);
        ButtonObj* o = other == nullptr ? nullptr : &ButtonOf(h, other);
        h.toolbar().add(ButtonOf(h, button), before != 0, o);
    });
}

static void ViewerSetButtonExecute(ToolbarButton button, HostCallback routine, void* data) {
    Attach("Viewer.SetButtonExecute", button, routine, data,
           [&](PluginSide& h) -> Hook& { return ButtonOf(h, button).execute; });
}

static void ViewerSetButtonEnabledTest(ToolbarButton button, HostCallback routine, void* data) {
    Attach("Viewer.SetButtonEnabledTest", button, routine, data,
           [&](PluginSide& h) -> Hook& { return ButtonOf(h, button).enabledTest; });
}

static void ViewerSetButtonMarkedTest(ToolbarButton button, HostCallback routine, void* data) {
    Attach("Viewer.SetButtonMarkedTest", button, routine, data,
           [&](PluginSide& h) -> Hook& { return ButtonOf(h, button).markedTest; });
}

static void ViewerSetButtonHelpText(ToolbarButton button, const char* text) {
    HostCall("Viewer.SetButtonHelpText", [&](PluginSide& h, TraceLine& t) {
        t.arg(button).arg(Quoted{text});
        ButtonOf(h, button).helpText = NeedText(text, "text");
    });
}

}  // extern "C"

}  // namespace

void FillMenuEntries(ViewerTable& v) {
    v.GetMenubar = ViewerGetMenubar;
    v.AcquireMenuByName = ViewerAcquireMenuByName;
    v.ReleaseMenu = ViewerReleaseMenu;
    v.AcquireMenuItemByName = ViewerAcquireMenuItemByName;
    v.AcquireMenuItem = ViewerAcquireMenuItem;
    v.ReleaseMenuItem = ViewerReleaseMenuItem;
    v.MenuItemIndex = ViewerMenuItemIndex;
    v.NewMenu = ViewerNewMenu;
    v.NewMenuItem = ViewerNewMenuItem;
    v.AddMenuItem = ViewerAddMenuItem;
    v.RemoveMenuItem = ViewerRemoveMenuItem;
    v.SetMenuItemExecute = ViewerSetMenuItemExecute;
    v.SetMenuItemEnabledTest = ViewerSetMenuItemEnabledTest;
    v.SetMenuItemMarkedTest = ViewerSetMenuItemMarkedTest;
    v.ExecuteMenuItem = ViewerExecuteMenuItem;
    v.GetToolbar = ViewerGetToolbar;
    v.GetToolbarButtonByName = ViewerGetToolbarButtonByName;
    v.ToolbarHasRoom = ViewerToolbarHasRoom;
    v.NewToolbarButton = ViewerNewToolbarButton;
    v.AddToolbarButton = ViewerAddToolbarButton;
    v.SetButtonExecute = ViewerSetButtonExecute;
    v.SetButtonEnabledTest = ViewerSetButtonEnabledTest;
    v.SetButtonMarkedTest = ViewerSetButtonMarkedTest;
    v.SetButtonHelpText = ViewerSetButtonHelpText;
}

}  // namespace vellora
