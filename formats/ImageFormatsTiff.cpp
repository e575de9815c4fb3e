// TIFF loader (the first image of a file, in strips) and the EPS loader
// over it.
//
// Every array a directory points at is read only when it lies inside the
// stream; strip sizes come from the picture, not from the file, and each
// strip is decoded into a zeroed buffer of its own, so short or corrupt
// strips leave zeros (white for fax data), never stale or foreign memory.

#include "formats/ImageFormatsTiff.h"
#include "formats/FormatCompressionTiff.h"
#include "formats/ImageFormatsReading.h"
#include "platform/core/ZeroedBytes.h"
#include "platform/jpeg/JpegDecoding.h"
#include "platform/jpeg/JpegMetadata.h"

#include <algorithm>
#include <cstring>
#include <utility>

using namespace FormatStrings;
using loaders::FormatReader;

namespace {

enum TiffTag : std::uint16_t {
    tagImageWidth = 256,
    tagImageLength = 257,
    tagBitsPerSample = 258,
    tagCompression = 259,
    tagPhotometric = 262,
    tagFillOrder = 266,
    tagStripOffsets = 273,
    tagSamplesPerPixel = 277,
    tagRowsPerStrip = 278,
    tagStripByteCounts = 279,
    tagXResolution = 282,
    tagYResolution = 283,
    tagPlanarConfig = 284,
    tagT4Options = 292,
    tagResolutionUnit = 296,
    tagPredictor = 317,
    tagColorMap = 320,
    tagTileWidth = 322,
    tagTileLength = 323,
    tagExtraSamples = 338,
    tagJPEGTables = 347,
    tagYCbCrCoefficients = 529,
    tagYCbCrSubSampling = 530,
    tagYCbCrPositioning = 531
};

enum FieldType : std::uint16_t {
    ftByte = 1,
    ftAscii = 2,
    ftShort = 3,
    ftLong = 4,
    ftRational = 5,
    ftSByte = 6,
    ftUndefined = 7,
    ftSShort = 8,
    ftSLong = 9,
    ftSRational = 10,
    ftFloat = 11,
    ftDouble = 12
};

std::size_t typeSize(std::uint16_t type)
{
    switch (type) {
    case ftByte:
    case ftAscii:
    case ftSByte:
    case ftUndefined: return 1;
    case ftShort:
    case ftSShort: return 2;
    case ftLong:
    case ftSLong:
    case ftFloat: return 4;
    case ftRational:
    case ftSRational:
    case ftDouble: return 8;
    default: return 0;
    }
}

// An array of counts, offsets or bytes stored as one of these types has no
// integers to give: the file is refused rather than numbers made up from it
// (a float cast to an integer it does not fit is undefined). A single value
// of such a type gives the tag's default, and unknown types are skipped, as
// TIFF readers must.
bool holdsFractions(std::uint16_t type)
{
    return type == ftRational || type == ftSRational || type == ftFloat || type == ftDouble;
}

// One value of an array of the entry's type: integers as they are, rationals
// divided (a denominator of 0 gives nothing).
bool valueAt(const std::uint8_t* data, std::uint16_t type, TByteOrder order, double& value)
{
    switch (type) {
    case ftByte:
    case ftAscii:
    case ftUndefined: value = data[0]; return true;
    case ftSByte: value = static_cast<std::int8_t>(data[0]); return true;
    case ftShort: value = Get16(data, order); return true;
    case ftSShort: value = static_cast<std::int16_t>(Get16(data, order)); return true;
    case ftLong: value = Get32(data, order); return true;
    case ftSLong: value = static_cast<std::int32_t>(Get32(data, order)); return true;
    case ftRational:
    case ftSRational: {
        const std::uint32_t numerator = Get32(data, order), denominator = Get32(data + 4, order);
        if (denominator == 0) return false;
        value = type == ftRational
                    ? double(numerator) / denominator
                    : double(static_cast<std::int32_t>(numerator)) / static_cast<std::int32_t>(denominator);
        return true;
    }
    case ftFloat: {
        const std::uint32_t bits = Get32(data, order);
        float f;
        std::memcpy(&f, &bits, 4);
        value = f;
        return true;
    }
    default: return false;
    }
}

TCompressionCode compressionCode(std::uint32_t value)
{
    switch (value) {
    case 1: return ctNone;
    case 2: return ctFaxRLE;
    case 3: return ctFax3;
    case 4: return ctFax4;
    case 5: return ctLZW;
    case 6: return ctOJPEG;
    case 7: return ctJPEG;
    case 8:
    case 32946: return ctLZ77;
    case 32766: return ctNext;
    case 32771: return ctFaxRLEW;
    case 32773: return ctPackedBits;
    case 32809: return ctThunderscan;
    case 32895: return ctIT8CTPAD;
    case 32896: return ctIT8LW;
    case 32897: return ctIT8MP;
    case 32898: return ctIT8BL;
    case 32908: return ctPixarFilm;
    case 32909: return ctPixarLog;
    case 32947: return ctDCS;
    case 34661: return ctJBIG;
    default: return ctUnknown;
    }
}

bool isFax(TCompressionCode code) { return code == ctFax3 || code == ctFaxRLE || code == ctFaxRLEW; }

// The densest each compression can pack a picture (decoded bytes per stored
// byte, with room to spare): a header that promises more than the file could
// hold at that rate is refused before anything is allocated. Uncompressed
// data may be cut short to a sixty-fourth and still show what is there.
std::uint64_t maxExpansion(TCompressionCode code)
{
    switch (code) {
    case ctNone:
    case ctPackedBits:
    case ctThunderscan: return 64;
    case ctFax3:
    case ctFaxRLE:
    case ctFaxRLEW: return 256;
    case ctLZ77: return 1100;
    case ctJPEG: return 2048;
    default: return 2800;  // LZW: one 12-bit code can stand for ~4000 bytes
    }
}

std::uint32_t divideRoundingUp(std::uint32_t a, std::uint32_t b) { return a / b + (a % b != 0); }

// The stored bytes that `bytes` of samples need at `expansion` decoded bytes
// per byte, after the slack every fill check allows.
std::uint64_t bytesToFill(std::uint64_t bytes, std::uint64_t expansion)
{
    return bytes > PictureBytesSlack ? (bytes - PictureBytesSlack - 1) / expansion + 1 : 0;
}

}  // namespace

