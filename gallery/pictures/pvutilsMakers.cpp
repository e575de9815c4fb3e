// The image copy and thumbnail makers: load the source, filter, decorate and
// resize in the order each kind of picture needs.

#include "gallery/records/PropertyRecords.h"
#include "gallery/records/pvutils.h"
#include "gallery/pictures/pvutilsGeometry.h"
#include "gallery/pictures/pvutilsMakers.h"
#include "gallery/pictures/pvutilsPictures.h"
#include "gallery/pictures/pvutilsSourceCache.h"
#include "raster/RasterDIB.h"

#include <memory>

namespace {

// The first field of the mask, frame and outline records, as it stands.
bool recordIsOn(const std::string& record) { return GetField(1, record, FrameField::On) == "1"; }

struct BevelFields {
    int Shape = 0, Width = 0, Margin = 0, Transparency = 0;
};

// The eleven numbers of a bevel record; a non-numeric field raises EConvertError.
BevelFields readBevel(const std::string& record)
{
    std::string rest = record;
    int numbers[BevelField::Count + 1] = {};
    for (int n = BevelField::Shape; n <= BevelField::Count; ++n) numbers[n] = StrToInt(NextField(rest));
    return BevelFields{numbers[BevelField::Shape], numbers[BevelField::Width], numbers[BevelField::Margin],
                       numbers[BevelField::Transparency]};
}

struct FrameGroup {
    const std::string& Mask;
    const std::string& Frame;
    const std::string& Bevel;
    const std::string& Outline;
};

// The bevel, when its shape is not "None". The image copy alone first grows
// by the bevel width when a flat, fully transparent bevel has no margin, so
// the bevel does not cover the picture.
void applyBevel(TRasterDIB& picture, const std::string& sourceFile, const std::string& record,
                const TDecorationHooks& hooks, bool imageCopy)
{
    const BevelFields bevel = readBevel(record);
    if (bevel.Shape == bsNone) return;
    const bool growFirst = bevel.Transparency == 100 && bevel.Shape == bsFlat && bevel.Margin == 0;
    if (imageCopy && growFirst) AddMargin(picture, bevel.Width, bevel.Width);
    hooks.ButtonizeImage(picture, record, sourceFile);
}

// The frame group, in its fixed order: mask, frame picture, bevel, outline.
void applyFrameGroup(TRasterDIB& picture, const std::string& sourceFile, const FrameGroup& records,
                     const TDecorationHooks& hooks, bool imageCopy)
{
    if (hooks.ApplyOverlay && recordIsOn(records.Mask)) hooks.ApplyOverlay(picture, records.Mask, sourceFile);
    if (hooks.DrawFrameImage && recordIsOn(records.Frame)) hooks.DrawFrameImage(picture, records.Frame, sourceFile);
    if (hooks.ButtonizeImage) applyBevel(picture, sourceFile, records.Bevel, hooks, imageCopy);
    if (hooks.DrawOutlineImage && recordIsOn(records.Outline))
        hooks.DrawOutlineImage(picture, records.Outline, sourceFile);
}

TThumbnailGeometry thumbnailGeometry(const TMakerSettings& settings)
{
    return TThumbnailGeometry{settings.ThumbSize, settings.LockDimension, settings.ThumbWidth, settings.ThumbHeight};
}

// The thumbnail's first step: its size from the source's, then the resampling.
void resampleForThumbnail(const TRasterDIB& source, TRasterDIB& result, const TMakerSettings& settings)
{
    int width = settings.ThumbWidth, height = settings.ThumbHeight;
    ScaleSize(source, width, height, settings.ThumbSize, settings.LockDimension, false);
    if (!ResampleForResize(source, result, settings.ThumbSize, width, height, settings.ThumbWidth,
                           settings.ThumbHeight))
        CopyPicture(source, result);
}

// Inside a build item the thumbnail follows the image copy from the same
// source: its start is made here, before the image copy changes the source.
// It only saves time, so a start that cannot be had is no failure.
void rememberThumbnailStart(const TRasterDIB& source, const std::string& fileName, const TMakerSettings& settings)
{
    if (!SourcePictureCacheActive()) return;
    try {
        auto start = std::make_unique<TRasterDIB>();
        resampleForThumbnail(source, *start, settings);
        RememberThumbnailStart(fileName, thumbnailGeometry(settings), std::move(start));
    } catch (const Exception&) {
    } catch (const std::bad_alloc&) {
    }
}

// The image copy's decorations in their order: the frame group, the logo, the text stamp.
void decorateImageCopy(TRasterDIB& picture, const std::string& fileName, const TMakerSettings& settings,
                       const TDecorationHooks& hooks)
{
    if (settings.ImageUseFrame)
        applyFrameGroup(picture, fileName,
                        FrameGroup{settings.MaskImage, settings.FrameImage, settings.BevelImage, settings.OutlineImage},
                        hooks, true);
    if (settings.AddLogo && hooks.DrawLogoStamp) hooks.DrawLogoStamp(picture, settings.Logo, fileName);
    if (settings.AddText && hooks.DrawTextStamp) hooks.DrawTextStamp(picture, settings.Text, fileName);
}

// "Resi&ze": the box by the method, then the resampling.
void resizeImageCopy(TRasterDIB& picture, const TMakerSettings& settings)
{
    int width = settings.ImageWidth, height = settings.ImageHeight;
    switch (settings.ResizeMethod) {
    case rmBoth: ScaleSize(picture, width, height, skPixel, true, false); break;
    case rmWidth: ScaleSize(picture, width, height, skPixel, false, false); break;
    case rmHeight: ScaleSize(picture, width, height, skPixel, false, true); break;
    default: break;  // no method chosen: the typed size as it is
    }
    ResizeImage(picture, skPixel, width, height, width, height);
}

}  // namespace

