// Alias/Wavefront RLA loader: rows found through an offset table, each
// channel of a row run-length coded on its own.
//
// Exactly three colour channels and at most one matte channel are read,
// each into a buffer of one row of its own depth (8 or 16 bits), so no
// header count can make a row read or write outside its buffers.

#include "formats/ImageFormatsRla.h"
#include "formats/FormatCompression.h"
#include "formats/ImageFormatsReading.h"
#include "platform/core/AsciiCase.h"
#include "platform/core/Trim.h"

#include <charconv>
#include <cmath>
#include <cstring>

using namespace FormatStrings;
using loaders::FormatReader;
using loaders::PeekHeader;

namespace {

constexpr std::size_t HeaderSize = 740;
constexpr std::size_t ColourSpaceAt = 580;
constexpr std::size_t ColourSpaceSize = 32;
constexpr std::size_t GammaAt = 28;
constexpr std::size_t GammaSize = 16;

// A fixed text field up to its first NUL.
std::string_view fieldText(const std::uint8_t* header, std::size_t at, std::size_t size)
{
    const char* text = reinterpret_cast<const char*>(header + at);
    return std::string_view(text, strnlen(text, size));
}

std::string colourSpace(const std::uint8_t* header)
{
    return AsciiLower(std::string(fieldText(header, ColourSpaceAt, ColourSpaceSize)));
}

}  // namespace

float TRLAGraphic::ParseGamma(std::string_view field)
{
    const std::string trimmed = Trim(field, " \t");
    std::string_view text = trimmed;
    if (!text.empty() && text.front() == '+') text.remove_prefix(1);
    float value = 1.0f;
    const auto [end, error] =
        std::from_chars(text.data(), text.data() + text.size(), value, std::chars_format::general);
    if (text.empty() || error != std::errc() || end != text.data() + text.size() || !std::isfinite(value)) return 1.0f;
    return value;
}

bool TRLAGraphic::CanLoad(TStream& stream)
{
    std::uint8_t header[HeaderSize];
    if (!PeekHeader(stream, header, HeaderSize, HeaderSize + 1) || GetBE16(header + 26) != 0xFFFE) return false;
    const std::string space = colourSpace(header);
    return space == "rgb" || space == "xyz";
}

bool TRLAGraphic::ReadImageProperties(TStream& stream, std::uint32_t imageIndex)
{
    TFormatGraphic::ReadImageProperties(stream, imageIndex);
    std::uint8_t header[HeaderSize];
    FormatReader(stream, gesRLAFormat).Read(header, HeaderSize);
    TImageProperties& p = ImageProperties;
    colourChannels_ = GetBE16(header + 20);
    matteChannels_ = GetBE16(header + 22);
    bitsPerChannel_ = GetBE16(header + 658);
    p.Options = BigEndianOption;
    p.SamplesPerPixel = static_cast<std::uint8_t>(colourChannels_ + (matteChannels_ == 1 ? 1 : 0));
    p.BitsPerSample = static_cast<std::uint8_t>(bitsPerChannel_);
    p.BitsPerPixel = static_cast<std::uint8_t>(p.SamplesPerPixel * p.BitsPerSample);
    const std::string space = colourSpace(header);
    if (space == "rgb")
        p.ColorScheme = matteChannels_ != 0 ? csRGBA : csRGB;
    else if (space == "xyz")
        return false;
    p.FileGamma = ParseGamma(fieldText(header, GammaAt, GammaSize));
    p.Compression = ctRLE;
    // The active window, in signed 16-bit corners.
    const auto corner = [&](std::size_t at) { return std::int32_t(std::int16_t(GetBE16(header + at))); };
    const std::int32_t left = corner(8), right = corner(10), bottom = corner(12), top = corner(14);
    const std::int32_t width = right - left + 1;
    p.Width = width > 0 ? std::uint32_t(width) : 0;
    p.Height = std::uint32_t(std::abs(bottom - top) + 1);
    p.BottomUp = bottom < top;
    return true;
}

