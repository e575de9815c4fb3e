#pragma once
// The Photoshop loader: the merged image at the end of a .psd/.pdd file.

#include "formats/ImageFormats.h"

#include <cstdint>

class TPSDGraphic : public TFormatGraphic {
public:
    PICTAVO_FORMAT_GRAPHIC_CLASS(TPSDGraphic, TFormatGraphic)

    static bool CanLoad(TStream& stream);
    bool ReadImageProperties(TStream& stream, std::uint32_t imageIndex) override;

protected:
    const char* FormatName() const override;
    void LoadImage(TStream& stream) override;

private:
    std::uint16_t channels_ = 0;  // as stored (ImageProperties keeps a byte)
    std::uint16_t depth_ = 0;
    std::uint16_t mode_ = 0;
    std::int64_t colourDataStart_ = 0;  // where the colour-mode data lies
    std::uint32_t colourDataLength_ = 0;
};