// How the stored rows of one strip are laid out.
struct TTIFFGraphic::StripLayout {
    std::uint32_t planes = 1;  // separate planes (planar configuration 2), else 1
    std::uint32_t stripsPerPlane = 0;
    std::size_t rowBytes = 0;      // bytes of one stored row (of one plane), or of one block row
    std::uint32_t blockWidth = 1;  // YCbCr subsampling of data that is not JPEG
    std::uint32_t blockHeight = 1;
    bool predictor = false;
    bool subsampled() const { return blockWidth != 1 || blockHeight != 1; }
};

// --- signature and directory ------------------------------------------------------------

bool TTIFFGraphic::CanLoad(TStream& stream)
{
    const std::int64_t start = stream.Position();
    if (stream.Remaining() < 9) return false;
    std::uint8_t header[8];
    bool result = false;
    if (stream.Read(header, 8) == 8 && header[0] == header[1] && (header[0] == 'I' || header[0] == 'M')) {
        const TByteOrder order = header[0] == 'M' ? TByteOrder::BigEndian : TByteOrder::LittleEndian;
        result = Get16(header + 2, order) == 42 && Get32(header + 4, order) < stream.Size() - start;
    }
    stream.SetPosition(start);
    return result;
}

bool TTIFFGraphic::FindTag(std::uint16_t tag, std::size_t& index) const
{
    auto found = std::lower_bound(Directory.begin(), Directory.end(), tag,
                                  [](const TTIFFEntry& entry, std::uint16_t t) { return entry.Tag < t; });
    if (found == Directory.end() || found->Tag != tag) return false;
    index = static_cast<std::size_t>(found - Directory.begin());
    return true;
}

std::uint32_t TTIFFGraphic::ReadTagIntegerAndCount(std::uint16_t tag, std::uint32_t defaultValue,
                                                   std::uint32_t& count) const
{
    std::size_t index;
    count = 0;
    if (!FindTag(tag, index)) return defaultValue;
    const TTIFFEntry& entry = Directory[index];
    count = entry.DataLength;
    // The value field is in the machine's order since SwapDirectory.
    if (count != 1) return GetLE32(entry.Value.data());
    switch (entry.DataType) {
    case ftByte: return entry.Value[0];
    case ftShort:
    case ftSShort: return GetLE16(entry.Value.data());
    case ftLong:
    case ftSLong: return GetLE32(entry.Value.data());
    default: return defaultValue;
    }
}

std::uint32_t TTIFFGraphic::ReadTagInteger(std::uint16_t tag, std::uint32_t defaultValue) const
{
    std::uint32_t count;
    return ReadTagIntegerAndCount(tag, defaultValue, count);
}

TTIFFGraphic::TagData TTIFFGraphic::entryData(const TTIFFEntry& entry, std::size_t valueSize)
{
    const std::uint64_t length = std::uint64_t(entry.DataLength) * valueSize;
    if (length <= 4)
        return {std::vector<std::uint8_t>(entry.Value.begin(), entry.Value.begin() + length), TByteOrder::LittleEndian};
    const std::int64_t at = BasePosition + GetLE32(entry.Value.data());
    // The count comes from the file: nothing is allocated for data the stream does not hold.
    if (at > Stream->Size() || length > std::uint64_t(Stream->Size() - at))
        ImageFormatsError(gesStreamReadError, {gesTIFFormat});
    FormatReader reader(*Stream, gesTIFFormat);
    reader.Seek(at);
    return {reader.Bytes(length), order()};
}

float TTIFFGraphic::ReadTagFloat(std::uint16_t tag, float defaultValue)
{
    std::size_t index;
    if (!FindTag(tag, index) || Directory[index].DataLength != 1) return defaultValue;
    const TTIFFEntry& entry = Directory[index];
    const std::size_t size = typeSize(entry.DataType);
    if (size == 0 || entry.DataType == ftDouble) return defaultValue;
    // A value the stream does not hold is as good as none.
    const std::int64_t at = BasePosition + GetLE32(entry.Value.data());
    if (size > 4 && (at > Stream->Size() || Stream->Size() - at < std::int64_t(size))) return defaultValue;
    const TagData data = entryData(entry, size);
    double value;
    return valueAt(data.bytes.data(), entry.DataType, data.order, value) ? static_cast<float>(value) : defaultValue;
}

void TTIFFGraphic::requireIntegers(const TTIFFEntry& entry) const
{
    if (holdsFractions(entry.DataType)) ImageFormatsError(gesInvalidImage, {gesTIFFormat});
}

TByteArray TTIFFGraphic::ReadTagBytes(std::uint16_t tag)
{
    std::size_t index;
    if (!FindTag(tag, index)) return {};
    const TTIFFEntry& entry = Directory[index];
    if (typeSize(entry.DataType) == 1 && entry.DataLength != 0) return entryData(entry, 1).bytes;
    // Wider integers must each fit a byte.
    const TCardinalArray values = ReadTagCardinals(tag);
    TByteArray bytes(values.size());
    for (std::size_t i = 0; i < values.size(); ++i) {
        if (values[i] > 0xFF) ImageFormatsError(gesInvalidImage, {gesTIFFormat});
        bytes[i] = static_cast<std::uint8_t>(values[i]);
    }
    return bytes;
}

