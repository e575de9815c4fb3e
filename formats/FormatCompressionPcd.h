#pragma once
// The Photo-CD residual decoder: Huffman-coded corrections of the luma and
// chroma planes of the resolutions above 768 × 512, read straight from the
// file stream.

#include "formats/FormatCompression.h"
#include "platform/streams/Streams.h"

#include <array>
#include <cstdint>
#include <vector>

// The planes Decode corrects: each holds the base image at the target size,
// every row Width bytes apart. The sizes bound every write.
struct TPCDPlanes {
    std::uint8_t* Luma = nullptr;
    std::uint8_t* Chroma1 = nullptr;
    std::uint8_t* Chroma2 = nullptr;
    std::size_t LumaSize = 0;
    std::size_t ChromaSize = 0;
};

class TPCDDecoder : public TDecoder {
public:
    // Stream is positioned at the start of the coded data.
    explicit TPCDDecoder(TStream& Stream) : Stream(Stream) {}

    // Source points at a TPCDPlanes; PackedSize is the plane width (the row
    // stride of every plane), UnpackedSize the number of luma rows; Dest is
    // not used. The planes are corrected in place. A stream that ends before
    // the coded data does raises EReadError; a plane code of 1 raises EAbort;
    // a code length above 16 ends quietly with the planes unchanged.
    void Decode(const std::uint8_t*& Source, std::uint8_t*& Dest, std::size_t PackedSize,
                std::size_t UnpackedSize) override;
    void DecodePlanes(const TPCDPlanes& Planes, std::size_t Width, std::size_t Rows);

    TStream& Stream;

    struct THuffmanEntry {
        std::uint8_t Length = 0;
        std::uint32_t Code = 0;  // in the top 16 bits
        std::int8_t Key = 0;
        std::uint32_t Mask = 0;  // the top Length bits
    };
    using THuffmanTable = std::vector<THuffmanEntry>;

private:
    void getBits(unsigned n);
    // Shifts until the 0xFFF pattern, then bit by bit to a sync.
    void seekSync();
    bool atSync() const { return (window_ & 0xFFFFFF00u) == 0xFFFFFE00u; }

    std::uint32_t window_ = 0;
    int bits_ = 32;
    std::array<std::uint8_t, 2048> sector_{};
    std::size_t sectorIndex_ = 2048;  // 2048: used up
};