void MakeImageCopy(int& failed, const std::string& fileName, TRasterDIB& target, const TMakerSettings& settings,
                   const TDecorationHooks& hooks)
{
    failed = 0;
    auto work = std::make_unique<TRasterDIB>();
    LoadImageFile(*work, fileName);
    if (!PictureLoaded(*work)) {
        failed = 1;
        return;
    }
    rememberThumbnailStart(*work, fileName, settings);
    if (settings.ImageFilter != flNone) ApplyFilter(*work, settings.ImageFilter);
    // Decorations keep their pixel sizes at the source's size, before any resize.
    decorateImageCopy(*work, fileName, settings, hooks);
    if (settings.Resize) resizeImageCopy(*work, settings);
    // Moved, not copied: no second full-size buffer is made here.
    target.TakeOver(std::move(work));
}

void MakeThumbnail(int& failed, const std::string& fileName, TRasterDIB& target, const TMakerSettings& settings,
                   const TDecorationHooks& hooks)
{
    failed = 0;
    auto work = std::make_unique<TRasterDIB>();
    // The size changes first, so the decorations keep their pixel sizes on
    // the small picture.
    if (!TakeThumbnailStart(*work, fileName, thumbnailGeometry(settings))) {
        LoadImageFile(*work, fileName);
        if (!PictureLoaded(*work)) {
            failed = 1;
            return;
        }
        int width = settings.ThumbWidth, height = settings.ThumbHeight;
        ScaleSize(*work, width, height, settings.ThumbSize, settings.LockDimension, false);
        ResizeImage(*work, settings.ThumbSize, width, height, settings.ThumbWidth, settings.ThumbHeight);
    }
    if (settings.ThumbFilter != flNone) ApplyFilter(*work, settings.ThumbFilter);
    if (settings.ThumbUseFrame)
        applyFrameGroup(*work, fileName,
                        FrameGroup{settings.MaskThumb, settings.FrameThumb, settings.BevelThumb, settings.OutlineThumb},
                        hooks, false);
    target.TakeOver(std::move(work));
}

void LoadOriginalPicture(int& failed, const std::string& fileName, TRasterDIB& target)
{
    auto picture = std::make_unique<TRasterDIB>();
    LoadImageFile(*picture, fileName);
    if (!PictureLoaded(*picture)) {
        failed = 1;
        return;
    }
    failed = 0;
    target.TakeOver(std::move(picture));
}