TCardinalArray TTIFFGraphic::ReadTagCardinals(std::uint16_t tag)
{
    std::size_t index;
    if (!FindTag(tag, index)) return {};
    const TTIFFEntry& entry = Directory[index];
    const std::size_t size = typeSize(entry.DataType);
    if (size == 0 || entry.DataLength == 0) return {};
    requireIntegers(entry);
    const TagData data = entryData(entry, size);
    TCardinalArray values(entry.DataLength);
    for (std::size_t i = 0; i < values.size(); ++i) {
        const std::uint8_t* at = data.bytes.data() + i * size;
        values[i] = size == 1 ? at[0] : size == 2 ? Get16(at, data.order) : Get32(at, data.order);
    }
    return values;
}

std::vector<float> TTIFFGraphic::ReadTagFloats(std::uint16_t tag)
{
    std::size_t index;
    if (!FindTag(tag, index)) return {};
    const TTIFFEntry& entry = Directory[index];
    const std::size_t size = typeSize(entry.DataType);
    if (size == 0 || entry.DataType == ftDouble || entry.DataLength == 0) return {};
    const TagData data = entryData(entry, size);
    std::vector<float> values(entry.DataLength);
    for (std::size_t i = 0; i < values.size(); ++i) {
        double value = 0;
        valueAt(data.bytes.data() + i * size, entry.DataType, data.order, value);
        values[i] = static_cast<float>(value);
    }
    return values;
}

void TTIFFGraphic::SwapDirectory()
{
    for (TTIFFEntry& entry : Directory) {
        entry.Tag = static_cast<std::uint16_t>(entry.Tag >> 8 | entry.Tag << 8);
        entry.DataType = static_cast<std::uint16_t>(entry.DataType >> 8 | entry.DataType << 8);
        entry.DataLength = SwapLong(entry.DataLength);
        const std::size_t size = typeSize(entry.DataType);
        std::uint8_t* value = entry.Value.data();
        if (std::uint64_t(entry.DataLength) * size > 4 || size == 4) {
            std::reverse(value, value + 4);  // an offset or one 32-bit value
        } else if (size == 2) {
            std::swap(value[0], value[1]);  // values kept in the field stay in file order
            std::swap(value[2], value[3]);
        }
    }
}

void TTIFFGraphic::readDirectory(std::uint32_t offset)
{
    FormatReader reader(*Stream, gesTIFFormat);
    reader.Seek(BasePosition + offset);
    const std::uint16_t count = reader.U16(order());
    std::vector<std::uint8_t> raw(std::size_t(count) * 12);
    reader.Read(raw.data(), raw.size());
    Directory.assign(count, {});
    for (std::size_t i = 0; i < count; ++i) {
        const std::uint8_t* at = raw.data() + i * 12;
        TTIFFEntry& entry = Directory[i];
        entry.Tag = GetLE16(at);
        entry.DataType = GetLE16(at + 2);
        entry.DataLength = GetLE32(at + 4);
        std::memcpy(entry.Value.data(), at + 8, 4);
    }
    if (order() == TByteOrder::BigEndian) SwapDirectory();
    // Stable, so a tag that appears twice is found at its first place.
    std::stable_sort(Directory.begin(), Directory.end(),
                     [](const TTIFFEntry& a, const TTIFFEntry& b) { return a.Tag < b.Tag; });
}

