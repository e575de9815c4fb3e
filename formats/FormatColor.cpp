#include "formats/FormatColor.h"

#include "formats/FormatStrings.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>

using namespace FormatStrings;

namespace {

[[noreturn]] void colorError(const char* message) { throw EColorConversionError(message); }

// Delphi's Round: halves to even.
int roundEven(double v) { return int(std::nearbyint(v)); }

std::uint16_t swap16(std::uint16_t v) { return std::uint16_t((v >> 8) | (v << 8)); }

std::uint16_t load16(const std::uint8_t* p)
{
    std::uint16_t v;
    std::memcpy(&v, p, 2);
    return v;
}

void store16(std::uint8_t* p, std::uint16_t v) { std::memcpy(p, &v, 2); }

// Samples a colour scheme holds per pixel.
unsigned schemeSamples(TColorScheme scheme)
{
    switch (scheme) {
    case csIndexed:
    case csG: return 1;
    case csGA: return 2;
    case csRGBA:
    case csBGRA:
    case csCMYK: return 4;
    case csUnknown: return 0;
    default: return 3;
    }
}

bool hasAlpha(TColorScheme scheme) { return scheme == csGA || scheme == csRGBA || scheme == csBGRA; }

bool validDepth(unsigned bits) { return bits == 1 || bits == 2 || bits == 4 || bits == 8 || bits == 16; }

// Walks a row mask: bit 7 belongs to pixel 0, rotating right per pixel.
struct MaskWalker {
    std::uint8_t bits;
    bool next()
    {
        bool selected = (bits & 0x80) != 0;
        bits = std::uint8_t((bits << 1) | (bits >> 7));
        return selected;
    }
};

std::size_t selectedPixels(std::uint32_t count, std::uint8_t mask)
{
    std::size_t whole = std::size_t(count / 8) * std::size_t(std::popcount(mask));
    unsigned rest = count % 8;
    std::uint8_t restMask = rest == 0 ? 0 : std::uint8_t(mask & std::uint8_t(0xFF << (8 - rest)));
    return whole + std::size_t(std::popcount(restMask));
}

// Reads the packed sample at a bit offset, from the top bits of a byte down.
unsigned readPacked(const std::uint8_t* row, std::size_t bitOffset, unsigned bits)
{
    unsigned shift = 8 - bits - unsigned(bitOffset % 8);
    return (row[bitOffset / 8] >> shift) & ((1u << bits) - 1);
}

void writePacked(std::uint8_t* row, std::size_t bitOffset, unsigned bits, unsigned value)
{
    unsigned shift = 8 - bits - unsigned(bitOffset % 8);
    std::uint8_t fieldMask = std::uint8_t(((1u << bits) - 1) << shift);
    std::uint8_t& b = row[bitOffset / 8];
    b = std::uint8_t((b & ~fieldMask) | ((value << shift) & fieldMask));
}

}  // namespace

std::uint32_t MulDiv16(std::uint32_t a, std::uint32_t b, std::uint32_t c)
{
    a &= 0xFFFF;
    b &= 0xFFFF;
    c &= 0xFFFF;
    return c == 0 ? 0 : (a * b) / c;
}

std::uint8_t ClampByte(int value) { return std::uint8_t(value < 0 ? 0 : value > 255 ? 255 : value); }

// One row as the converters see it: the planes (one when interleaved), the
// target, the pixel count and mask, and the source step in samples.
struct TColorManager::Row {
    std::span<const std::span<const std::uint8_t>> planes;
    std::uint8_t* target;
    std::uint32_t count;
    std::uint8_t mask;
    std::size_t sourceStep;  // samples per pixel in an interleaved source
    unsigned sourceBytes;    // bytes of one sample: 1 (packed or 8-bit) or 2

    // Sample k of the j-th selected source pixel (8 or 16 bits, as stored).
    unsigned sample(std::size_t j, std::size_t k) const
    {
        const std::uint8_t* p = planes.size() == 1 ? planes[0].data() + (j * sourceStep + k) * sourceBytes
                                                   : planes[k].data() + j * sourceBytes;
        return sourceBytes == 2 ? load16(p) : *p;
    }
};

TColorManager::TColorManager()
{
    SetGamma(1.0f, 2.2f);
    changed_ = true;
}

