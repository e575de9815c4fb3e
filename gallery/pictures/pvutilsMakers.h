#pragma once
// The image copy and thumbnail makers. TRasterDIB is only declared here, which
// keeps the main window's header light; include "gallery/pictures/pvutilsPictures.h"
// to work on the pictures themselves.

#include <functional>
#include <string>

class TRasterDIB;

// A decoration, called with the picture, its property record and the source
// file name when its record or check box is on; an empty hook is skipped.
using TDecorationHook =
    std::function<void(TRasterDIB& picture, const std::string& record, const std::string& sourceFile)>;

struct TDecorationHooks {
    TDecorationHook ApplyOverlay, DrawFrameImage, ButtonizeImage, DrawOutlineImage, DrawLogoStamp, DrawTextStamp;
};

// The image copy's resize "Method": the box decides both sides, or the
// width, or the height; any other value resizes to the typed size.
enum TResizeMethod : int { rmBoth = 0, rmWidth = 1, rmHeight = 2 };

// How a finished picture is written: SaveImageFile's kind (TOutputKind, JPEG
// or GIF from the format choice), the JPEG quality as set (the JPEG writer
// holds it to 1..100) and the GIF's colours.
struct TPictureOutput {
    int Kind = 0;
    int Quality = 75;
    int Colors = 255;
};

// What the makers read from the main window: the "Images" page and the
// property records of the decorations.
struct TMakerSettings {
    // Image copy.
    int ImageFilter = 0;  // TImageFilter
    bool ImageUseFrame = false;
    bool AddLogo = false;
    bool AddText = false;
    bool Resize = false;
    int ImageWidth = 0, ImageHeight = 0;
    int ResizeMethod = 0;  // TResizeMethod
    // Thumbnail.
    int ThumbSize = 0;  // TScaleKind: percent, pixel or crop
    bool LockDimension = false;
    int ThumbWidth = 0, ThumbHeight = 0;
    int ThumbFilter = 0;
    bool ThumbUseFrame = false;
    // How each is written.
    TPictureOutput ImageOutput, ThumbOutput;
    // Records: mask, frame picture, bevel, outline of the image copy and of
    // the thumbnail; logo and text stamp of the image copy.
    std::string MaskImage, FrameImage, BevelImage, OutlineImage;
    std::string MaskThumb, FrameThumb, BevelThumb, OutlineThumb;
    std::string Logo, Text;
};

// The shape of both makers below.
using TPictureMaker = void (*)(int& failed, const std::string& fileName, TRasterDIB& target,
                               const TMakerSettings& settings, const TDecorationHooks& hooks);

// failed 0: target holds the finished 24-bit picture; failed 1: the source
// did not load and target is unchanged. A non-numeric bevel field raises
// EConvertError; an unknown extension raises as LoadImageFile does.
void MakeImageCopy(int& failed, const std::string& fileName, TRasterDIB& target, const TMakerSettings& settings,
                   const TDecorationHooks& hooks);
void MakeThumbnail(int& failed, const std::string& fileName, TRasterDIB& target, const TMakerSettings& settings,
                   const TDecorationHooks& hooks);
// The source as it is (24 bits), for the viewer; the same contract.
void LoadOriginalPicture(int& failed, const std::string& fileName, TRasterDIB& target);
