// SPDX-License-Identifier: AGPL-3.0-or-later
#include "crop/crop_page.h"

#include "crop/crop_selection.h"
#include "crop/geometry.h"
#include "crop/page_run.h"
#include "module/fixed.h"
#include "module/module_state.h"

namespace {

// Same size and rotation as the captured page, or the size turned a quarter
// either way together with the rotation.
bool OrientationMatches(HalfSizePair captured, HalfSizePair page, int16_t pageRotation)
{
    const int16_t capturedRotation = CropSelection.capturedRotation;
    if (captured.halfWidth == page.halfWidth && captured.halfHeight == page.halfHeight &&
        pageRotation == capturedRotation) {
        return true;
    }
    if (captured.halfWidth == page.halfHeight && captured.halfHeight == page.halfWidth) {
        return pageRotation == RotationPlus(capturedRotation, 90) ||
               pageRotation == RotationPlus(capturedRotation, 270);
    }
    return false;
}

// Decides whether the page may be cropped and, when it may, its new box.
CropResult JudgePage(FixedRect mediaBox, int16_t rotation, OrientationPolicyValue policy,
                     FixedRect *cropBox)
{
    const HalfSizePair captured = HalfSize(CropSelection.capturedMediaBox);
    const HalfSizePair page = HalfSize(mediaBox);
    const FixedRect mapped =
        MapRegion(mediaBox, CropSelection.region, CropSelection.capturedMediaBox, rotation,
                  CropSelection.capturedRotation);

    // The zero rectangle of an unmappable pair of rotations shows up here.
    if (RectWidth(mapped) < kFixedOne) {
        return CropResult::BadRotation;
    }
    if (policy != OrientationPolicyValue::CropAll &&
        !OrientationMatches(captured, page, rotation)) {
        return CropResult::OrientationMismatch;
    }
    if (OverlapsBy(mapped, mediaBox, 0) || OverlapsBy(mapped, mediaBox, kFixedInch)) {
        return CropResult::NoOverlap;
    }
    *cropBox = ClipToBox(mapped, mediaBox);
    if (RectWidth(*cropBox) < kFixedInch || RectHeight(*cropBox) < kFixedInch) {
        return CropResult::NoOverlap;
    }
    return CropResult::Cropped;
}

}  // namespace

CropResult CropOnePage(int32_t pageIndex, OrientationPolicyValue policy)
{
    const DocWindow window = host.viewer->GetActiveDocWindow();
    const Document doc = host.viewer->DocumentOf(window);
    const Page page = host.model->AcquirePage(doc, pageIndex);

    FixedRect mediaBox;
    host.model->GetMediaBox(page, &mediaBox);
    const int16_t rotation = host.model->PageRotation(page);

    FixedRect cropBox = {0, 0, 0, 0};
    const CropResult result = JudgePage(mediaBox, rotation, policy, &cropBox);
    if (result == CropResult::Cropped) {
        ApplyCropBox(page, cropBox);
    }
    host.model->ReleasePage(page);
    return result;
}
