// SPDX-License-Identifier: AGPL-3.0-or-later
// The bounding-box crop and the media-box reset, menu commands that set crop
// boxes without the crop tool.
#pragma once

void CropToBoundingBox(void *data);
void ResetToMediaBox(void *data);