namespace {

// Stores value in field; true when that changed it (the conversion must then
// be prepared again).
template <class T>
bool storeChanged(T& field, T value)
{
    if (field == value) return false;
    field = value;
    return true;
}

void checkSampleDepth(std::uint8_t bits)
{
    if (bits < 1 || bits > 16) colorError(gesInvalidSampleDepth);
}

void checkSamplesPerPixel(std::uint8_t samples)
{
    if (samples < 1 || samples > 4) colorError(gesInvalidPixelDepth);
}

}  // namespace

void TColorManager::SetSourceBitsPerSample(std::uint8_t bits)
{
    checkSampleDepth(bits);
    changed_ |= storeChanged(sourceBitsPerSample_, bits);
}

void TColorManager::SetTargetBitsPerSample(std::uint8_t bits)
{
    checkSampleDepth(bits);
    changed_ |= storeChanged(targetBitsPerSample_, bits);
}

void TColorManager::SetSourceSamplesPerPixel(std::uint8_t samples)
{
    checkSamplesPerPixel(samples);
    changed_ |= storeChanged(sourceSamplesPerPixel_, samples);
}

void TColorManager::SetTargetSamplesPerPixel(std::uint8_t samples)
{
    checkSamplesPerPixel(samples);
    changed_ |= storeChanged(targetSamplesPerPixel_, samples);
}

void TColorManager::SetSourceColorScheme(TColorScheme scheme) { changed_ |= storeChanged(sourceColorScheme_, scheme); }

void TColorManager::SetTargetColorScheme(TColorScheme scheme) { changed_ |= storeChanged(targetColorScheme_, scheme); }

void TColorManager::SetGamma(float mainGamma, float displayGamma)
{
    mainGamma_ = mainGamma <= 0 ? 1.0f : mainGamma;
    displayGamma_ = displayGamma <= 0 ? 2.2f : displayGamma;
    double exponent = 1.0 / (double(mainGamma_) * double(displayGamma_));
    unsigned outMax = targetBitsPerSample_ >= 8 ? 255 : (1u << targetBitsPerSample_) - 1;
    // The input range follows the target depth below 8 source bits, as the
    // tables of this library always have.
    unsigned inMax = sourceBitsPerSample_ >= 8 ? 255 : (1u << targetBitsPerSample_) - 1;
    for (unsigned i = 0; i <= inMax && i < 256; ++i)
        gammaTable_[i] = std::uint8_t(roundEven(std::pow(double(i) / inMax, exponent) * outMax));
}

void TColorManager::SetYCbCrParameters(std::span<const float> values, std::uint8_t horizontalSubsampling,
                                       std::uint8_t verticalSubsampling)
{
    for (std::size_t i = 0; i < values.size() && i < 3; ++i) yCbCrCoefficients_[i] = values[i];
    changed_ = true;
    auto valid = [](std::uint8_t v) { return v == 1 || v == 2 || v == 4; };
    if (!valid(horizontalSubsampling) || !valid(verticalSubsampling)) colorError(gesInvalidSubSampling);
    if (verticalSubsampling > horizontalSubsampling) colorError(gesVerticalSubSamplingError);
    horizontalSubsampling_ = horizontalSubsampling;
    verticalSubsampling_ = verticalSubsampling;
}

TPixelFormat TColorManager::PixelFormatFor(bool target) const
{
    unsigned samples = target ? targetSamplesPerPixel_ : sourceSamplesPerPixel_;
    unsigned bits = target ? targetBitsPerSample_ : sourceBitsPerSample_;
    switch (samples) {
    case 1:
        if (bits == 1) return pf1bit;
        if (bits >= 2 && bits <= 4) return pf4bit;
        if (bits >= 8 && bits <= 16) return pf8bit;
        return pfCustom;
    case 3: return bits >= 1 && bits <= 5 ? pf15bit : pf24bit;
    case 4: return bits >= 8 ? pf32bit : pfCustom;
    default: return pfCustom;
    }
}

// --- converter choice ------------------------------------------------------------

std::size_t TColorManager::sourceStepSamples(Converter converter) const
{
    switch (converter) {
    case Converter::Grey: return sourceColorScheme_ == csGA ? 2 : 1;
    case Converter::RGBToRGB:
    case Converter::RGBToBGR:
    case Converter::BGRToRGB:
    case Converter::BGRToBGR: return hasAlpha(sourceColorScheme_) ? 4 : 3;
    case Converter::CMYKToRGB:
    case Converter::CMYKToBGR: return 4;
    case Converter::LabToRGB:
    case Converter::LabToBGR:
    case Converter::YCbCrToRGB:
    case Converter::YCbCrToBGR: return 3;
    default: return 1;
    }
}

