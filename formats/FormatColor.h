#pragma once
// The colour manager: turns rows of decoded samples (any colour scheme, sample
// depth and layout a file stores) into rows of the target bitmap's layout, and
// builds the palettes of indexed and grey targets.

#include "platform/core/Exception.h"
#include "platform/picture/Picture.h"

#include <array>
#include <cstdint>
#include <initializer_list>
#include <span>
#include <vector>

class EColorConversionError : public Exception {
public:
    using Exception::Exception;
};

// Colour schemes of the stored samples and of the target.
enum TColorScheme : std::uint8_t {
    csUnknown = 0,
    csIndexed = 1,
    csG = 2,   // grey
    csGA = 3,  // grey with alpha
    csRGB = 4,
    csRGBA = 5,
    csBGR = 6,
    csBGRA = 7,
    csCMY = 8,
    csCMYK = 9,
    csCIELab = 10,
    csYCbCr = 11,
    csPhotoYCC = 12
};

// Option bits of SourceOptions / TargetOptions.
constexpr std::uint8_t AlphaOption = 1;               // the side carries alpha (set by PrepareConversion)
constexpr std::uint8_t GammaOption = 2;               // target: 8-bit colour samples pass GammaTable
constexpr std::uint8_t ByteSwapOption = 4;            // source: 16-bit samples stored high byte first
constexpr std::uint8_t LabScaledLightnessOption = 8;  // source: L* stored 0..255 (0..65535), else 0..100
constexpr std::uint8_t LabOffsetChromaOption = 16;    // source: a*, b* stored with offset 128 (32768), else signed

// Layouts of palette data given to CreateColorPalette.
enum TPaletteDataFormat : std::uint8_t {
    pdfInterlaced8Triple = 0,
    pdfInterlaced8Quad = 1,
    pdfPlane8Triple = 2,
    pdfPlane8Quad = 3,
    pdfInterlaced16Triple = 4,
    pdfInterlaced16Quad = 5,
    pdfPlane16Triple = 6,
    pdfPlane16Quad = 7
};

// Rows handed to ConvertRow: one span (interleaved samples) or one span per
// sample (planar). Each span is the memory the row may be read from.
using TRowSources = std::initializer_list<std::span<const std::uint8_t>>;

class TColorManager {
public:
    TColorManager();

    // --- description -------------------------------------------------------
    std::uint8_t SourceBitsPerSample() const { return sourceBitsPerSample_; }
    std::uint8_t TargetBitsPerSample() const { return targetBitsPerSample_; }
    std::uint8_t SourceSamplesPerPixel() const { return sourceSamplesPerPixel_; }
    std::uint8_t TargetSamplesPerPixel() const { return targetSamplesPerPixel_; }
    TColorScheme SourceColorScheme() const { return sourceColorScheme_; }
    TColorScheme TargetColorScheme() const { return targetColorScheme_; }

    // Bits 1..16 and samples 1..4; other values raise EColorConversionError and
    // keep the old value. Each setter marks the state changed only when the
    // value differs.
    void SetSourceBitsPerSample(std::uint8_t bits);
    void SetTargetBitsPerSample(std::uint8_t bits);
    void SetSourceSamplesPerPixel(std::uint8_t samples);
    void SetTargetSamplesPerPixel(std::uint8_t samples);
    void SetSourceColorScheme(TColorScheme scheme);
    void SetTargetColorScheme(TColorScheme scheme);

    std::uint8_t SourceOptions = 0;
    std::uint8_t TargetOptions = 0;

    // A main gamma not above 0 becomes 1.0, a display gamma not above 0 becomes
    // 2.2; then GammaTable is rebuilt (set the depths first).
    void SetGamma(float mainGamma, float displayGamma = 2.2f);
    float MainGamma() const { return mainGamma_; }
    float DisplayGamma() const { return displayGamma_; }
    const std::array<std::uint8_t, 256>& GammaTable() const { return gammaTable_; }

    // Coefficients (first one, two or three are taken) and subsampling 1, 2 or 4,
    // vertical not above horizontal. Coefficients are stored before the checks.
    void SetYCbCrParameters(std::span<const float> values, std::uint8_t horizontalSubsampling,
                            std::uint8_t verticalSubsampling);
    const std::array<float, 3>& YCbCrCoefficients() const { return yCbCrCoefficients_; }
    std::uint8_t HorizontalSubsampling() const { return horizontalSubsampling_; }
    std::uint8_t VerticalSubsampling() const { return verticalSubsampling_; }

