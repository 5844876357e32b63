// SPDX-License-Identifier: AGPL-3.0-or-later
#include "frame/commands.h"

#include "crop/crop_selection.h"
#include "crop/page_commands.h"
#include "module/module_state.h"
#include "tool/crop_tool.h"
#include "tool/media_box.h"
#include "ui/file_commands.h"

namespace {

// The editing permission bit, also the enabled tests' client data.
void *const kEditData = reinterpret_cast<void *>(static_cast<uintptr_t>(VX_PERMISSION_EDIT));
const char kTitle[] = "Trim Vex";      // of the submenu, its item and the tool's item
constexpr int16_t kToolShortcut = 57;  // '9'
constexpr int16_t kToolModifiers = 8;

// The position just after a host item; a position the host reports for a
// missing item is passed on as it is, without overflowing.
int32_t PositionAfter(int32_t index)
{
    return static_cast<int32_t>(static_cast<uint32_t>(index) + 1u);
}

MenuItem NewCommandItem(const char *title, const char *name)
{
    return host.viewer->NewMenuItem(title, name, nullptr, 0, 0, 0, nullptr, extensionId);
}

void ReleaseItem(MenuItem item)
{
    if (item != nullptr) {
        host.viewer->ReleaseMenuItem(item);
    }
}

// The item's position in `menu` when found by name anywhere in the menubar.
int32_t PositionOfItem(Menubar menubar, Menu menu, const char *name)
{
    const MenuItem item = host.viewer->AcquireMenuItemByName(menubar, name);
    const int32_t index = host.viewer->MenuItemIndex(menu, item);
    ReleaseItem(item);
    return index;
}

void AddSubmenuItems(Menu submenu)
{
    MenuItem item = NewCommandItem("&Crop Page(s) to Bounding Box", "ZUNO:TrimVexBBox");
    HookMenuItem(item, CropToBoundingBox, EditPermissionTest, kEditData, ActiveToolTest);
    host.viewer->AddMenuItem(submenu, item, 0);

    item = NewCommandItem("&Reset Page(s) to Media Box", "ZUNO:TrimVexMediaBox");
    HookMenuItem(item, ResetToMediaBox, EditPermissionTest, kEditData, ActiveToolTest);
    host.viewer->AddMenuItem(submenu, item, 1);

    ShowMediaBoxItem = NewCommandItem("S&how Media Box", "ZUNO:TVShowMediaBox");
    HookMenuItem(ShowMediaBoxItem, ShowMediaBox, AlwaysTrue, kEditData, AlwaysFalse);
    host.viewer->AddMenuItem(submenu, ShowMediaBoxItem, 2);

    // Put in place of the show item while the display is on.
    HideMediaBoxItem = NewCommandItem("H&ide Media Box", "ZUNO:TVHideMediaBox");
    HookMenuItem(HideMediaBoxItem, HideMediaBox, AlwaysTrue, kEditData, AlwaysFalse);
}

void AddAboutItem(Menubar menubar)
{
    const Menu about = host.viewer->AcquireMenuByName(menubar, "AboutExtensions");
    if (about == nullptr) {
        return;
    }
    const MenuItem item = NewCommandItem("Trim Vex...", "ZUNO:TrimVexAbout");
    HookMenuItem(item, ShowAboutNote, AlwaysTrue, nullptr, AlwaysFalse);
    host.viewer->AddMenuItem(about, item, VX_MENU_APPEND);
    host.viewer->ReleaseMenu(about);
}

void AddRevertItem(Menubar menubar)
{
    const Menu file = host.viewer->AcquireMenuByName(menubar, "File");
    if (file == nullptr) {
        return;
    }
    const int32_t saveAs = PositionOfItem(menubar, file, "SaveAs");
    const MenuItem item = NewCommandItem("R&evert File...", "ZUNO:TVRevert");
    HookMenuItem(item, RevertFile, RevertEnabledTest, kEditData, AlwaysFalse);
    host.viewer->AddMenuItem(file, item, PositionAfter(saveAs));
    host.viewer->ReleaseMenu(file);
}

}  // namespace

void HookMenuItem(MenuItem item, ExecuteProc execute, TestProc enabledTest, void *enabledData,
                  TestProc markedTest)
{
    host.viewer->SetMenuItemExecute(item, WrapRoutine(AsHostProc(execute)), nullptr);
    host.viewer->SetMenuItemEnabledTest(item, WrapRoutine(AsHostProc(enabledTest)), enabledData);
    host.viewer->SetMenuItemMarkedTest(item, WrapRoutine(AsHostProc(markedTest)), nullptr);
}