std::size_t TColorManager::targetStepSamples(Converter converter) const
{
    switch (converter) {
    case Converter::None:
    case Converter::Copy16:
    case Converter::Row16ToPacked:
    case Converter::PackedTo16:
    case Converter::PackedToPacked:
    case Converter::Grey: return 1;
    default: return hasAlpha(targetColorScheme_) ? 4 : 3;
    }
}

// Refuses descriptions a converter would read or write wrongly: sample
// counts that contradict the scheme and depths the converter does not handle.
void TColorManager::checkLayout(Converter converter) const
{
    if (converter == Converter::None) return;
    unsigned sBits = sourceBitsPerSample_, tBits = targetBitsPerSample_;
    if (!validDepth(sBits) || !validDepth(tBits)) colorError(gesInvalidSampleDepth);
    // A grey-with-alpha source may be described by its grey sample alone.
    unsigned sourceWanted = schemeSamples(sourceColorScheme_);
    bool sourceFits =
        sourceSamplesPerPixel_ == sourceWanted || (sourceColorScheme_ == csGA && sourceSamplesPerPixel_ == 1);
    if (!sourceFits || targetSamplesPerPixel_ != schemeSamples(targetColorScheme_)) colorError(gesInvalidPixelDepth);
    bool bytesOnly = (sBits == 8 || sBits == 16) && (tBits == 8 || tBits == 16);
    switch (converter) {
    case Converter::PackedToPacked:
    case Converter::Copy16:
    case Converter::Row16ToPacked:
    case Converter::PackedTo16: break;
    default:
        if (!bytesOnly) colorError(gesConversionUnsupported);
    }
}

void TColorManager::buildYCbCrTables(int crOffset, int cbOffset)
{
    float kr = yCbCrCoefficients_[0], kg = yCbCrCoefficients_[1], kb = yCbCrCoefficients_[2];
    float f1 = 2 - 2 * kr;
    float f2 = 2 - 2 * kb;
    float g1 = kr * f1 / kg;
    float g2 = kb * f2 / kg;
    crToRedTable_.assign(256, 0);
    cbToBlueTable_.assign(256, 0);
    crToGreenTable_.assign(256, 0);
    cbToGreenTable_.assign(256, 0);
    // The coefficients come from the file: a green share of 0 or a huge one
    // gives factors no int holds. Past +-4096 every pixel saturates alike, so
    // the entries stop there (and a NaN counts as 0).
    auto entry = [](double v) { return std::isnan(v) ? 0 : roundEven(std::clamp(v, -4096.0, 4096.0)); };
    for (int i = 0; i < 256; ++i) {
        int dCr = i - crOffset, dCb = i - cbOffset;
        crToRedTable_[i] = entry(double(f1) * dCr);
        cbToBlueTable_[i] = entry(double(f2) * dCb);
        crToGreenTable_[i] = -entry(double(g1) * dCr);
        cbToGreenTable_[i] = -entry(double(g2) * dCb);
    }
}

