#pragma once
// Loaders for GIF, PNG, Targa (also written) and PCX pictures.

#include "formats/FormatCompression.h"
#include "formats/ImageFormats.h"
#include "platform/core/ByteOrder.h"

#include <array>
#include <cstdint>
#include <memory>
#include <vector>

// The first image of a GIF file (87a or 89a) as an 8-bit palette bitmap.
class TGIFGraphic : public TFormatGraphic {
public:
    PICTAVO_FORMAT_GRAPHIC_CLASS(TGIFGraphic, TFormatGraphic)

    static bool CanLoad(TStream& stream);
    bool ReadImageProperties(TStream& stream, std::uint32_t imageIndex) override;

protected:
    const char* FormatName() const override;
    void LoadImage(TStream& stream) override;

private:
    std::uint8_t SkipExtensions(TStream& stream);

    TLogPalette globalTable_, localTable_;  // as the header gave them (empty: none)
    bool imageFound_ = false;               // an image descriptor before the trailer
};

// PNG pictures of every colour type, depth and interlace method.
class TPNGGraphic : public TFormatGraphic {
public:
    PICTAVO_FORMAT_GRAPHIC_CLASS(TPNGGraphic, TFormatGraphic)

    static bool CanLoad(TStream& stream);
    bool ReadImageProperties(TStream& stream, std::uint32_t imageIndex) override;

    // The palette alpha values of a tRNS chunk (read, not applied).
    const std::vector<std::uint8_t>& Transparency() const { return Transparency_; }
    TColor BackgroundColor() const { return BackgroundColor_; }
    static constexpr TColor NoTransparentColor = 0x1FFFFFFF;
    TColor TransparentColorFound() const { return TransparentColor_; }

    static std::uint8_t PaethPredictor(std::uint8_t a, std::uint8_t b, std::uint8_t c);
    // Undoes one row filter in place; row holds bytesPerRow bytes after the
    // filter byte has been taken off.
    static void ApplyFilter(std::uint8_t filter, std::uint8_t* row, const std::uint8_t* previous,
                            std::size_t bytesPerRow, std::size_t sourceBPP);

protected:
    const char* FormatName() const override;
    void LoadImage(TStream& stream) override;

private:
    struct ChunkHeaderRec {
        std::uint32_t Length = 0;
        char Type[4] = {};
        std::uint32_t CRC = 0;
    };

    bool IsChunk(const char* type) const;
    void ReadChunkHeader();
    void ReadDataAndCheckCRC();
    void SkipChunkData();
    std::size_t SetupColorDepth(int colorType, int bitDepth);
    // Fills count bytes of image data; returns how many it got before the
    // image data ended.
    std::size_t ReadRow(std::uint8_t* buffer, std::size_t count);
    void LoadImageData();
    void ReadBackground();
    void ReadTransparency();
    void fillBackground();

    std::unique_ptr<TLZ77Decoder> Decoder;
    std::vector<std::uint8_t> RawBuffer;
    std::size_t CurrentSource = 0;
    std::size_t IDATSize = 0;
    ChunkHeaderRec ChunkHeader;
    std::size_t SourceBPP = 1;
    bool HasPalette_ = false;
    std::size_t PaletteCount_ = 0;  // colours of the PLTE chunk
    TLogPalette Palette_;
    std::vector<std::uint8_t> Transparency_;
    TColor BackgroundColor_ = 0xFFFFFF;
    bool BackgroundIsIndex_ = false;  // grey and palette pictures keep an index
    TColor TransparentColor_ = NoTransparentColor;
    std::uint8_t ColorType_ = 0;
    std::uint8_t BitDepth_ = 0;
    bool PixelFormatSet_ = false;
};

// Truevision Targa pictures; also the library's writer.
class TTargaGraphic : public TFormatGraphic {
public:
    PICTAVO_FORMAT_GRAPHIC_CLASS(TTargaGraphic, TFormatGraphic)

    // The 18-byte file header.
    struct THeader {
        std::uint8_t IDLength = 0;
        std::uint8_t ColorMapType = 0;
        std::uint8_t ImageType = 0;
        std::uint16_t ColorMapStart = 0;
        std::uint16_t ColorMapLength = 0;
        std::uint8_t ColorMapEntrySize = 0;
        std::uint16_t XOrigin = 0;
        std::uint16_t YOrigin = 0;
        std::uint16_t Width = 0;
        std::uint16_t Height = 0;
        std::uint8_t PixelSize = 0;
        std::uint8_t Descriptor = 0;

        static constexpr std::size_t Size = 18;

        void Parse(const std::uint8_t* b)
        {
            IDLength = b[0];
            ColorMapType = b[1];
            ImageType = b[2];
            ColorMapStart = GetLE16(b + 3);
            ColorMapLength = GetLE16(b + 5);
            ColorMapEntrySize = b[7];
            XOrigin = GetLE16(b + 8);
            YOrigin = GetLE16(b + 10);
            Width = GetLE16(b + 12);
            Height = GetLE16(b + 14);
            PixelSize = b[16];
            Descriptor = b[17];
        }

        void Serialize(std::uint8_t* b) const
        {
            b[0] = IDLength;
            b[1] = ColorMapType;
            b[2] = ImageType;
            PutLE16(b + 3, ColorMapStart);
            PutLE16(b + 5, ColorMapLength);
            b[7] = ColorMapEntrySize;
            PutLE16(b + 8, XOrigin);
            PutLE16(b + 10, YOrigin);
            PutLE16(b + 12, Width);
            PutLE16(b + 14, Height);
            b[16] = PixelSize;
            b[17] = Descriptor;
        }
    };

    static bool CanLoad(TStream& stream);
    bool ReadImageProperties(TStream& stream, std::uint32_t imageIndex) override;
    // Writes the bitmap run-length encoded.
    void SaveToStream(TStream& stream) override;
    void SaveToStream(TStream& stream, bool compressed);

protected:
    const char* FormatName() const override;
    void LoadImage(TStream& stream) override;

private:
    THeader header_;  // as read by ReadImageProperties
};

// ZSoft Paintbrush pictures (and Word 5 screen captures).
class TPCXGraphic : public TFormatGraphic {
public:
    PICTAVO_FORMAT_GRAPHIC_CLASS(TPCXGraphic, TFormatGraphic)

    static bool CanLoad(TStream& stream);
    bool ReadImageProperties(TStream& stream, std::uint32_t imageIndex) override;

protected:
    const char* FormatName() const override;
    // A file without the PCX marker loads as an empty picture.
    bool RefusesUnknownHeader() const override { return false; }
    void LoadImage(TStream& stream) override;

private:
    void SetupPalette(TStream& stream, const std::uint8_t* header, bool trailingPalette);

    std::array<std::uint8_t, 128> header_{};  // as read by ReadImageProperties
};
