// SPDX-License-Identifier: AGPL-3.0-or-later
#include "backend/pdf/marks_device.h"

#include "backend/pdf/mupdf_compat.h"
#include "backend/pdf/stroke_bounds.h"

#include <algorithm>

namespace vellora::pdf {

namespace {

struct MarksDevice {
    fz_device super;
    fz_device* inner;
    InkOptions ink;
    float unitsPerPoint;
    // The mask an image mask clip was last made of, and its transform: an
    // image painted through its own mask right after shows only where the
    // mask lets it through.
    fz_image* clipMask;
    fz_matrix clipMaskCtm;
};

fz_image* OwnMask(fz_device* dev, fz_image* image, fz_matrix ctm)
{
    const MarksDevice* self = reinterpret_cast<MarksDevice*>(dev);
    const fz_matrix& m = self->clipMaskCtm;
    const bool same = ctm.a == m.a && ctm.b == m.b && ctm.c == m.c && ctm.d == m.d &&
                      ctm.e == m.e && ctm.f == m.f;
    return image->mask && image->mask == self->clipMask && same ? image->mask : nullptr;
}

MarksDevice* Self(fz_device* dev)
{
    return reinterpret_cast<MarksDevice*>(dev);
}

fz_device* Inner(fz_device* dev)
{
    return Self(dev)->inner;
}

// A device rectangle reaches the bbox device as a filled path, so that
// clipping still applies to it.
void FillBox(fz_context* ctx, fz_device* dev, fz_rect r)
{
    if (fz_is_empty_rect(r))
        return;
    fz_path* box = fz_new_path(ctx);
    fz_try(ctx)
    {
        const float black = 0.0f;
        fz_rectto(ctx, box, r.x0, r.y0, r.x1, r.y1);
        fz_fill_path(ctx, Inner(dev), box, 0, fz_identity, fz_device_gray(ctx), &black, 1.0f,
                     fz_default_color_params);
    }
    fz_always(ctx) fz_drop_path(ctx, box);
    fz_catch(ctx) fz_rethrow(ctx);
}

void ClipBox(fz_context* ctx, fz_device* dev, fz_rect r, fz_rect scissor)
{
    fz_path* box = fz_new_path(ctx);
    fz_try(ctx)
    {
        fz_rectto(ctx, box, r.x0, r.y0, r.x1, r.y1);
        fz_clip_path(ctx, Inner(dev), box, 0, fz_identity, scissor);
    }
    fz_always(ctx) fz_drop_path(ctx, box);
    fz_catch(ctx) fz_rethrow(ctx);
}

// Channel values at or above this read as white once rounded to 8 bits.
constexpr float kWhite = 254.5f / 255.0f;

bool Invisible(fz_context* ctx, fz_colorspace* cs, const float* color, float alpha,
               fz_color_params params)
{
    if (alpha <= 0.0f)
        return true;
    if (!cs || !color)
        return false;
    float rgb[FZ_MAX_COLORS] = {0, 0, 0};
    int ok = 1;
    fz_try(ctx) fz_convert_color(ctx, cs, color, fz_device_rgb(ctx), rgb, nullptr, params);
    fz_catch(ctx) ok = 0;
    return ok && rgb[0] >= kWhite && rgb[1] >= kWhite && rgb[2] >= kWhite;
}

// How far a colour is from white, 0 to 1: its farthest channel in RGB.
float Strength(fz_context* ctx, fz_colorspace* cs, const float* color, fz_color_params params)
{
    if (!cs || !color)
        return 1.0f;
    float rgb[FZ_MAX_COLORS] = {0, 0, 0};
    int ok = 1;
    fz_try(ctx) fz_convert_color(ctx, cs, color, fz_device_rgb(ctx), rgb, nullptr, params);
    fz_catch(ctx) ok = 0;
    return ok ? 1.0f - std::min({rgb[0], rgb[1], rgb[2]}) : 1.0f;
}

void FillPath(fz_context* ctx, fz_device* dev, const fz_path* path, int evenOdd, fz_matrix ctm,
              fz_colorspace* cs, const float* color, float alpha, fz_color_params params)
{
    if (!Invisible(ctx, cs, color, alpha, params))
        fz_fill_path(ctx, Inner(dev), path, evenOdd, ctm, cs, color, alpha, params);
}

// The stroke's exact outline reaches the bbox device as a filled rectangle,
// so that clipping still applies to it.
void StrokePath(fz_context* ctx, fz_device* dev, const fz_path* path, const fz_stroke_state* stroke,
                fz_matrix ctm, fz_colorspace* cs, const float* color, float alpha,
                fz_color_params params)
{
    if (Invisible(ctx, cs, color, alpha, params))
        return;
    FillBox(ctx, dev, StrokeBounds(ctx, path, stroke, ctm));
}

void ClipPath(fz_context* ctx, fz_device* dev, const fz_path* path, int evenOdd, fz_matrix ctm,
              fz_rect scissor)
{
    fz_clip_path(ctx, Inner(dev), path, evenOdd, ctm, scissor);
}

void ClipStrokePath(fz_context* ctx, fz_device* dev, const fz_path* path,
                    const fz_stroke_state* stroke, fz_matrix ctm, fz_rect scissor)
{
    fz_clip_stroke_path(ctx, Inner(dev), path, stroke, ctm, scissor);
}

void FillText(fz_context* ctx, fz_device* dev, const fz_text* text, fz_matrix ctm,
              fz_colorspace* cs, const float* color, float alpha, fz_color_params params)
{
    if (!Invisible(ctx, cs, color, alpha, params))
        fz_fill_text(ctx, Inner(dev), text, ctm, cs, color, alpha, params);
}

void StrokeText(fz_context* ctx, fz_device* dev, const fz_text* text, const fz_stroke_state* stroke,
                fz_matrix ctm, fz_colorspace* cs, const float* color, float alpha,
                fz_color_params params)
{
    if (!Invisible(ctx, cs, color, alpha, params))
        fz_stroke_text(ctx, Inner(dev), text, stroke, ctm, cs, color, alpha, params);
}

void ClipText(fz_context* ctx, fz_device* dev, const fz_text* text, fz_matrix ctm, fz_rect scissor)
{
    fz_clip_text(ctx, Inner(dev), text, ctm, scissor);
}

void ClipStrokeText(fz_context* ctx, fz_device* dev, const fz_text* text,
                    const fz_stroke_state* stroke, fz_matrix ctm, fz_rect scissor)
{
    fz_clip_stroke_text(ctx, Inner(dev), text, stroke, ctm, scissor);
}

void FillShade(fz_context* ctx, fz_device* dev, fz_shade* shade, fz_matrix ctm, float alpha,
               fz_color_params params)
{
    if (alpha > 0.0f)
        fz_fill_shade(ctx, Inner(dev), shade, ctm, alpha, params);
}

// Fills the box of the ink found; false when the image could not be read,
// for the caller to paint its frame.
bool FillInk(fz_context* ctx, fz_device* dev, InkFound found, fz_rect unit, fz_matrix ctm)
{
    if (found == InkFound::Unknown)
        return false;
    if (found == InkFound::Some)
        FillBox(ctx, dev, fz_transform_rect(unit, ctm));
    return true;
}

// The image's ink; its frame when it cannot be decoded.
void FillImage(fz_context* ctx, fz_device* dev, fz_image* image, fz_matrix ctm, float alpha,
               fz_color_params params)
{
    if (alpha <= 0.0f)
        return;
    const MarksDevice* self = Self(dev);
    fz_rect unit;
    const InkFound found = FindImageInk(ctx, image, ctm, self->unitsPerPoint, alpha, false,
                                        OwnMask(dev, image, ctm), self->ink, &unit);
    if (!FillInk(ctx, dev, found, unit, ctm))
        fz_fill_image(ctx, Inner(dev), image, ctm, alpha, params);
}

void FillImageMask(fz_context* ctx, fz_device* dev, fz_image* image, fz_matrix ctm,
                   fz_colorspace* cs, const float* color, float alpha, fz_color_params params)
{
    if (Invisible(ctx, cs, color, alpha, params))
        return;
    const MarksDevice* self = Self(dev);
    fz_rect unit;
    const float strength = alpha * Strength(ctx, cs, color, params);
    const InkFound found = FindImageInk(ctx, image, ctm, self->unitsPerPoint, strength, true,
                                        nullptr, self->ink, &unit);
    if (!FillInk(ctx, dev, found, unit, ctm))
        fz_fill_image_mask(ctx, Inner(dev), image, ctm, cs, color, alpha, params);
}

// A mask (an image's soft mask or stencil) clips to the part of it that lets
// any paint through.
void ClipImageMask(fz_context* ctx, fz_device* dev, fz_image* image, fz_matrix ctm, fz_rect scissor)
{
    MarksDevice* self = Self(dev);
    self->clipMask = image;
    self->clipMaskCtm = ctm;
    const InkOptions anyCoverage{0.0f, false};
    fz_rect unit;
    switch (FindImageInk(ctx, image, ctm, self->unitsPerPoint, 1.0f, true, nullptr, anyCoverage,
                         &unit)) {
    case InkFound::Some:
        ClipBox(ctx, dev, fz_transform_rect(unit, ctm), scissor);
        break;
    case InkFound::None:
        ClipBox(ctx, dev, fz_make_rect(0, 0, 0, 0), scissor);
        break;
    case InkFound::Unknown:
        fz_clip_image_mask(ctx, Inner(dev), image, ctm, scissor);
        break;
    }
}

void PopClip(fz_context* ctx, fz_device* dev)
{
    Self(dev)->clipMask = nullptr;
    fz_pop_clip(ctx, Inner(dev));
}

void BeginMask(fz_context* ctx, fz_device* dev, fz_rect area, int luminosity, fz_colorspace* cs,
               const float* bc, fz_color_params params)
{
    fz_begin_mask(ctx, Inner(dev), area, luminosity, cs, bc, params);
}

void BeginGroup(fz_context* ctx, fz_device* dev, fz_rect area, fz_colorspace* cs, int isolated,
                int knockout, int blendmode, float alpha)
{
    fz_begin_group(ctx, Inner(dev), area, cs, isolated, knockout, blendmode, alpha);
}

void EndGroup(fz_context* ctx, fz_device* dev)
{
    fz_end_group(ctx, Inner(dev));
}

void EndTile(fz_context* ctx, fz_device* dev)
{
    fz_end_tile(ctx, Inner(dev));
}

void CloseDevice(fz_context* ctx, fz_device* dev)
{
    fz_close_device(ctx, Inner(dev));
}

void DropDevice(fz_context* ctx, fz_device* dev)
{
    fz_drop_device(ctx, Inner(dev));
}

}  // namespace

fz_device* NewMarksDevice(fz_context* ctx, fz_rect* result, const InkOptions& ink,
                          float unitsPerPoint)
{
    fz_device* inner = fz_new_bbox_device(ctx, result);
    MarksDevice* dev = nullptr;
    fz_try(ctx) dev = fz_new_derived_device(ctx, MarksDevice);
    fz_catch(ctx)
    {
        fz_drop_device(ctx, inner);
        fz_rethrow(ctx);
    }
    dev->inner = inner;
    dev->ink = ink;
    dev->unitsPerPoint = unitsPerPoint;
    dev->clipMask = nullptr;
    dev->clipMaskCtm = fz_identity;
    dev->super.close_device = CloseDevice;
    dev->super.drop_device = DropDevice;
    dev->super.fill_path = FillPath;
    dev->super.stroke_path = StrokePath;
    dev->super.clip_path = ClipPath;
    dev->super.clip_stroke_path = ClipStrokePath;
    dev->super.fill_text = FillText;
    dev->super.stroke_text = StrokeText;
    dev->super.clip_text = ClipText;
    dev->super.clip_stroke_text = ClipStrokeText;
    dev->super.fill_shade = FillShade;
    dev->super.fill_image = FillImage;
    dev->super.fill_image_mask = FillImageMask;
    dev->super.clip_image_mask = ClipImageMask;
    dev->super.pop_clip = PopClip;
    dev->super.begin_mask = BeginMask;
    dev->super.begin_group = BeginGroup;
    dev->super.end_group = EndGroup;
    compat::PassMaskEndAndTilesOn<Inner>(&dev->super);
    dev->super.end_tile = EndTile;
    return &dev->super;
}

}  // namespace vellora::pdf