void TColorManager::PrepareConversion()
{
    converter_ = Converter::None;
    TColorScheme s = sourceColorScheme_, t = targetColorScheme_;
    bool sourceIndexed = s == csIndexed || s == csG || s == csGA;
    bool targetIndexed = t == csIndexed || t == csG;
    if (sourceIndexed != targetIndexed) colorError(gesIndexedNotSupported);
    unsigned sBits = sourceBitsPerSample_, tBits = targetBitsPerSample_;
    bool targetRGB = t == csRGB || t == csRGBA;
    bool targetBGR = t == csBGR || t == csBGRA;
    Converter chosen = Converter::None;
    switch (s) {
    case csIndexed:
        if (sBits == 16 && tBits == 16)
            chosen = Converter::Copy16;
        else if (sBits == 16)
            chosen = Converter::Row16ToPacked;
        else if (tBits == 16)
            chosen = Converter::PackedTo16;
        else
            chosen = Converter::PackedToPacked;
        break;
    case csG:
        if (sBits != 16 && tBits != 16)
            chosen = Converter::PackedToPacked;
        else if (sBits >= 8 && tBits >= 8)
            chosen = Converter::Grey;
        break;
    case csGA:
        if ((sBits == 8 || sBits == 16) && (tBits == 8 || tBits == 16)) chosen = Converter::Grey;
        break;
    case csRGB:
    case csRGBA: chosen = targetRGB ? Converter::RGBToRGB : targetBGR ? Converter::RGBToBGR : Converter::None; break;
    case csBGR:
    case csBGRA: chosen = targetRGB ? Converter::BGRToRGB : targetBGR ? Converter::BGRToBGR : Converter::None; break;
    case csCMYK: chosen = targetRGB ? Converter::CMYKToRGB : targetBGR ? Converter::CMYKToBGR : Converter::None; break;
    case csCIELab: chosen = targetRGB ? Converter::LabToRGB : targetBGR ? Converter::LabToBGR : Converter::None; break;
    case csYCbCr:
    case csPhotoYCC:
        chosen = targetRGB ? Converter::YCbCrToRGB : targetBGR ? Converter::YCbCrToBGR : Converter::None;
        break;
    default: break;
    }
    checkLayout(chosen);
    if (s == csYCbCr && chosen != Converter::None)
        buildYCbCrTables(128, 128);
    else if (s == csPhotoYCC && chosen != Converter::None)
        buildYCbCrTables(137, 156);
    SourceOptions = std::uint8_t(hasAlpha(s) ? (SourceOptions | AlphaOption) : (SourceOptions & ~AlphaOption));
    TargetOptions = std::uint8_t(hasAlpha(t) ? (TargetOptions | AlphaOption) : (TargetOptions & ~AlphaOption));
    converter_ = chosen;
    changed_ = false;
}

// --- ConvertRow ----------------------------------------------------------------------

void TColorManager::ConvertRow(TRowSources source, std::span<std::uint8_t> target, std::uint32_t count,
                               std::uint8_t mask)
{
    ConvertRow(std::span<const std::span<const std::uint8_t>>(source.begin(), source.size()), target, count, mask);
}

void TColorManager::ConvertRow(std::span<const std::span<const std::uint8_t>> source, std::span<std::uint8_t> target,
                               std::uint32_t count, std::uint8_t mask)
{
    if (changed_) PrepareConversion();
    if (converter_ == Converter::None) colorError(gesConversionUnsupported);
    if (count == 0 || mask == 0) return;

    // Every byte the converter will touch must lie inside the buffers given.
    std::size_t sourceStep = sourceStepSamples(converter_);
    std::size_t selected = selectedPixels(count, mask);
    std::size_t sBits = sourceBitsPerSample_, tBits = targetBitsPerSample_;
    if (source.empty() || (source.size() > 1 && source.size() != sourceStep)) colorError(gesRowBufferTooSmall);
    if (source.size() == 1) {
        if (source[0].size() < (selected * sourceStep * sBits + 7) / 8) colorError(gesRowBufferTooSmall);
    } else {
        for (const auto& plane : source)
            if (plane.size() < (selected * sBits + 7) / 8) colorError(gesRowBufferTooSmall);
    }
    if (target.size() < (std::size_t(count) * targetStepSamples(converter_) * tBits + 7) / 8)
        colorError(gesRowBufferTooSmall);

    Row row{source, target.data(), count, mask, sourceStep, sBits == 16 ? 2u : 1u};
    switch (converter_) {
    case Converter::PackedToPacked: convertPackedToPacked(row); break;
    case Converter::Copy16: convertCopy16(row); break;
    case Converter::Row16ToPacked: convert16ToPacked(row); break;
    case Converter::PackedTo16: convertPackedTo16(row); break;
    case Converter::Grey: convertGrey(row); break;
    case Converter::RGBToRGB:
    case Converter::BGRToBGR: convertRGB(row, false); break;
    case Converter::RGBToBGR:
    case Converter::BGRToRGB: convertRGB(row, true); break;
    case Converter::CMYKToRGB: convertCMYK(row, false); break;
    case Converter::CMYKToBGR: convertCMYK(row, true); break;
    case Converter::LabToRGB: convertLab(row, false); break;
    case Converter::LabToBGR: convertLab(row, true); break;
    case Converter::YCbCrToRGB: convertYCbCr(row, false); break;
    case Converter::YCbCrToBGR: convertYCbCr(row, true); break;
    case Converter::None: break;
    }
}

