#pragma once
// The Paint Shop Pro loader: the first raster layer of a .psp file (major
// version 3 and later).

#include "formats/ImageFormats.h"

#include <array>
#include <cstdint>
#include <vector>

class TPSPGraphic : public TFormatGraphic {
public:
    PICTAVO_FORMAT_GRAPHIC_CLASS(TPSPGraphic, TFormatGraphic)

    static bool CanLoad(TStream& stream);
    bool ReadImageProperties(TStream& stream, std::uint32_t imageIndex) override;

    // Whether the last load lacked channel data its picture needs (those
    // bytes are zero).
    bool DataIncomplete() const { return dataIncomplete_; }

    struct TBlockHeader {
        std::uint16_t ID = 0;
        std::int64_t DataStart = 0;  // where the block's data begins
        std::uint32_t Length = 0;    // total length of the data
        std::int64_t End() const { return DataStart + Length; }
    };

protected:
    const char* FormatName() const override;
    void LoadImage(TStream& stream) override;

private:
    // False at the end of the data, or when the marker does not begin with "~".
    bool readBlockHeader(TBlockHeader& header);
    void readPalette();
    // The first usable layer of a layer bank; false when there is none.
    bool readLayerBank(const TBlockHeader& bank);
    void readChannels(std::uint16_t channelCount);
    void readChannel();
    void transferRows();

    std::vector<std::vector<std::uint8_t>> planes_;  // composite, red, green, blue
    std::array<bool, 4> filled_{};                   // planes a channel reached
    std::size_t rowBytes_ = 0;
    std::int64_t attributesEnd_ = 0;  // where the block after the image attributes begins
    bool dataIncomplete_ = false;
};