const char* TRLAGraphic::FormatName() const { return gesRLAFormat; }

void TRLAGraphic::LoadImage(TStream& stream)
{
    const TImageProperties& p = ImageProperties;
    StartProgress(gesTransfering);
    TEndProgress endProgress{*this};
    FormatReader reader(stream, gesRLAFormat);

    TColorManager& cm = *ColorManager;
    cm.SetSourceSamplesPerPixel(p.SamplesPerPixel);
    cm.SetTargetSamplesPerPixel(p.SamplesPerPixel);
    cm.SetSourceBitsPerSample(p.BitsPerSample);
    cm.SetTargetBitsPerSample(p.BitsPerSample <= 8 ? p.BitsPerSample : 8);
    cm.SetSourceColorScheme(p.ColorScheme);
    const bool alpha = p.ColorScheme == csRGBA;
    cm.SetTargetColorScheme(alpha ? csBGRA : csBGR);
    if (p.FileGamma != 1.0f) {
        cm.SetGamma(p.FileGamma, 2.2f);
        cm.TargetOptions |= GammaOption;
        ImageProperties.Options |= GammaAppliedOption;
    }
    if (p.BitsPerSample == 16) cm.SourceOptions |= ByteSwapOption;
    // Scheme, samples and depths must fit together before a row is read;
    // only whole bytes per sample are stored in the channels read here.
    cm.PrepareConversion();
    const TPixelFormat format = cm.PixelFormatFor(true);
    if (p.ColorScheme == csUnknown || (bitsPerChannel_ != 8 && bitsPerChannel_ != 16) || colourChannels_ != 3 ||
        matteChannels_ > 1 || !cm.WritesPixelsOf(format))
        ImageFormatsError(gesInvalidColorFormat, {gesRLAFormat});
    if (p.Width == 0) ImageFormatsError(gesInvalidImageSize, {gesRLAFormat});

    const unsigned channels = alpha ? 4 : 3;
    const std::size_t channelBytes = CheckedRowBytes(p.Width, bitsPerChannel_, reader.Handler());
    reader.PixelCount(p.Width, p.Height);
    const std::vector<std::uint8_t> table = reader.Bytes(std::uint64_t(p.Height) * 4);
    // Each stored channel row takes at least its length word.
    reader.PictureBytes(p.Width, p.Height, channels * (bitsPerChannel_ / 8u), TRLADecoder::MaxExpansion);
    SetPixelFormat(format);
    SetSize(static_cast<int>(p.Width), static_cast<int>(p.Height));

    TRLADecoder decoder;
    std::vector<std::vector<std::uint8_t>> buffers(channels, std::vector<std::uint8_t>(channelBytes));
    std::span<const std::uint8_t> sources[4];
    for (std::uint32_t i = 0; i < p.Height; ++i) {
        reader.Seek(BasePosition + GetBE32(table.data() + 4 * std::size_t(i)));
        for (unsigned c = 0; c < channels; ++c) {
            const std::vector<std::uint8_t> packed = reader.Bytes(reader.BE16());
            const std::uint8_t* source = packed.data();
            std::uint8_t* dest = buffers[c].data();
            try {
                decoder.Decode(source, dest, packed.size(), channelBytes);
            } catch (const EGraphicCompression&) {
                // A run past the row's end keeps what fitted; a row left short is judged below.
            }
            if (decoder.Produced() < channelBytes) reader.Fail(TReadFault::ShortData);
            sources[c] = buffers[c];
        }
        const std::uint32_t row = p.BottomUp ? p.Height - 1 - i : i;
        cm.ConvertRow(std::span<const std::span<const std::uint8_t>>(sources, channels), ScanLineSpan(int(row)),
                      p.Width);
        RowDone(i + 1, p.Height);
    }
}