void TColorManager::convertPackedToPacked(const Row& row)
{
    unsigned sBits = sourceBitsPerSample_, tBits = targetBitsPerSample_;
    const std::uint8_t* src = row.planes[0].data();
    if (sBits == tBits && row.mask == 0xFF) {
        std::memcpy(row.target, src, (std::size_t(row.count) * sBits + 7) / 8);
        return;
    }
    unsigned sMax = (1u << sBits) - 1, tMax = (1u << tBits) - 1;
    MaskWalker walker{row.mask};
    std::size_t sourceBit = 0;
    for (std::uint32_t i = 0; i < row.count; ++i) {
        if (!walker.next()) continue;
        unsigned v = readPacked(src, sourceBit, sBits);
        sourceBit += sBits;
        writePacked(row.target, std::size_t(i) * tBits, tBits, MulDiv16(v, tMax, sMax));
    }
}

void TColorManager::convertCopy16(const Row& row)
{
    bool swap = SourceOptions & ByteSwapOption;
    if (row.mask == 0xFF && !swap) {
        std::memcpy(row.target, row.planes[0].data(), std::size_t(row.count) * 2);
        return;
    }
    MaskWalker walker{row.mask};
    std::size_t j = 0;
    for (std::uint32_t i = 0; i < row.count; ++i) {
        if (!walker.next()) continue;
        std::uint16_t v = std::uint16_t(row.sample(j++, 0));
        store16(row.target + 2 * std::size_t(i), swap ? swap16(v) : v);
    }
}

void TColorManager::convert16ToPacked(const Row& row)
{
    bool swap = SourceOptions & ByteSwapOption;
    unsigned tBits = targetBitsPerSample_, tMax = (1u << tBits) - 1;
    MaskWalker walker{row.mask};
    std::size_t j = 0;
    for (std::uint32_t i = 0; i < row.count; ++i) {
        if (!walker.next()) continue;
        std::uint16_t v = std::uint16_t(row.sample(j++, 0));
        if (swap) v = swap16(v);
        writePacked(row.target, std::size_t(i) * tBits, tBits, MulDiv16(v, tMax, 65535));
    }
}

void TColorManager::convertPackedTo16(const Row& row)
{
    bool swap = SourceOptions & ByteSwapOption;
    unsigned sBits = sourceBitsPerSample_, sMax = (1u << sBits) - 1;
    const std::uint8_t* src = row.planes[0].data();
    MaskWalker walker{row.mask};
    std::size_t sourceBit = 0;
    for (std::uint32_t i = 0; i < row.count; ++i) {
        if (!walker.next()) continue;
        unsigned v = readPacked(src, sourceBit, sBits);
        sourceBit += sBits;
        std::uint16_t w = std::uint16_t(MulDiv16(v, 65535, sMax));
        store16(row.target + 2 * std::size_t(i), swap ? swap16(w) : w);
    }
}

void TColorManager::convertGrey(const Row& row)
{
    bool swap = SourceOptions & ByteSwapOption;
    bool source16 = sourceBitsPerSample_ == 16, target16 = targetBitsPerSample_ == 16;
    MaskWalker walker{row.mask};
    std::size_t j = 0;
    for (std::uint32_t i = 0; i < row.count; ++i) {
        if (!walker.next()) continue;
        unsigned v = row.sample(j++, 0);
        if (source16 && swap) v = swap16(std::uint16_t(v));
        if (target16)
            store16(row.target + 2 * std::size_t(i), std::uint16_t(source16 ? v : v * 257));
        else
            row.target[i] = std::uint8_t(source16 ? MulDiv16(v, 255, 65535) : v);
    }
}

