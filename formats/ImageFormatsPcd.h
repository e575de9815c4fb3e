#pragma once
// Kodak Photo-CD image packs: the 768 × 512 base image (or the 192 × 128
// image of an overview pack), PhotoYCC with chroma at half resolution,
// turned upright by the rotation the pack stores.

#include "formats/ImageFormats.h"

#include <cstdint>

class TPCDGraphic : public TFormatGraphic {
public:
    PICTAVO_FORMAT_GRAPHIC_CLASS(TPCDGraphic, TFormatGraphic)

    static bool CanLoad(TStream& stream);
    // imageIndex is the resolution (0 = 192 × 128 ... 5), an overview pack
    // always 0.
    bool ReadImageProperties(TStream& stream, std::uint32_t imageIndex) override;

    // Doubles a width × height plane stored with rowStride (at least 2 ×
    // width) to 2 × width by 2 × height in place: new samples are rounded
    // means of their neighbours, the last column and row repeat the one
    // before them.
    static void UpsampleRow2x(std::uint32_t width, std::uint32_t height, std::uint32_t rowStride, std::uint8_t* plane);

protected:
    const char* FormatName() const override;
    // The base image's resolution; an unrecognised pack loads as an empty picture.
    std::uint32_t LoadedImageIndex() const override { return 2; }
    bool RefusesUnknownHeader() const override { return false; }
    void LoadImage(TStream& stream) override;
};