    // Bitmap pixel format for the target (true) or source (false) description.
    TPixelFormat PixelFormatFor(bool target) const;
    // True when a pixel of format is exactly what the converter writes per
    // pixel (target bits per sample times target samples); a loader refuses
    // a picture before sizing its bitmap otherwise.
    bool WritesPixelsOf(TPixelFormat format) const
    {
        return BitsPerPixelOf(format) == int(targetBitsPerSample_) * int(targetSamplesPerPixel_);
    }

    // --- conversion --------------------------------------------------------
    // Converts count pixels into target. Mask bit 7 is pixel 0, rotating right
    // per pixel; unselected target pixels are left alone and the source holds
    // only the selected ones. Sources and target are checked against the bytes
    // the row needs; a short buffer raises EColorConversionError.
    void ConvertRow(TRowSources source, std::span<std::uint8_t> target, std::uint32_t count, std::uint8_t mask = 0xFF);
    void ConvertRow(std::span<const std::span<const std::uint8_t>> source, std::span<std::uint8_t> target,
                    std::uint32_t count, std::uint8_t mask = 0xFF);

    // Chooses the converter; raises EColorConversionError for combinations that
    // are refused (then no converter is kept and the state stays changed).
    void PrepareConversion();
    bool Changed() const { return changed_; }

    // --- palettes ----------------------------------------------------------
    // min(colorCount, 256) entries from data (one span interleaved, three spans
    // planar); entries the data does not reach are black. Resampled to the
    // target depth when the source and target maxima differ (target depth <= 8).
    TLogPalette CreateColorPalette(TRowSources data, TPaletteDataFormat format, std::uint32_t colorCount,
                                   bool bgrOrder);
    // A grey ramp of 2^min(8, target bits × samples) entries.
    TLogPalette CreateGrayscalePalette(bool minIsWhite);

private:
    enum class Converter {
        None,
        Copy16,
        Row16ToPacked,
        PackedTo16,
        PackedToPacked,
        Grey,
        RGBToRGB,
        RGBToBGR,
        BGRToRGB,
        BGRToBGR,
        CMYKToRGB,
        CMYKToBGR,
        LabToRGB,
        LabToBGR,
        YCbCrToRGB,
        YCbCrToBGR
    };
    struct Row;
    void checkLayout(Converter converter) const;
    void buildYCbCrTables(int crOffset, int cbOffset);
    std::size_t sourceStepSamples(Converter converter) const;
    std::size_t targetStepSamples(Converter converter) const;

    void convertPackedToPacked(const Row& row);
    void convertCopy16(const Row& row);
    void convert16ToPacked(const Row& row);
    void convertPackedTo16(const Row& row);
    void convertGrey(const Row& row);
    void convertRGB(const Row& row, bool exchange);
    void convertCMYK(const Row& row, bool toBGR);
    void convertLab(const Row& row, bool toBGR);
    void convertYCbCr(const Row& row, bool toBGR);

    bool changed_ = true;
    std::uint8_t sourceBitsPerSample_ = 8;
    std::uint8_t targetBitsPerSample_ = 8;
    std::uint8_t sourceSamplesPerPixel_ = 3;
    std::uint8_t targetSamplesPerPixel_ = 3;
    float mainGamma_ = 1.0f;
    float displayGamma_ = 2.2f;
    std::array<std::uint8_t, 256> gammaTable_{};
    std::array<float, 3> yCbCrCoefficients_{0.299f, 0.587f, 0.114f};
    std::uint8_t horizontalSubsampling_ = 1;
    std::uint8_t verticalSubsampling_ = 1;
    std::vector<int> crToRedTable_, cbToBlueTable_, crToGreenTable_, cbToGreenTable_;
    TColorScheme sourceColorScheme_ = csRGB;
    TColorScheme targetColorScheme_ = csBGR;
    Converter converter_ = Converter::None;
};

// a × b div c with all three taken as 16-bit unsigned numbers (c 0 gives 0).
std::uint32_t MulDiv16(std::uint32_t a, std::uint32_t b, std::uint32_t c);
// Limits an integer to 0..255.
std::uint8_t ClampByte(int value);