bool TTIFFGraphic::ReadImageProperties(TStream& stream, std::uint32_t imageIndex)
{
    TFormatGraphic::ReadImageProperties(stream, imageIndex);
    Stream = &stream;
    Directory.clear();
    TImageProperties& p = ImageProperties;
    const std::int64_t size = stream.Size();
    if (BasePosition < 0 || size - BasePosition < 8) return false;
    std::uint8_t header[8];
    stream.SetPosition(BasePosition);
    FormatReader reader(stream, gesTIFFormat);
    reader.Read(header, 8);
    if (header[0] != header[1] || (header[0] != 'I' && header[0] != 'M')) return false;
    if (header[0] == 'M') p.Options |= BigEndianOption;
    p.Version = Get16(header + 2, order());
    p.FirstIFD = Get32(header + 4, order());
    if (p.Version != 42) return false;

    // A directory that lies outside the stream is no directory.
    auto holdsDirectory = [&](std::uint32_t offset) { return std::int64_t(offset) + 2 <= size - BasePosition; };
    std::uint32_t offset = p.FirstIFD;
    for (; imageIndex > 0; --imageIndex) {
        if (!holdsDirectory(offset)) return false;
        reader.Seek(BasePosition + offset);
        reader.Skip(std::uint64_t(reader.U16(order())) * 12);
        offset = reader.U32(order());
        if (offset == 0) return false;
    }
    if (!holdsDirectory(offset)) return false;
    readDirectory(offset);

    p.Width = ReadTagInteger(tagImageWidth, 0);
    p.Height = ReadTagInteger(tagImageLength, 0);
    if (p.Width == 0 || p.Height == 0) return false;

    p.RowsPerStrip = ReadTagCardinals(tagRowsPerStrip);
    if (p.RowsPerStrip.empty() || p.RowsPerStrip[0] == 0xFFFFFFFF) p.RowsPerStrip = {p.Height};
    samplesPerPixel_ = ReadTagInteger(tagSamplesPerPixel, 1);
    p.SamplesPerPixel = static_cast<std::uint8_t>(samplesPerPixel_);
    const TCardinalArray bits = ReadTagCardinals(tagBitsPerSample);
    bitsPerSample_ = bits.empty() ? 1 : bits[0];
    p.BitsPerSample = static_cast<std::uint8_t>(bitsPerSample_);
    p.TileWidth = ReadTagInteger(tagTileWidth, 0);
    p.TileLength = ReadTagInteger(tagTileLength, 0);
    if (p.TileWidth != 0 && p.TileLength != 0) p.Options |= TiledOption;

    const TCardinalArray extra = ReadTagCardinals(tagExtraSamples);
    p.HasAlpha = !extra.empty() && std::all_of(extra.begin(), extra.end(), [](std::uint32_t v) { return v <= 2; });
    p.BitsPerPixel = static_cast<std::uint8_t>(p.BitsPerSample * p.SamplesPerPixel);
    p.Compression = compressionCode(ReadTagInteger(tagCompression, 0));

    photometric_ = ReadTagInteger(tagPhotometric, 0) & 0xFF;
    switch (photometric_) {
    case 0:
        p.ColorScheme = csG;
        p.Options |= MinIsWhiteOption;
        break;
    case 1: p.ColorScheme = csG; break;
    case 2: p.ColorScheme = p.SamplesPerPixel < 4 ? csRGB : csRGBA; break;
    case 3: p.ColorScheme = csIndexed; break;
    case 5: p.ColorScheme = csCMYK; break;
    case 6: p.ColorScheme = csYCbCr; break;
    case 8: p.ColorScheme = csCIELab; break;
    default: p.ColorScheme = csUnknown; break;
    }
    if (photometric_ == 6) {
        p.YCbCrSubSampling = ReadTagBytes(tagYCbCrSubSampling);
        if (p.YCbCrSubSampling.size() < 2) p.YCbCrSubSampling = {2, 2};
        YCbCrPositioning = static_cast<std::int32_t>(ReadTagInteger(tagYCbCrPositioning, 1));
        YCbCrCoefficients = ReadTagFloats(tagYCbCrCoefficients);
        if (YCbCrCoefficients.empty()) YCbCrCoefficients = {0.299f, 0.587f, 0.114f};
    }
    p.JPEGColorMode = 0;
    p.JPEGTablesMode = 3;
    p.PlanarConfig = ReadTagInteger(tagPlanarConfig, 0);
    p.XResolution = ReadTagFloat(tagXResolution, 0);
    p.YResolution = ReadTagFloat(tagYResolution, 0);
    if (ReadTagInteger(tagResolutionUnit, 2) == 3) {
        p.XResolution *= 2.54f;
        p.YResolution *= 2.54f;
    }
    p.Predictor = ReadTagInteger(tagPredictor, 0);
    if (ReadTagInteger(tagFillOrder, 1) == 2) p.Options |= ReversedFillOrderOption;
    return true;
}

// --- rows ------------------------------------------------------------------------------

void TTIFFGraphic::UndoHorizontalPredictor(std::uint8_t* row, std::uint32_t count, std::uint32_t samples,
                                           std::uint32_t bitsPerSample) const
{
    const std::size_t total = std::size_t(count) * samples;
    if (bitsPerSample == 16) {
        for (std::size_t i = samples; i < total; ++i) {
            const auto sum =
                static_cast<std::uint16_t>(Get16(row + 2 * i, order()) + Get16(row + 2 * (i - samples), order()));
            if (order() == TByteOrder::BigEndian)
                PutBE16(row + 2 * i, sum);
            else
                PutLE16(row + 2 * i, sum);
        }
        return;
    }
    for (std::size_t i = samples; i < total; ++i) row[i] = static_cast<std::uint8_t>(row[i] + row[i - samples]);
}

// --- loading ---------------------------------------------------------------------------

void TTIFFGraphic::setupColorManager(const StripLayout& layout)
{
    const TImageProperties& p = ImageProperties;
    TColorManager& cm = *ColorManager;
    const std::uint32_t bits = bitsPerSample_;
    const std::uint32_t samples = samplesPerPixel_;
    auto invalidColorFormat = [] { ImageFormatsError(gesInvalidColorFormat, {gesTIFFormat}); };
    if (bits == 0 || bits > 16 || samples == 0 || samples > 4) invalidColorFormat();

    TColorScheme source = p.ColorScheme;
    if (p.Compression == ctJPEG) {
        // Libjpeg hands over grey as grey and colour as blue, green, red.
        if (samples == 3)
            source = csBGR;
        else if (samples == 4)
            source = p.ColorScheme == csCMYK ? csCMYK : csUnknown;
    }
    TColorScheme target;
    switch (source) {
    case csIndexed:
    case csG:
        target = source;
        if (p.HasAlpha && samples == 2) source = csGA;
        break;
    case csRGB: target = csBGR; break;
    case csRGBA: target = csBGRA; break;
    case csCMY:
    case csCMYK:
    case csCIELab:
    case csYCbCr: target = csBGR; break;
    default: target = source; break;
    }
    cm.SourceOptions = order() == TByteOrder::BigEndian ? ByteSwapOption : 0;
    if (source == csCIELab) cm.SourceOptions |= LabScaledLightnessOption;
    cm.SetSourceColorScheme(source);
    cm.SetTargetColorScheme(target);
    cm.SetSourceBitsPerSample(static_cast<std::uint8_t>(bits));
    // Two-bit samples go into a 4-bit bitmap, 16-bit ones into 8 bits.
    cm.SetTargetBitsPerSample(static_cast<std::uint8_t>(bits == 16 ? 8 : bits == 2 ? 4 : bits));
    cm.SetSourceSamplesPerPixel(static_cast<std::uint8_t>(samples));
    const std::uint32_t targetSamples = target == csBGR                        ? 3
                                        : target == csBGRA                     ? 4
                                        : target == csIndexed || target == csG ? 1
                                                                               : samples;
    cm.SetTargetSamplesPerPixel(static_cast<std::uint8_t>(targetSamples));
    if (source == csYCbCr && p.YCbCrSubSampling.size() >= 2)
        cm.SetYCbCrParameters(YCbCrCoefficients, p.YCbCrSubSampling[0], p.YCbCrSubSampling[1]);

    const TPixelFormat format = source == csGA ? pf8bit : cm.PixelFormatFor(true);
    if (!cm.WritesPixelsOf(format)) invalidColorFormat();
    if (layout.subsampled() && (bits != 8 || samples != 3 || layout.planes != 1 || layout.predictor))
        invalidColorFormat();
    if (layout.predictor && bits != 8 && bits != 16) invalidColorFormat();
    SetPixelFormat(format);
}

