#include "backend/pdf/marks_device.h"

#include "backend/pdf/mupdf_compat.h"
#include "backend/pdf/stroke_bounds.h"

namespace vellora::pdf {

namespace {

struct MarksDevice {
    fz_device super;
    fz_device* inner;
};

fz_device* Inner(fz_device* dev)
{
    return reinterpret_cast<MarksDevice*>(dev)->inner;
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
    const fz_rect r = StrokeBounds(ctx, path, stroke, ctm);
    if (fz_is_empty_rect(r))
        return;
    fz_path* box = fz_new_path(ctx);
    fz_try(ctx)
    {
        fz_rectto(ctx, box, r.x0, r.y0, r.x1, r.y1);
        fz_fill_path(ctx, Inner(dev), box, 0, fz_identity, cs, color, alpha, params);
    }
    fz_always(ctx) fz_drop_path(ctx, box);
    fz_catch(ctx) fz_rethrow(ctx);
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

void FillImage(fz_context* ctx, fz_device* dev, fz_image* image, fz_matrix ctm, float alpha,
               fz_color_params params)
{
    if (alpha > 0.0f)
        fz_fill_image(ctx, Inner(dev), image, ctm, alpha, params);
}

void FillImageMask(fz_context* ctx, fz_device* dev, fz_image* image, fz_matrix ctm,
                   fz_colorspace* cs, const float* color, float alpha, fz_color_params params)
{
    if (!Invisible(ctx, cs, color, alpha, params))
        fz_fill_image_mask(ctx, Inner(dev), image, ctm, cs, color, alpha, params);
}

void ClipImageMask(fz_context* ctx, fz_device* dev, fz_image* image, fz_matrix ctm, fz_rect scissor)
{
    fz_clip_image_mask(ctx, Inner(dev), image, ctm, scissor);
}

void PopClip(fz_context* ctx, fz_device* dev)
{
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

fz_device* NewMarksDevice(fz_context* ctx, fz_rect* result)
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
