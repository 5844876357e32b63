// SPDX-License-Identifier: AGPL-3.0-or-later
#include "tool/crop_tool.h"

#include <windows.h>

#include "crop/crop_run.h"
#include "crop/crop_selection.h"
#include "crop/geometry.h"
#include "module/module_state.h"
#include "module/resource_ids.h"
#include "tool/media_box.h"

ToolRecord CropToolRecord = {};
HostCallback DrawCropRegionCallback = VX_NO_CALLBACK;

namespace {

constexpr int16_t kCornerTolerance = 3;
constexpr int16_t kOutlineMargin = 3;  // covers the corner handles
constexpr int16_t kHandleHalf = 3;

// Without the Tools and Extensions menus the drawing routine was never
// wrapped; the region is still kept and used, it is just not drawn.
void RegisterRegionDrawing()
{
    if (DrawCropRegionCallback != VX_NO_CALLBACK) {
        host.viewer->RegisterPageViewDrawing(DrawCropRegionCallback, nullptr);
    }
}

void UnregisterRegionDrawing()
{
    if (DrawCropRegionCallback != VX_NO_CALLBACK) {
        host.viewer->UnregisterPageViewDrawing(DrawCropRegionCallback);
    }
}

DeviceRect RegionOnDevice(PageView view)
{
    DeviceRect dev;
    host.viewer->RectToDevice(view, &CropSelection.region, &dev);
    return dev;
}

void SetRegionFromDevice(PageView view, const DeviceRect &dev)
{
    host.viewer->DeviceRectToPage(view, &dev, &CropSelection.region);
}

// Repairs the outline's area, handles included.
void InvalidateOutline(PageView view, DeviceRect dev)
{
    const DeviceRect grown = GrowDeviceRect(dev, kOutlineMargin);
    host.viewer->InvalidateRect(view, &grown);
}

HostBool MakeRegion(PageView view, Page page, int16_t x, int16_t y)
{
    DeviceRect d;
    host.viewer->DragOutNewRect(view, x, y, &d);
    if (d.left == d.right && d.top == d.bottom) {
        // The mouse did not move: no region.
        host.viewer->InvalidateRect(view, &d);
        host.viewer->DrawNow(view);
        return VX_TRUE;
    }
    CropSelection.hasRegion = VX_TRUE;
    CropSelection.capturedRotation = host.model->PageRotation(page);
    host.model->GetMediaBox(page, &CropSelection.capturedMediaBox);
    SetRegionFromDevice(view, d);
    RegisterRegionDrawing();
    InvalidateOutline(view, d);
    host.viewer->DrawNow(view);
    return VX_TRUE;
}

HostBool DragCorner(PageView view, int16_t x, int16_t y)
{
    const DeviceRect dev = RegionOnDevice(view);
    const int32_t kind = (host.viewer->GetModifiers() & VX_MODIFIER_SHIFT)
                             ? VX_DRAG_WHOLE
                             : NearCornerKind(dev, x, y);

    // The region is off the screen while the host runs the drag.
    UnregisterRegionDrawing();
    InvalidateOutline(view, dev);
    host.viewer->DrawNow(view);

    DeviceRect d;
    host.viewer->DragRect(view, x, y, &dev, &d, kind, nullptr);
    InvalidateOutline(view, d);
    SetRegionFromDevice(view, d);
    RegisterRegionDrawing();
    host.viewer->DrawNow(view);
    return VX_TRUE;
}

void DropRegion(PageView view, DeviceRect dev)
{
    CropSelection.hasRegion = VX_FALSE;
    UnregisterRegionDrawing();
    InvalidateOutline(view, dev);
    host.viewer->DrawNow(view);
}

HostCursorHandle LoadModuleCursor(int id)
{
    return LoadCursorA(moduleInstance, MAKEINTRESOURCEA(id));
}

HostBitmapHandle LoadModuleBitmap(int id)
{
    return LoadBitmapA(moduleInstance, MAKEINTRESOURCEA(id));
}

}  // namespace

int32_t NearCornerKind(DeviceRect dev, int16_t x, int16_t y)
{
    if (NearPoint(x, y, dev.right, dev.bottom, kCornerTolerance)) return VX_DRAG_BOTTOM_RIGHT;
    if (NearPoint(x, y, dev.left, dev.bottom, kCornerTolerance)) return VX_DRAG_BOTTOM_LEFT;
    if (NearPoint(x, y, dev.left, dev.top, kCornerTolerance)) return VX_DRAG_TOP_LEFT;
    if (NearPoint(x, y, dev.right, dev.top, kCornerTolerance)) return VX_DRAG_TOP_RIGHT;
    return VX_DRAG_WHOLE;
}