void TTIFFGraphic::setupPalette()
{
    TColorManager& cm = *ColorManager;
    const TColorScheme target = cm.TargetColorScheme();
    if (target == csG) {
        SetPalette(cm.CreateGrayscalePalette((ImageProperties.Options & MinIsWhiteOption) != 0));
        return;
    }
    std::size_t index;
    if (target != csIndexed || !FindTag(tagColorMap, index)) return;
    const TTIFFEntry& entry = Directory[index];
    // Three planes of 2^BitsPerSample colours, never more than 256 of them.
    const std::uint64_t expected = bitsPerSample_ <= 8 ? std::uint64_t(3) << bitsPerSample_ : 0;
    if (entry.DataType != ftShort || entry.DataLength != expected || expected > ColorMapBuffer.size())
        ImageFormatsError(gesInvalidPalette, {gesTIFFormat});
    // Kept as stored (a map is never inline): the colour manager swaps "MM" values itself.
    const TagData data = entryData(entry, 2);
    std::memcpy(ColorMapBuffer.data(), data.bytes.data(), data.bytes.size());
    const std::size_t colours = entry.DataLength / 3;
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(ColorMapBuffer.data());
    const std::size_t plane = colours * 2;
    SetPalette(cm.CreateColorPalette(
        {std::span<const std::uint8_t>(bytes, plane), std::span<const std::uint8_t>(bytes + plane, plane),
         std::span<const std::uint8_t>(bytes + 2 * plane, plane)},
        pdfPlane16Triple, static_cast<std::uint32_t>(colours), false));
}

std::unique_ptr<TDecoder> TTIFFGraphic::createDecoder()
{
    TImageProperties& p = ImageProperties;
    const bool reversed = (p.Options & ReversedFillOrderOption) != 0;
    auto needSamples = [&](std::uint32_t bits) {
        if (bitsPerSample_ != bits || samplesPerPixel_ != 1) ImageFormatsError(gesInvalidColorFormat, {gesTIFFormat});
    };
    switch (p.Compression) {
    case ctNone: return nullptr;
    case ctPackedBits: return std::make_unique<TPackbitsRLEDecoder>();
    case ctLZW: return std::make_unique<TTIFFLZWDecoder>();
    case ctFax3:
        needSamples(1);
        return std::make_unique<TCCITTFax3Decoder>(ReadTagInteger(tagT4Options, 0), reversed, p.Width);
    case ctFaxRLE:
    case ctFaxRLEW:
        needSamples(1);
        return std::make_unique<TCCITTMHDecoder>(ReadTagInteger(tagT4Options, 0), reversed, p.Compression == ctFaxRLEW,
                                                 p.Width);
    case ctLZ77: return std::make_unique<TLZ77Decoder>(1, true);
    case ctJPEG: p.JPEGTables = ReadTagBytes(tagJPEGTables); return std::make_unique<TTIFFJPEGDecoder>(p);
    case ctThunderscan: needSamples(4); return std::make_unique<TThunderDecoder>(p.Width);
    default: ImageFormatsError(gesUnsupportedFeature, {gesCompressionScheme, gesTIFFormat});
    }
}

void TTIFFGraphic::readStrip(std::uint32_t offset, std::uint32_t byteCount, std::span<std::uint8_t> strip,
                             std::size_t neededBytes, TDecoder* decoder)
{
    const TImageProperties& p = ImageProperties;
    const std::size_t needed = std::min(strip.size(), neededBytes);
    const std::int64_t at = BasePosition + offset;
    const std::int64_t size = Stream->Size();
    const std::uint64_t available = at < size ? std::uint64_t(size - at) : 0;
    FormatReader reader(*Stream, gesTIFFormat);
    // Fill order 2 outside fax data (whose decoders reverse it themselves)
    // and JPEG data (whose bytes it never describes): libtiff reverses such
    // strips too.
    const bool reverse = (p.Options & ReversedFillOrderOption) != 0 && !isFax(p.Compression) && p.Compression != ctJPEG;
    if (decoder == nullptr) {
        const std::size_t count = static_cast<std::size_t>(std::min<std::uint64_t>(strip.size(), available));
        if (count < needed) dataIncomplete_ = true;
        if (count > 0) {
            reader.Seek(at);
            reader.Read(strip.data(), count);
        }
        if (reverse) std::transform(strip.begin(), strip.end(), strip.begin(), ReverseBitOrder);
        return;
    }
    const std::size_t count = static_cast<std::size_t>(std::min<std::uint64_t>({byteCount, available, packedBudget_}));
    packedBudget_ -= count;
    if (count < byteCount) dataIncomplete_ = true;
    std::vector<std::uint8_t> packed(count);
    if (count > 0) {
        reader.Seek(at);
        reader.Read(packed.data(), count);
    }
    if (reverse) std::transform(packed.begin(), packed.end(), packed.begin(), ReverseBitOrder);
    const std::uint8_t* source = packed.data();
    std::uint8_t* dest = strip.data();
    const bool quietMember = p.Compression == ctPackedBits || p.Compression == ctLZW;
    try {
        decoder->Decode(source, dest, packed.size(), strip.size());
    } catch (const EGraphicCompression&) {
        // Run-length and LZW data that overruns its strip keeps what fitted.
        if (!quietMember) throw;
    }
    if (auto* inflate = dynamic_cast<TLZ77Decoder*>(decoder)) {
        const int result = inflate->ZLibResult();
        // Data that merely ends early leaves zeros; anything else is corrupt.
        if (result == Z_NEED_DICT || (result < 0 && result != Z_BUF_ERROR))
            ImageFormatsError(gesCompression, {gesTIFFormat});
    }
    if (auto* jpeg = dynamic_cast<TTIFFJPEGDecoder*>(decoder); jpeg && jpeg->DataRanOut()) dataIncomplete_ = true;
    if (decoder->Produced() < needed) dataIncomplete_ = true;
}

