#pragma once
// The Alias/Wavefront run-length loader (.rla/.rpf): RGB pictures with an
// optional matte channel.

#include "formats/ImageFormats.h"

#include <cstdint>

class TRLAGraphic : public TFormatGraphic {
public:
    PICTAVO_FORMAT_GRAPHIC_CLASS(TRLAGraphic, TFormatGraphic)

    static bool CanLoad(TStream& stream);
    bool ReadImageProperties(TStream& stream, std::uint32_t imageIndex) override;

    // The number a gamma text stands for; 1.0 when it is none (or not a
    // finite number).
    static float ParseGamma(std::string_view text);

protected:
    const char* FormatName() const override;
    // A file that is not an RGB picture loads as an empty picture.
    bool RefusesUnknownHeader() const override { return false; }
    void LoadImage(TStream& stream) override;

private:
    std::uint16_t colourChannels_ = 0;  // as stored
    std::uint16_t matteChannels_ = 0;
    std::uint16_t bitsPerChannel_ = 0;
};
