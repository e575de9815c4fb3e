#pragma once
// The framework's other own graphic classes: Windows icons (decoded by our own
// small reader) and Windows metafiles (not supported on this system).

#include "platform/picture/Picture.h"

#include <functional>
#include <span>

// An icon file: the largest image it holds (then the deepest), as 32-bit
// blue, green, red, alpha pixels; pixels masked out are transparent black.
class TIcon : public TGraphic {
public:
    PICTAVO_GRAPHIC_CLASS(TIcon, TGraphic)

    // Decodes the PNG images that newer icons hold (the image-format library
    // sets it at start-up; without it such images are passed over, and an icon
    // that has nothing else raises "Cannot load image. PNG-compressed icons
    // are not supported.").
    using TPngDecoder = std::function<std::unique_ptr<TBitmap>(std::span<const std::uint8_t>)>;
    static TPngDecoder PngDecoder;

    int Width() const override { return image_.Width(); }
    int Height() const override { return image_.Height(); }
    void LoadFromStream(TStream& stream) override;
    void Assign(const TGraphic& source) override;
    // Transparent pixels are drawn as black.
    std::unique_ptr<TBitmap> RenderBitmap() const override;
    // The decoded image (32 bits, alpha kept).
    const TBitmap& Image() const { return image_; }

private:
    TBitmap image_;
};

// Windows metafiles are vector drawings we cannot replay: loading one raises
// EInvalidGraphic "Cannot load image. Windows metafiles are not supported."
class TMetafile : public TGraphic {
public:
    PICTAVO_GRAPHIC_CLASS(TMetafile, TGraphic)

    int Width() const override { return 0; }
    int Height() const override { return 0; }
    void LoadFromStream(TStream& stream) override;
    std::unique_ptr<TBitmap> RenderBitmap() const override;
};

extern const char* const MetafileNotSupportedText;
