// Photo-CD residual planes. The coded data names its rows itself; every row
// number and every step along a row is checked against the plane it points
// into, so corrections for rows the planes do not have are read and dropped.

#include "formats/FormatCompressionPcd.h"
#include "formats/FormatColor.h"
#include "platform/core/Exception.h"

void TPCDDecoder::getBits(unsigned n)
{
    window_ = n >= 32 ? 0 : window_ << n;
    bits_ -= static_cast<int>(n);
    while (bits_ < 25) {
        if (sectorIndex_ >= sector_.size()) {
            Stream.ReadBuffer(sector_.data(), sector_.size());
            sectorIndex_ = 0;
        }
        window_ |= std::uint32_t(sector_[sectorIndex_++]) << (24 - bits_);
        bits_ += 8;
    }
}

void TPCDDecoder::seekSync()
{
    while ((window_ & 0x00FFF000u) != 0x00FFF000u) getBits(8);
    while (!atSync()) getBits(1);
}

void TPCDDecoder::Decode(const std::uint8_t*& Source, std::uint8_t*&, std::size_t PackedSize, std::size_t UnpackedSize)
{
    DecodePlanes(*reinterpret_cast<const TPCDPlanes*>(Source), PackedSize, UnpackedSize);
}

void TPCDDecoder::DecodePlanes(const TPCDPlanes& Planes, std::size_t Width, std::size_t Rows)
{
    window_ = 0;
    bits_ = 32;
    sectorIndex_ = sector_.size();

    // One table for planes up to 1536 wide, else one per plane.
    std::array<THuffmanTable, 3> tables;
    const std::size_t tableCount = Width < 1537 ? 1 : 3;
    for (std::size_t t = 0; t < tableCount; ++t) {
        getBits(8);
        const std::size_t count = (window_ & 0xFF) + 1;
        tables[t].resize(count);
        for (THuffmanEntry& entry : tables[t]) {
            getBits(8);
            const unsigned length = (window_ & 0xFF) + 1;
            if (length > 16) return;  // not a table we can use: the planes stay as they are
            getBits(16);
            entry.Length = static_cast<std::uint8_t>(length);
            entry.Code = (window_ & 0xFFFF) << 16;
            getBits(8);
            entry.Key = static_cast<std::int8_t>(window_ & 0xFF);
            entry.Mask = ~std::uint32_t(0) << (32 - length);
        }
    }
    getBits(16);
    getBits(16);
    seekSync();

    const THuffmanTable* table = nullptr;
    std::uint8_t* plane = nullptr;
    std::size_t position = 0, limit = 0;
    for (;;) {
        if (atSync()) {
            getBits(16);
            const std::size_t row = (window_ >> 9) & 0x1FFF;
            if (row == Rows) return;
            getBits(8);
            const unsigned planeCode = window_ >> 30;
            getBits(16);
            // Plane code 0 is luma, 2 and 3 the chroma planes of half as many rows.
            if (planeCode == 1) throw EAbort();
            const bool luma = planeCode == 0;
            plane = luma ? Planes.Luma : planeCode == 2 ? Planes.Chroma1 : Planes.Chroma2;
            const std::size_t planeSize = luma ? Planes.LumaSize : Planes.ChromaSize;
            position = (luma ? row : row / 2) * Width;
            table = &tables[luma ? 0 : planeCode - 1];
            // A row past the planes: its codes are read and dropped.
            limit = row < Rows && position < planeSize ? std::min(planeSize, position + Width) : position;
            continue;
        }
        const THuffmanEntry* found = nullptr;
        if (table)
            for (const THuffmanEntry& entry : *table)
                if ((window_ & entry.Mask) == entry.Code) {
                    found = &entry;
                    break;
                }
        if (!found) {
            seekSync();
            continue;
        }
        if (position < limit) {
            plane[position] = ClampByte(plane[position] + found->Key);
            ++position;
        }
        getBits(found->Length);
    }
}