std::vector<std::pair<std::int64_t, std::int64_t>> TTIFFGraphic::jpegStrips()
{
    const TImageProperties& p = ImageProperties;
    const std::int64_t size = Stream->Size();
    std::vector<std::pair<std::int64_t, std::int64_t>> strips;
    std::uint64_t rows = 0;
    for (std::size_t s = 0; s < stripOffsets_.size() && s < stripByteCounts_.size() && rows < p.Height; ++s) {
        std::uint32_t rowsPerStrip =
            p.RowsPerStrip.empty() ? 0 : p.RowsPerStrip[std::min<std::size_t>(s, p.RowsPerStrip.size() - 1)];
        if (rowsPerStrip == 0 || rowsPerStrip > p.Height) rowsPerStrip = p.Height;
        rows += rowsPerStrip;
        const std::int64_t at = BasePosition + stripOffsets_[s];
        if (at < size) strips.emplace_back(at, std::min<std::int64_t>(size, at + stripByteCounts_[s]));
    }
    return strips;
}

void TTIFFGraphic::checkJpegStrips()
{
    const std::vector<std::uint8_t> tables = ReadTagBytes(tagJPEGTables);
    std::vector<std::uint8_t> bytes;
    std::uint64_t budget = std::uint64_t(Stream->Size());  // strips that share bytes are not read over and over
    for (auto [at, to] : jpegStrips()) {
        const std::size_t count = std::size_t(std::min<std::uint64_t>(std::uint64_t(to - at), budget));
        budget -= count;
        bytes.resize(count);
        Stream->SetPosition(at);
        FormatReader(*Stream, gesTIFFormat).Read(bytes.data(), count);
        if (!JpegCodedDataSound(bytes.data(), bytes.size(), tables.data(), tables.size()))
            ImageFormatsError(gesCompression, {gesTIFFormat});
        if (budget == 0) break;
    }
}

std::uint64_t TTIFFGraphic::jpegScanBytes(std::uint64_t enough)
{
    TStream& stream = *Stream;
    // The strips the picture's rows take, where they lie in the stream.
    const std::vector<std::pair<std::int64_t, std::int64_t>> strips = jpegStrips();
    // Strips that share bytes hold no more data than the bytes they cover.
    std::vector<std::pair<std::int64_t, std::int64_t>> sorted = strips;
    std::sort(sorted.begin(), sorted.end());
    std::uint64_t covered = 0;
    std::int64_t reached = 0;
    for (const auto& [from, to] : sorted) {
        const std::int64_t start = std::max(from, reached);
        if (to > start) covered += std::uint64_t(to - start);
        reached = std::max(reached, to);
    }
    if (covered < enough) return covered;
    // Each strip is a JPEG stream of its own: its scan data up to its end
    // marker counts, not what follows it. No more than the covered bytes are
    // looked at in all.
    // Pieces grow from 4 KB, so a small picture's count stops soon after it suffices.
    std::uint64_t counted = 0, examined = 0;
    std::vector<std::uint8_t> chunk;
    for (auto [at, to] : strips) {
        TJpegScanData scan(TJpegScanData::From::StreamStart);
        stream.SetPosition(at);
        for (std::size_t step = 4096; at < to && !scan.Ended() && counted + scan.Bytes() < enough && examined < covered;
             step = std::min<std::size_t>(step * 2, std::size_t(1) << 16)) {
            const std::size_t want =
                std::size_t(std::min<std::uint64_t>({step, std::uint64_t(to - at), covered - examined}));
            if (chunk.size() < want) chunk.resize(want);
            const std::size_t got = stream.Read(chunk.data(), want);
            if (got == 0) break;
            scan.FeedUntil(chunk.data(), got, enough - counted);
            at += std::int64_t(got);
            examined += got;
        }
        counted += scan.Bytes();
        if (counted >= enough || examined >= covered) break;
    }
    return std::min(counted, covered);
}