void TColorManager::convertRGB(const Row& row, bool exchange)
{
    bool swap = SourceOptions & ByteSwapOption;
    bool gamma = TargetOptions & GammaOption;
    bool source16 = sourceBitsPerSample_ == 16, target16 = targetBitsPerSample_ == 16;
    bool sourceAlpha = hasAlpha(sourceColorScheme_), targetAlpha = hasAlpha(targetColorScheme_);
    std::size_t targetStep = targetAlpha ? 4 : 3;
    // The common case of whole rows of interleaved 8-bit samples in the
    // same layout: a plain copy or exchange per pixel.
    if (row.mask == 0xFF && !source16 && !target16 && !gamma && row.planes.size() == 1 &&
        row.sourceStep == targetStep && (sourceAlpha == targetAlpha)) {
        const std::uint8_t* from = row.planes[0].data();
        std::uint8_t* to = row.target;
        const std::size_t first = exchange ? 2 : 0, third = exchange ? 0 : 2;
        for (std::uint32_t i = 0; i < row.count; ++i, from += targetStep, to += targetStep) {
            to[0] = from[first];
            to[1] = from[1];
            to[2] = from[third];
            if (targetStep == 4) to[3] = from[3];
        }
        return;
    }
    MaskWalker walker{row.mask};
    std::size_t j = 0;
    for (std::uint32_t i = 0; i < row.count; ++i) {
        if (!walker.next()) continue;
        std::size_t at = std::size_t(i) * targetStep;
        for (std::size_t k = 0; k < 3; ++k) {
            unsigned v = row.sample(j, exchange ? 2 - k : k);
            if (!source16) {
                if (gamma) v = gammaTable_[v];
                if (target16) {
                    std::uint16_t w = std::uint16_t(v * 257);
                    store16(row.target + 2 * (at + k), swap ? swap16(w) : w);
                } else {
                    row.target[at + k] = std::uint8_t(v);
                }
            } else {
                std::uint16_t w = swap ? swap16(std::uint16_t(v)) : std::uint16_t(v);
                if (target16) {
                    store16(row.target + 2 * (at + k), w);
                } else {
                    unsigned b = MulDiv16(w, 255, 65535);
                    row.target[at + k] = gamma ? gammaTable_[b] : std::uint8_t(b);
                }
            }
        }
        if (sourceAlpha && targetAlpha) {
            unsigned a = row.sample(j, 3);
            if (!source16) {
                if (target16) {
                    std::uint16_t w = std::uint16_t(a * 257);
                    store16(row.target + 2 * (at + 3), swap ? swap16(w) : w);
                } else {
                    row.target[at + 3] = std::uint8_t(a);
                }
            } else {
                std::uint16_t w = swap ? swap16(std::uint16_t(a)) : std::uint16_t(a);
                if (target16)
                    store16(row.target + 2 * (at + 3), w);
                else
                    row.target[at + 3] = std::uint8_t(MulDiv16(w, 255, 65535));
            }
        }
        ++j;
    }
}

namespace {

// Writes red, green, blue as 8-bit values into an 8- or 16-bit target slot.
void putColour(std::uint8_t* target, std::size_t at, bool target16, bool toBGR, int red, int green, int blue)
{
    std::uint8_t first = ClampByte(toBGR ? blue : red), second = ClampByte(green),
                 third = ClampByte(toBGR ? red : blue);
    if (target16) {
        store16(target + 2 * at, std::uint16_t(first * 257));
        store16(target + 2 * (at + 1), std::uint16_t(second * 257));
        store16(target + 2 * (at + 2), std::uint16_t(third * 257));
    } else {
        target[at] = first;
        target[at + 1] = second;
        target[at + 2] = third;
    }
}

}  // namespace

void TColorManager::convertCMYK(const Row& row, bool toBGR)
{
    bool swap = SourceOptions & ByteSwapOption;
    bool source16 = sourceBitsPerSample_ == 16, target16 = targetBitsPerSample_ == 16;
    std::size_t targetStep = hasAlpha(targetColorScheme_) ? 4 : 3;
    MaskWalker walker{row.mask};
    std::size_t j = 0;
    for (std::uint32_t i = 0; i < row.count; ++i) {
        if (!walker.next()) continue;
        int out[3];
        if (!source16) {
            int k = int(row.sample(j, 3));
            for (int c = 0; c < 3; ++c) {
                int x = int(row.sample(j, std::size_t(c)));
                out[c] = ClampByte(x * k / 255 - x - k + 255);
            }
        } else {
            auto get = [&](std::size_t s) {
                unsigned v = row.sample(j, s);
                return swap ? unsigned(swap16(std::uint16_t(v))) : v;
            };
            unsigned k = get(3);
            for (int c = 0; c < 3; ++c) {
                unsigned x = get(std::size_t(c));
                unsigned m = x * k / 65535;
                unsigned sum = (x + k - m) & 0xFFFF;  // summed in 16 bits
                out[c] = ClampByte(255 - int(sum * 255 / 65535));
            }
        }
        ++j;
        putColour(row.target, std::size_t(i) * targetStep, target16, toBGR, out[0], out[1], out[2]);
    }
}

