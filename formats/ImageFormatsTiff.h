#pragma once
// The TIFF loader (the first image of a file, in strips) and the EPS loader,
// which reads the TIFF preview of an encapsulated PostScript file.

#include "formats/ImageFormats.h"
#include "platform/core/ByteOrder.h"

#include <array>
#include <cstdint>
#include <memory>
#include <span>
#include <vector>

class TDecoder;

class TTIFFGraphic : public TFormatGraphic {
public:
    PICTAVO_FORMAT_GRAPHIC_CLASS(TTIFFGraphic, TFormatGraphic)

    // One directory entry. Read from an "MM" file, SwapDirectory puts tag,
    // type, count and the value field in the machine's (little-endian) order;
    // values kept in the value field stay in file order.
    struct TTIFFEntry {
        std::uint16_t Tag = 0;
        std::uint16_t DataType = 0;
        std::uint32_t DataLength = 0;  // the count of values
        std::array<std::uint8_t, 4> Value{};
    };

    static bool CanLoad(TStream& stream);
    // Reads the header and the directory imageIndex (0 the first) at BasePosition.
    bool ReadImageProperties(TStream& stream, std::uint32_t imageIndex) override;
    // Writing is not offered: the stream is left as it is.
    void SaveToStream(TStream&) override {}

    // Whether the last load found strips shorter than the picture needs (the
    // rows they did not reach are zero, or white for fax data).
    bool DataIncomplete() const { return dataIncomplete_; }

    // --- the directory of the image being read, sorted by tag ---------------
    std::vector<TTIFFEntry> Directory;
    std::array<std::uint16_t, 768> ColorMapBuffer{};  // as stored: three planes red, green, blue
    std::int32_t YCbCrPositioning = 1;
    std::vector<float> YCbCrCoefficients;

    bool FindTag(std::uint16_t tag, std::size_t& index) const;
    void SwapDirectory();
    // One value of a type other than BYTE, SHORT or LONG (a fraction, say)
    // gives the default; another count gives the raw value field.
    std::uint32_t ReadTagInteger(std::uint16_t tag, std::uint32_t defaultValue) const;
    std::uint32_t ReadTagIntegerAndCount(std::uint16_t tag, std::uint32_t defaultValue, std::uint32_t& count) const;
    // RATIONALs with a denominator of 0 give the default.
    float ReadTagFloat(std::uint16_t tag, float defaultValue);
    // Values read beyond the value field must lie inside the stream. The
    // array readers refuse a tag stored as RATIONAL, FLOAT or DOUBLE, and
    // ReadTagBytes a value over 255, with the reader's error.
    TByteArray ReadTagBytes(std::uint16_t tag);
    TCardinalArray ReadTagCardinals(std::uint16_t tag);
    std::vector<float> ReadTagFloats(std::uint16_t tag);

    // Adds each sample to the one a pixel further on, for count pixels of
    // samples each (16-bit samples as words in the file's byte order).
    void UndoHorizontalPredictor(std::uint8_t* row, std::uint32_t count, std::uint32_t samples,
                                 std::uint32_t bitsPerSample) const;

protected:
    const char* FormatName() const override;
    // Loads the strips of the directory ReadImageProperties read, from Stream.
    void LoadImage(TStream& stream) override;

private:
    struct StripLayout;
    TByteOrder order() const
    {
        return (ImageProperties.Options & BigEndianOption) ? TByteOrder::BigEndian : TByteOrder::LittleEndian;
    }
    void readDirectory(std::uint32_t offset);
    void requireIntegers(const TTIFFEntry& entry) const;
    // The bytes of an entry's values (the value field, or the data it points
    // at) and the byte order to read them in.
    struct TagData {
        std::vector<std::uint8_t> bytes;
        TByteOrder order;
    };
    TagData entryData(const TTIFFEntry& entry, std::size_t valueSize);
    void setupColorManager(const StripLayout& layout);
    void setupPalette();
    std::unique_ptr<TDecoder> createDecoder();
    // Where the JPEG strips the picture's rows take lie in the stream (from, to).
    std::vector<std::pair<std::int64_t, std::int64_t>> jpegStrips();
    // The coded scan bytes of those strips, each counted to its end marker,
    // shared bytes once; counting stops at enough.
    std::uint64_t jpegScanBytes(std::uint64_t enough);
    // Decodes those strips without pixels; raises the compression error
    // when libjpeg finds one corrupt.
    void checkJpegStrips();
    void readStrips(const StripLayout& layout, TDecoder* decoder);
    // Fills strip (all zero when given) with the strip at offset: the raw
    // bytes, or what the decoder makes of byteCount bytes there. neededBytes
    // is what the picture takes from it (less than its size in the last strip).
    void readStrip(std::uint32_t offset, std::uint32_t byteCount, std::span<std::uint8_t> strip,
                   std::size_t neededBytes, TDecoder* decoder);

    std::uint32_t samplesPerPixel_ = 1;  // as stored (ImageProperties keeps a byte)
    std::uint32_t bitsPerSample_ = 1;
    std::uint32_t photometric_ = 0;
    TCardinalArray stripOffsets_;
    TCardinalArray stripByteCounts_;
    bool dataIncomplete_ = false;
    // Packed bytes the strips may still read: strips that share their data
    // or claim the rest of the file cannot make a load read the file over
    // and over.
    std::uint64_t packedBudget_ = 0;
};

// The TIFF preview of an encapsulated PostScript file with a binary header.
class TEPSGraphic : public TTIFFGraphic {
public:
    PICTAVO_FORMAT_GRAPHIC_CLASS(TEPSGraphic, TTIFFGraphic)

    static bool CanLoad(TStream& stream);
    // Reads the binary header and the TIFF directory of the preview section,
    // which then is the TIFF data (BasePosition 0 of its own stream).
    bool ReadImageProperties(TStream& stream, std::uint32_t imageIndex) override;
    void SaveToStream(TStream&) override {}

protected:
    const char* FormatName() const override;

private:
    std::unique_ptr<TStream> preview_;  // the TIFF section of the last file read
};