void RegisterToolbarButton()
{
    const Toolbar toolbar = host.viewer->GetToolbar();
    const ToolbarButton endToolsGroup =
        host.viewer->GetToolbarButtonByName(toolbar, AtomOf("endToolsGroup"));
    if (!host.viewer->ToolbarHasRoom(toolbar, 1, 0)) {
        return;
    }
    const HostBitmapHandle icon = LoadToolbarBitmap();
    const ToolbarButton button = host.viewer->NewToolbarButton(AtomOf("ZUNO:TrimVex"), icon, 0, 0);
    host.viewer->AddToolbarButton(toolbar, button, 1, endToolsGroup);
    host.viewer->SetButtonExecute(button, WrapRoutine(AsHostProc(SelectCropTool)), &CropToolRecord);
    host.viewer->SetButtonMarkedTest(button, WrapRoutine(AsHostProc(ActiveToolTest)),
                                     &CropToolRecord);
    host.viewer->SetButtonEnabledTest(button, WrapRoutine(AsHostProc(EditPermissionTest)),
                                      kEditData);
    host.viewer->SetButtonHelpText(button, "Trim Vex - used to crop pages");
}

void RegisterMenuItems()
{
    const Menubar menubar = host.viewer->GetMenubar();
    const HostBitmapHandle toolIcon = LoadMenuBitmap();

    const Menu tools = host.viewer->AcquireMenuByName(menubar, "Tools");
    const Menu extensions = host.viewer->AcquireMenuByName(menubar, "Extensions");
    if (tools == nullptr || extensions == nullptr) {
        // Without both menus nothing is placed anywhere, and the drawing
        // routines stay unwrapped.
        if (tools != nullptr) host.viewer->ReleaseMenu(tools);
        if (extensions != nullptr) host.viewer->ReleaseMenu(extensions);
        return;
    }

    const MenuItem thread = host.viewer->AcquireMenuItemByName(menubar, "Thread");
    const int32_t threadIndex = host.viewer->MenuItemIndex(tools, thread);

    const Menu submenu = host.viewer->NewMenu(kTitle, kSubmenuName, extensionId);
    const MenuItem holder =
        host.viewer->NewMenuItem(kTitle, kSubmenuName, submenu, 0, 0, 0, nullptr, extensionId);
    host.viewer->AddMenuItem(extensions, holder, VX_MENU_APPEND);

    const MenuItem toolItem =
        host.viewer->NewMenuItem(kTitle, "ZUNO:TrimVexSelTool", nullptr, 0, kToolShortcut,
                                 kToolModifiers, toolIcon, extensionId);
    HookMenuItem(toolItem, SelectCropTool, EditPermissionTest, kEditData, ActiveToolTest);
    host.viewer->AddMenuItem(tools, toolItem, PositionAfter(threadIndex));

    AddSubmenuItems(submenu);

    DrawMediaBoxCallback = WrapRoutine(AsHostProc(DrawMediaBox));
    DrawCropRegionCallback = WrapRoutine(AsHostProc(DrawCropRegion));
    mediaBoxShown = VX_FALSE;
    CropSelection.hasRegion = VX_FALSE;

    ReleaseItem(thread);
    host.viewer->ReleaseMenu(submenu);

    AddAboutItem(menubar);
    AddRevertItem(menubar);

    host.viewer->ReleaseMenu(extensions);
    host.viewer->ReleaseMenu(tools);
}

void SelectCropTool(void *)
{
    host.viewer->SetActiveTool(&CropToolRecord, VX_TRUE);
}

HostBool EditPermissionTest(void *data)
{
    const DocWindow window = host.viewer->GetActiveDocWindow();
    if (window == nullptr) {
        return VX_FALSE;
    }
    const uint32_t permissions = host.model->DocumentPermissions(host.viewer->DocumentOf(window));
    const uintptr_t wanted = reinterpret_cast<uintptr_t>(data);
    return (wanted == 0 || (wanted & permissions) != 0) ? VX_TRUE : VX_FALSE;
}

HostBool ActiveToolTest(void *data)
{
    const DocWindow window = host.viewer->GetActiveDocWindow();
    if (window == nullptr) {
        return VX_FALSE;
    }
    const uint32_t permissions = host.model->DocumentPermissions(host.viewer->DocumentOf(window));
    if ((permissions & VX_PERMISSION_EDIT) == 0) {
        return VX_FALSE;
    }
    return host.viewer->GetActiveTool() == static_cast<ToolRecord *>(data) ? VX_TRUE : VX_FALSE;
}