namespace {

// CIE L*a*b* (L* 0..100) to 8-bit sRGB: the reference white is D65 as
// ImageMagick takes it, f⁻¹ the CIE one, the matrix the sRGB primaries'
// and the result through the sRGB transfer curve.
constexpr double LabWhiteX = 0.950456, LabWhiteY = 1.0, LabWhiteZ = 1.088754;
constexpr double LabEpsilon = 216.0 / 24389.0, LabKappa = 24389.0 / 27.0;

double labInverse(double t) { return t * t * t > LabEpsilon ? t * t * t : (116 * t - 16) / LabKappa; }

int srgbByte(double linear)
{
    linear = linear < 0 ? 0 : linear > 1 ? 1 : linear;
    const double encoded = linear <= 0.0031308 ? 12.92 * linear : 1.055 * std::pow(linear, 1 / 2.4) - 0.055;
    return roundEven(encoded * 255);
}

void labToSrgb(double L, double a, double b, int rgb[3])
{
    const double fy = (L + 16) / 116;
    const double X = LabWhiteX * labInverse(fy + a / 500);
    const double Y = LabWhiteY * (L > LabKappa * LabEpsilon ? fy * fy * fy : L / LabKappa);
    const double Z = LabWhiteZ * labInverse(fy - b / 200);
    rgb[0] = srgbByte(3.2404542 * X - 1.5371385 * Y - 0.4985314 * Z);
    rgb[1] = srgbByte(-0.9692660 * X + 1.8760108 * Y + 0.0415560 * Z);
    rgb[2] = srgbByte(0.0556434 * X - 0.2040259 * Y + 1.0572252 * Z);
}

}  // namespace

void TColorManager::convertLab(const Row& row, bool toBGR)
{
    const bool scaledL = SourceOptions & LabScaledLightnessOption;
    const bool offsetChroma = SourceOptions & LabOffsetChromaOption;
    const bool swap = SourceOptions & ByteSwapOption;
    const bool source16 = sourceBitsPerSample_ == 16, target16 = targetBitsPerSample_ == 16;
    const std::size_t targetStep = hasAlpha(targetColorScheme_) ? 4 : 3;
    MaskWalker walker{row.mask};
    std::size_t j = 0;
    for (std::uint32_t i = 0; i < row.count; ++i) {
        if (!walker.next()) continue;
        // 16-bit samples are the 8-bit ones widened: L* and offset a*, b* by
        // 257 (65535 is 255), signed a*, b* by 256 (their high byte).
        double s[3];
        for (std::size_t k = 0; k < 3; ++k) {
            unsigned v = row.sample(j, k);
            if (source16 && swap) v = swap16(std::uint16_t(v));
            if (k == 0)
                s[k] = source16 ? v / 257.0 : v;
            else if (offsetChroma)
                s[k] = (source16 ? v / 257.0 : v) - 128;
            else
                s[k] = source16 ? std::int16_t(v) / 256.0 : std::int8_t(v);
        }
        ++j;
        int rgb[3];
        labToSrgb(scaledL ? s[0] / 2.55 : s[0], s[1], s[2], rgb);
        putColour(row.target, std::size_t(i) * targetStep, target16, toBGR, rgb[0], rgb[1], rgb[2]);
    }
}

void TColorManager::convertYCbCr(const Row& row, bool toBGR)
{
    bool swap = SourceOptions & ByteSwapOption;
    bool source16 = sourceBitsPerSample_ == 16, target16 = targetBitsPerSample_ == 16;
    std::size_t targetStep = hasAlpha(targetColorScheme_) ? 4 : 3;
    MaskWalker walker{row.mask};
    std::size_t j = 0;
    for (std::uint32_t i = 0; i < row.count; ++i) {
        if (!walker.next()) continue;
        unsigned s[3];
        for (std::size_t k = 0; k < 3; ++k) {
            s[k] = row.sample(j, k);
            if (source16 && swap) s[k] = swap16(std::uint16_t(s[k]));
        }
        ++j;
        std::size_t at = std::size_t(i) * targetStep;
        if (source16 && target16) {
            // Both sides 16 bits: one fixed formula for both schemes, no clamping.
            double y = 1.3584 * s[0];
            double c1 = double(int(s[1]) - 40092);
            double c2 = double(int(s[2]) - 35209);
            long long blue = std::llround(std::nearbyint(y + 2.2179 * c1));
            long long green = std::llround(std::nearbyint(y - 0.9271435 * c2 - 0.4302726 * c1));
            long long red = std::llround(std::nearbyint(y + 1.8215 * c2));
            std::uint16_t first = std::uint16_t((toBGR ? blue : red) & 0xFFFF);
            std::uint16_t third = std::uint16_t((toBGR ? red : blue) & 0xFFFF);
            store16(row.target + 2 * at, first);
            store16(row.target + 2 * (at + 1), std::uint16_t(green & 0xFFFF));
            store16(row.target + 2 * (at + 2), third);
            continue;
        }
        if (source16)
            for (unsigned& v : s) v = MulDiv16(v, 255, 65535);
        int Y = int(s[0]);
        unsigned cb = s[1], cr = s[2];
        int blue = Y + cbToBlueTable_[cb];
        int green = Y + cbToGreenTable_[cb] + crToGreenTable_[cr];
        int red = Y + crToRedTable_[cr];
        putColour(row.target, at, target16, toBGR, red, green, blue);
    }
}

