#pragma once
// The portable bitmap, grey map and pixel map loader (P1 to P6, text and
// binary).

#include "formats/ImageFormats.h"

#include "platform/streams/BoundedReader.h"

#include <array>
#include <cstdint>
#include <memory>

class TPPMGraphic : public TFormatGraphic {
public:
    PICTAVO_FORMAT_GRAPHIC_CLASS(TPPMGraphic, TFormatGraphic)

    static bool CanLoad(TStream& stream);
    // True whenever the data begins with "P"; a digit 1..6 fills the size
    // (and the maximum value).
    bool ReadImageProperties(TStream& stream, std::uint32_t imageIndex) override;

    // The largest sample value the header gave (1 for bitmaps).
    std::uint32_t MaxValue() const { return maxValue_; }

protected:
    const char* FormatName() const override;
    void LoadImage(TStream& stream) override;

private:
    // Reading through our own buffer; running out raises "Stream read error
    // in PPM file.".
    std::uint8_t ReadByte();
    // count bytes: the buffer's, then the stream's.
    void ReadBytes(std::uint8_t* dest, std::size_t count);
    // The next byte without taking it; -1 at the end of the data.
    int PeekByte();
    // Skips white space and comments ("#" to the end of the line).
    void SkipBlanks();
    // A decimal number after white space and comments; the one byte after
    // it is taken (a comment there runs to its line's end).
    std::uint32_t ReadNumber();
    // The header after the magic: width, height and, but for bitmaps, the
    // maximum value. Returns the kind digit, or 0 for none of 1..6.
    int ReadHeader();
    void LoadPixels(int kind);
    std::uint8_t Scale(std::uint32_t value) const;

    std::unique_ptr<BoundedReader> reader_;
    std::array<std::uint8_t, 4096> Buffer{};
    std::size_t BufferIndex = 4096;  // 4096: empty
    std::size_t bufferFill_ = 4096;
    std::uint32_t maxValue_ = 0;
    int kind_ = -1;  // the digit of the header, 0 for none of 1..6, -1 for no "P"
};
