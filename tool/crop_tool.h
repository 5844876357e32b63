// SPDX-License-Identifier: AGPL-3.0-or-later
// The crop region tool: the tool record and the routines the host calls
// while the tool is active, and the loaders of the module's cursor and
// bitmap resources. The region it edits is the crop selection.
#pragma once

#include "vx_types.h"

// The tool's record; its address is the tool's identity for the host.
extern ToolRecord CropToolRecord;

// DrawCropRegion wrapped by the menu registration; none (0) in a host
// without the Tools or the Extensions menu.
extern HostCallback DrawCropRegionCallback;

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
