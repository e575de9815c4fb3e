#pragma once
// The framework's JPEG picture class, decoding through libjpeg. The gallery
// reads its JPEG sources through the raster core; this class is what the
// picture registry offers for the JPEG extensions.

#include "platform/picture/Picture.h"

class TJPEGImage : public TGraphic {
public:
    PICTAVO_GRAPHIC_CLASS(TJPEGImage, TGraphic)

    int Width() const override { return bitmap_.Width(); }
    int Height() const override { return bitmap_.Height(); }
    // Decodes the whole stream from its position (24-bit result), turned
    // upright by its EXIF orientation. Malformed data raises EInvalidGraphic
    // "JPEG error #<n>: <libjpeg's text>"; pictures beyond the pixel cap, and
    // frames the data is too short to fill, raise EImageTooLarge before the
    // bitmap is made.
    void LoadFromStream(TStream& stream) override;
    void Assign(const TGraphic& source) override;
    std::unique_ptr<TBitmap> RenderBitmap() const override;
    const TBitmap& Bitmap() const { return bitmap_; }

private:
    TBitmap bitmap_;
};