// --- palettes ------------------------------------------------------------------------

TLogPalette TColorManager::CreateColorPalette(TRowSources data, TPaletteDataFormat format, std::uint32_t colorCount,
                                              bool bgrOrder)
{
    std::size_t count = std::min<std::size_t>(colorCount, 256);
    bool sixteen = format >= pdfInterlaced16Triple;
    bool planar =
        format == pdfPlane8Triple || format == pdfPlane8Quad || format == pdfPlane16Triple || format == pdfPlane16Quad;
    std::size_t sampleBytes = sixteen ? 2 : 1;
    std::size_t entrySamples = (format == pdfInterlaced8Quad || format == pdfInterlaced16Quad) ? 4 : 3;
    bool swap = SourceOptions & ByteSwapOption;
    bool gamma = TargetOptions & GammaOption;
    const std::span<const std::uint8_t>* planes = data.begin();
    std::size_t planeCount = data.size();

    // A value the data does not reach reads as 0.
    auto value = [&](std::size_t entry, std::size_t channel) -> std::uint8_t {
        const std::span<const std::uint8_t>* plane;
        std::size_t offset;
        if (planar) {
            if (channel >= planeCount) return 0;
            plane = &planes[channel];
            offset = entry * sampleBytes;
        } else {
            if (planeCount == 0) return 0;
            plane = &planes[0];
            offset = (entry * entrySamples + channel) * sampleBytes;
        }
        if (offset + sampleBytes > plane->size()) return 0;
        unsigned v;
        if (sixteen) {
            std::uint16_t w = load16(plane->data() + offset);
            v = MulDiv16(swap ? swap16(w) : w, 255, 65535);
        } else {
            v = (*plane)[offset];
        }
        return gamma ? gammaTable_[v] : std::uint8_t(v);
    };

    TLogPalette palette;
    palette.Entries.resize(count);
    for (std::size_t i = 0; i < count; ++i) {
        TPaletteEntry& e = palette.Entries[i];
        bool reversed = bgrOrder && !planar;
        e.peRed = value(i, reversed ? 2 : 0);
        e.peGreen = value(i, 1);
        e.peBlue = value(i, reversed ? 0 : 2);
        e.peFlags = 0;
    }

    unsigned tBits = targetBitsPerSample_;
    if (tBits <= 8) {
        std::uint32_t sourceMax = (std::uint32_t(1) << sourceBitsPerSample_) - 1;
        std::uint32_t targetMax = (std::uint32_t(1) << tBits) - 1;
        if (sourceMax != targetMax) {
            std::vector<TPaletteEntry> resampled(targetMax + 1);
            for (std::uint32_t i = 0; i <= targetMax; ++i) {
                std::size_t from = std::size_t(std::uint64_t(i) * sourceMax / targetMax);
                resampled[i] = from < palette.Entries.size() ? palette.Entries[from] : TPaletteEntry{};
            }
            palette.Entries = std::move(resampled);
        }
    }
    return palette;
}

TLogPalette TColorManager::CreateGrayscalePalette(bool minIsWhite)
{
    unsigned bits = std::min(8u, unsigned(targetBitsPerSample_) * targetSamplesPerPixel_);
    unsigned count = 1u << bits;
    unsigned step = 255 / (count - 1);
    bool gamma = TargetOptions & GammaOption;
    TLogPalette palette;
    palette.Entries.resize(count);
    for (unsigned i = 0; i < count; ++i) {
        std::uint8_t v = std::uint8_t(i * step);
        if (gamma) v = gammaTable_[v];
        TPaletteEntry& e = palette.Entries[minIsWhite ? count - 1 - i : i];
        e.peRed = e.peGreen = e.peBlue = v;
    }
    return palette;
}