bool InsideDeviceRect(DeviceRect dev, int16_t x, int16_t y)
{
    return dev.left <= x && x <= dev.right && dev.top <= y && y <= dev.bottom;
}

void RegisterCropTool()
{
    CropToolRecord.size = sizeof(ToolRecord);
    CropToolRecord.deactivate = VX_NO_CALLBACK;
    CropToolRecord.activate = WrapRoutine(AsHostProc(CropToolActivate));
    CropToolRecord.type = WrapRoutine(AsHostProc(CropToolType));
    CropToolRecord.click = WrapRoutine(AsHostProc(CropToolClick));
    CropToolRecord.adjustCursor = WrapRoutine(AsHostProc(CropToolAdjustCursor));
    CropToolRecord.isAvailable = WrapRoutine(AsHostProc(AlwaysTrue));
    host.viewer->RegisterTool(&CropToolRecord);
}

void CropToolActivate(ToolRecord *)
{
    // Without the menus there is no show item to run, and so no display.
    if (!mediaBoxShown && ShowMediaBoxItem != nullptr) {
        host.viewer->ExecuteMenuItem(ShowMediaBoxItem);
    }
}

Atom CropToolType(ToolRecord *)
{
    return AtomOf(kSubmenuName);
}

HostBool CropToolClick(ToolRecord *, PageView view, int16_t x, int16_t y)
{
    const Page page = host.viewer->PageOf(view);
    const DeviceRect dev = RegionOnDevice(view);

    if (!CropSelection.hasRegion) {
        return MakeRegion(view, page, x, y);
    }
    if (NearCornerKind(dev, x, y) != VX_DRAG_WHOLE) {
        return DragCorner(view, x, y);
    }
    // A region the run refuses stays as it is, for the user to adjust.
    if (InsideDeviceRect(dev, x, y) && !CropRun()) {
        return VX_TRUE;
    }
    DropRegion(view, dev);
    return VX_TRUE;
}

HostBool CropToolAdjustCursor(ToolRecord *, PageView view, int16_t x, int16_t y)
{
    const DeviceRect dev = RegionOnDevice(view);
    HostCursorHandle cursor;
    if (CropSelection.hasRegion && NearCornerKind(dev, x, y) != VX_DRAG_WHOLE) {
        cursor = host.viewer->GetStandardCursor(VX_CURSOR_ARROW);
    } else if (CropSelection.hasRegion && InsideDeviceRect(dev, x, y)) {
        cursor = LoadScissorsCursor();
    } else {
        cursor = LoadCropCursor();
    }
    host.viewer->SetCursor(cursor);
    return VX_TRUE;
}

void DrawCropRegion(PageView view, void *)
{
    const Page page = host.viewer->PageOf(view);
    FixedRect media;
    host.model->GetMediaBox(page, &media);
    const int16_t rotation = host.model->PageRotation(page);

    // Carry the region over to the page shown and hold it in its space.
    CropSelection.region = MapRegion(media, CropSelection.region, CropSelection.capturedMediaBox,
                                     rotation, CropSelection.capturedRotation);
    CropSelection.capturedRotation = host.model->PageRotation(page);
    host.model->GetMediaBox(page, &CropSelection.capturedMediaBox);

    const DeviceRect dev = RegionOnDevice(view);
    host.viewer->DrawRectOutline(view, &dev, 1, nullptr, 0);
    const int16_t cornersX[4] = {dev.left, dev.right, dev.right, dev.left};
    const int16_t cornersY[4] = {dev.top, dev.top, dev.bottom, dev.bottom};
    for (int i = 0; i < 4; ++i) {
        const DeviceRect handle = HandleSquare(cornersX[i], cornersY[i], kHandleHalf);
        host.viewer->DrawRectOutline(view, &handle, 1, nullptr, 0);
    }
    host.viewer->DrawNow(view);
}

HostCursorHandle LoadCropCursor()
{
    return LoadModuleCursor(IDCUR_CROP);
}

HostCursorHandle LoadScissorsCursor()
{
    return LoadModuleCursor(IDCUR_SCISSORS);
}

HostBitmapHandle LoadToolbarBitmap()
{
    return LoadModuleBitmap(IDB_TOOLBAR);
}

HostBitmapHandle LoadMenuBitmap()
{
    return LoadModuleBitmap(IDB_MENU);
}