void TTIFFGraphic::readStrips(const StripLayout& layout, TDecoder* decoder)
{
    TImageProperties& p = ImageProperties;
    TColorManager& cm = *ColorManager;
    const std::uint32_t width = p.Width, height = p.Height;
    const std::uint32_t rowSamples = layout.planes == 1 ? samplesPerPixel_ : 1;
    // Fresh strip buffers cost no memory until rows are decoded into them,
    // so corrupt data refused early never costs a whole strip.
    std::vector<TZeroedBytes> strips(layout.planes);
    std::vector<std::uint8_t> expanded;  // one row of subsampled YCbCr, a sample triple per pixel
    if (layout.subsampled()) expanded.resize(std::size_t(width) * 3);
    p.CurrentRow = 0;
    p.StripCount = static_cast<std::uint32_t>(stripOffsets_.size());
    for (std::uint32_t s = 0; s < layout.stripsPerPlane && p.CurrentRow < height; ++s) {
        p.CurrentStrip = s;
        std::uint32_t rowsPerStrip = p.RowsPerStrip[std::min<std::size_t>(s, p.RowsPerStrip.size() - 1)];
        if (rowsPerStrip == 0 || rowsPerStrip > height) rowsPerStrip = height;
        const std::uint32_t rows = std::min(rowsPerStrip, height - p.CurrentRow);
        const std::uint32_t storedRows = divideRoundingUp(rowsPerStrip, layout.blockHeight);
        const std::uint32_t neededRows = divideRoundingUp(rows, layout.blockHeight);
        for (std::uint32_t plane = 0; plane < layout.planes; ++plane) {
            const std::size_t i = std::size_t(plane) * layout.stripsPerPlane + s;
            const std::size_t stripBytes = CheckedBufferBytes(layout.rowBytes, storedRows);
            if (strips[plane].size() != stripBytes)
                strips[plane] = TZeroedBytes(stripBytes);
            else if (stripBytes != 0)
                std::memset(strips[plane].data(), 0, stripBytes);
            readStrip(stripOffsets_[i], i < stripByteCounts_.size() ? stripByteCounts_[i] : 0, strips[plane].span(),
                      std::size_t(neededRows) * layout.rowBytes, decoder);
        }
        for (std::uint32_t r = 0; r < rows; ++r) {
            std::span<std::uint8_t> target = ScanLineSpan(static_cast<int>(p.CurrentRow));
            if (layout.subsampled()) {
                const std::uint32_t h = layout.blockWidth, v = layout.blockHeight;
                const std::uint8_t* blocks = strips[0].data() + std::size_t(r / v) * layout.rowBytes;
                const std::size_t blockBytes = std::size_t(h) * v + 2;
                for (std::uint32_t x = 0; x < width; ++x) {
                    const std::uint8_t* block = blocks + std::size_t(x / h) * blockBytes;
                    expanded[3 * std::size_t(x)] = block[(r % v) * h + x % h];
                    expanded[3 * std::size_t(x) + 1] = block[h * v];
                    expanded[3 * std::size_t(x) + 2] = block[h * v + 1];
                }
                cm.ConvertRow({std::span<const std::uint8_t>(expanded)}, target, width);
            } else {
                std::span<const std::uint8_t> rowsOf[4];
                for (std::uint32_t plane = 0; plane < layout.planes; ++plane) {
                    std::uint8_t* row = strips[plane].data() + std::size_t(r) * layout.rowBytes;
                    if (layout.predictor) UndoHorizontalPredictor(row, width, rowSamples, bitsPerSample_);
                    rowsOf[plane] = std::span<const std::uint8_t>(row, layout.rowBytes);
                }
                cm.ConvertRow(std::span<const std::span<const std::uint8_t>>(rowsOf, layout.planes), target, width);
            }
            ++p.CurrentRow;
            RowDone(p.CurrentRow, height);
        }
    }
    if (p.CurrentRow < height) dataIncomplete_ = true;
}

const char* TTIFFGraphic::FormatName() const { return gesTIFFormat; }

