// The crop region tool: the selected region, the tool record and the
// routines the host calls while the tool is active, and the loaders of the
// module's cursor and bitmap resources.
#pragma once

#include "vx_types.h"

// The one selected region of the whole application, held in the page space
// of the page described by capturedMediaBox and capturedRotation.
struct CropSelectionState {
    FixedRect region;
    FixedRect capturedMediaBox;
    int16_t capturedRotation;
    HostBool hasRegion;
};

extern CropSelectionState CropSelection;

// The tool's record; its address is the tool's identity for the host.
extern ToolRecord CropToolRecord;

void RegisterCropTool();

void CropToolActivate(ToolRecord *tool);
Atom CropToolType(ToolRecord *tool);
HostBool CropToolClick(ToolRecord *tool, PageView view, int16_t x, int16_t y);
HostBool CropToolAdjustCursor(ToolRecord *tool, PageView view, int16_t x, int16_t y);
void DrawCropRegion(PageView view, void *data);

// Which corner of a device rectangle a point is near (within 3 pixels),
// tried bottom-right, bottom-left, top-left, top-right; VX_DRAG_WHOLE (0)
// when none.
int32_t NearCornerKind(DeviceRect dev, int16_t x, int16_t y);
// Within the rectangle, bounds included.
bool InsideDeviceRect(DeviceRect dev, int16_t x, int16_t y);

HostCursorHandle LoadCropCursor();
HostCursorHandle LoadScissorsCursor();
HostBitmapHandle LoadToolbarBitmap();
HostBitmapHandle LoadMenuBitmap();
