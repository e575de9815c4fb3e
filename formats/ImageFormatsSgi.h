#pragma once
// Silicon Graphics image files: grey, RGB and RGB with alpha, 8 or 16 bits
// per sample, verbatim or run-length encoded, bottom row first.

#include "formats/FormatCompression.h"
#include "formats/ImageFormats.h"

#include <cstdint>
#include <memory>
#include <vector>

class BoundedReader;

class TSGIGraphic : public TFormatGraphic {
public:
    PICTAVO_FORMAT_GRAPHIC_CLASS(TSGIGraphic, TFormatGraphic)

    static bool CanLoad(TStream& stream);
    bool ReadImageProperties(TStream& stream, std::uint32_t imageIndex) override;

    // The run-length tables: where each stored row begins and how long it
    // is, indexed by channel × height + row.
    std::vector<std::uint32_t> RowStart;
    std::vector<std::uint32_t> RowSize;

protected:
    const char* FormatName() const override;
    void LoadImage(TStream& stream) override;

private:
    // One stored row of channel into dest (Width samples of bytesPerSample,
    // as stored: high byte first).
    void ReadRow(BoundedReader& reader, std::uint32_t row, std::uint32_t channel, std::uint32_t bytesPerSample,
                 std::uint8_t* dest);

    std::unique_ptr<TSGIRLEDecoder> Decoder;
    std::vector<std::uint8_t> packed_;
};