void TTIFFGraphic::LoadImage(TStream&)
{
    // The TIFF data is the stream the properties were read from (an EPS
    // file's preview section for TEPSGraphic).
    TStream& stream = *Stream;
    dataIncomplete_ = false;
    TImageProperties& p = ImageProperties;
    if (p.Options & TiledOption) return;  // tiles are not read: the picture stays empty
    ResetProgressRect(p.Width);
    Progress(TProgressStage::psStarting, 0, false, ProgressRect, gesPreparing);
    TEndProgress endProgress{*this};

    stripOffsets_ = ReadTagCardinals(tagStripOffsets);
    stripByteCounts_ = ReadTagCardinals(tagStripByteCounts);
    // Uncompressed strips are read by their size alone; every other strip
    // needs its byte count.
    if (stripOffsets_.empty() ||
        (stripByteCounts_.size() < stripOffsets_.size() && (!stripByteCounts_.empty() || p.Compression != ctNone)))
        ImageFormatsError(gesInvalidImage, {gesTIFFormat});

    StripLayout layout;
    const bool separatePlanes = p.PlanarConfig == 2 && samplesPerPixel_ > 1;
    // Separate planes of JPEG data, or of fewer than three samples, are not read.
    if (separatePlanes && (p.Compression == ctJPEG || samplesPerPixel_ < 3 || samplesPerPixel_ > 4))
        ImageFormatsError(gesInvalidColorFormat, {gesTIFFormat});
    if (separatePlanes) layout.planes = samplesPerPixel_;
    layout.stripsPerPlane = static_cast<std::uint32_t>(stripOffsets_.size() / layout.planes);
    if (layout.stripsPerPlane == 0) ImageFormatsError(gesInvalidImage, {gesTIFFormat});
    layout.predictor = p.Predictor == 2 && (p.Compression == ctLZW || p.Compression == ctLZ77);
    if (p.ColorScheme == csYCbCr && p.Compression != ctJPEG && p.YCbCrSubSampling.size() >= 2) {
        layout.blockWidth = std::max<std::uint32_t>(1, p.YCbCrSubSampling[0]);
        layout.blockHeight = std::max<std::uint32_t>(1, p.YCbCrSubSampling[1]);
    }
    // The compression is judged first, so an unsupported one gets its own message.
    std::unique_ptr<TDecoder> decoder;
    // Group 3 data coded two-dimensionally (T4Options bit 0) has no decoder
    // here: read as one-dimensional rows it would be noise.
    const bool twoDimensional = p.Compression == ctFax3 && (ReadTagInteger(tagT4Options, 0) & 1) != 0;
    if ((p.Compression != ctNone && p.Compression != ctPackedBits && p.Compression != ctLZW && !isFax(p.Compression) &&
         p.Compression != ctLZ77 && p.Compression != ctJPEG && p.Compression != ctThunderscan) ||
        twoDimensional)
        ImageFormatsError(gesUnsupportedFeature, {gesCompressionScheme, gesTIFFormat});

    setupColorManager(layout);
    const std::uint32_t sampleBits = bitsPerSample_ * (layout.planes == 1 ? samplesPerPixel_ : 1);
    if (layout.subsampled()) {
        const std::uint64_t blocks = divideRoundingUp(p.Width, layout.blockWidth);
        layout.rowBytes = CheckedBufferBytes(blocks, std::uint64_t(layout.blockWidth) * layout.blockHeight + 2);
    } else {
        layout.rowBytes = CheckedRowBytes(p.Width, sampleBits);
    }
    p.BytesPerLine = static_cast<std::uint32_t>(CheckedRowBytes(p.Width, bitsPerSample_ * samplesPerPixel_));

    // The cap counts pixels, whatever their samples. The samples must come
    // from the data there is at the compression's densest: for JPEG strips
    // their coded scan data, elsewhere the file.
    CheckedPixelCount(p.Width, p.Height);
    const TFaultHandler faults = loaders::FormatFaults(gesTIFFormat);
    const std::uint64_t storedBytes = CheckedMultiply(CheckedMultiply(layout.rowBytes, layout.planes, faults),
                                                      divideRoundingUp(p.Height, layout.blockHeight), faults);
    const std::uint64_t needed = bytesToFill(storedBytes, maxExpansion(p.Compression));
    const std::uint64_t data = p.Compression == ctJPEG
                                   ? jpegScanBytes(needed)
                                   : std::uint64_t(std::max<std::int64_t>(stream.Size() - BasePosition, 0));
    if (data < needed) RaiseFault(faults, TReadFault::CannotFill);
    // Strips whose picture and strip buffer are large for the file have
    // their coded data decoded once without pixels first, so data found
    // corrupt late costs none of their rows.
    if (p.Compression == ctJPEG &&
        JpegDataNeedsCheck(2 * storedBytes, std::uint64_t(std::max<std::int64_t>(stream.Size() - BasePosition, 0))))
        checkJpegStrips();
    // Sixteen times the picture and the file: far above what any strip
    // layout of real files reads.
    packedBudget_ = 16 * (std::uint64_t(layout.rowBytes) * layout.planes * p.Height + std::uint64_t(stream.Size()));
    SetSize(static_cast<int>(p.Width), static_cast<int>(p.Height));
    setupPalette();

    decoder = createDecoder();
    if (decoder) decoder->DecodeInit();
    NextStage(gesTransfering);
    readStrips(layout, decoder.get());
    if (decoder) decoder->DecodeEnd();
    // A caller that takes no partial pictures (the gallery) gets the error.
    if (dataIncomplete_ && RefuseCutData) FormatReader(stream, gesTIFFormat).Fail(TReadFault::ShortData);
}

// --- EPS -----------------------------------------------------------------------------------

namespace {

constexpr std::uint32_t EPSMagic = 0xC6D3D0C5;
constexpr std::size_t EPSHeaderSize = 30;

}  // namespace

bool TEPSGraphic::CanLoad(TStream& stream)
{
    const std::int64_t start = stream.Position();
    if (stream.Remaining() < 31) return false;
    std::uint8_t header[EPSHeaderSize];
    const bool result = stream.Read(header, EPSHeaderSize) == EPSHeaderSize && GetLE32(header) == EPSMagic &&
                        GetLE32(header + 20) >= EPSHeaderSize && GetLE32(header + 24) > 0;
    stream.SetPosition(start);
    return result;
}

const char* TEPSGraphic::FormatName() const { return gesEPSFormat; }

bool TEPSGraphic::ReadImageProperties(TStream& stream, std::uint32_t imageIndex)
{
    TFormatGraphic::ReadImageProperties(stream, imageIndex);
    preview_.reset();
    const std::int64_t start = stream.Position();
    std::uint8_t header[EPSHeaderSize];
    if (stream.Remaining() < std::int64_t(EPSHeaderSize)) return false;
    FormatReader(stream, gesEPSFormat).Read(header, EPSHeaderSize);
    if (GetLE32(header) != EPSMagic) return false;
    const std::uint32_t offset = GetLE32(header + 20);
    const std::uint32_t length = GetLE32(header + 24);
    const std::int64_t size = stream.Size();
    // The preview is read from its own section: TIFF offsets count from its
    // start and cannot reach into the PostScript around it.
    if (length == 0 || offset < EPSHeaderSize || start + offset >= size) return false;
    std::vector<std::uint8_t> section(static_cast<std::size_t>(std::min<std::int64_t>(length, size - start - offset)));
    stream.SetPosition(start + offset);
    FormatReader(stream, gesEPSFormat).Read(section.data(), section.size());
    preview_ = std::make_unique<TMemoryStream>(std::move(section));
    BasePosition = 0;
    Stream = preview_.get();
    return TTIFFGraphic::ReadImageProperties(*preview_, imageIndex);
}
