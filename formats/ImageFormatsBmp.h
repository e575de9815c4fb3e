#pragma once
// BMP pictures for the picture registry ("bmp", "rle", "dib"): the program's
// bitmap with the raster core's BMP reader and writer behind it, so one reader
// serves every BMP the program opens.

#include "platform/picture/Picture.h"

class TBmpBitmap : public TBitmap {
public:
    // The class name stays "TBitmap": to the registry, and in messages, this
    // is the framework's bitmap, the one that reads and writes BMP files.
    static TGraphicClass StaticClass();
    TGraphicClass ClassType() const override { return StaticClass(); }

    // Every header size, bit fields, RLE4 and RLE8. Palette and depth are kept
    // where a pixel format has them; other 16- and 32-bit layouts become 24
    // bits. A malformed or cut-short file raises EInvalidGraphic with the
    // reason and leaves the picture as it was.
    void LoadFromStream(TStream& stream) override;
    // An uncompressed bottom-up BMP in the bitmap's own depth (5-6-5 as bit fields).
    void SaveToStream(TStream& stream) override;
};
