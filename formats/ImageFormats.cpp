#include "formats/ImageFormats.h"
#include "formats/FormatCompression.h"
#include "formats/ImageFormatsReading.h"

#include <cstring>

void ImageFormatsError(const std::string& message) { throw EInvalidGraphic(message); }

void ImageFormatsError(std::string_view pattern, std::initializer_list<std::string_view> arguments)
{
    throw EInvalidGraphic(FormatText(pattern, arguments));
}

TFaultHandler loaders::FormatFaults(const char* formatName)
{
    return [formatName](TReadFault fault) {
        switch (fault) {
        case TReadFault::ShortData: ImageFormatsError(FormatStrings::gesStreamReadError, {formatName});
        case TReadFault::TooLarge: throw EImageTooLarge();
        case TReadFault::CannotFill: ImageFormatsError(FormatStrings::gesInvalidImageSize, {formatName});
        }
    };
}

// --- helpers -------------------------------------------------------------------------

void SwapShorts(std::uint16_t* values, std::size_t count)
{
    for (std::size_t i = 0; i < count; ++i) values[i] = std::uint16_t((values[i] >> 8) | (values[i] << 8));
}

std::uint32_t SwapLong(std::uint32_t value)
{
    return (value >> 24) | ((value >> 8) & 0xFF00) | ((value << 8) & 0xFF0000) | (value << 24);
}

void SwapLongs(std::uint32_t* values, std::size_t count)
{
    for (std::size_t i = 0; i < count; ++i) values[i] = SwapLong(values[i]);
}

std::int32_t MulDiv(std::int64_t a, std::int64_t b, std::int64_t c) { return c == 0 ? 0 : std::int32_t(a * b / c); }

// --- TFormatGraphic ----------------------------------------------------------------

TFormatGraphic::TFormatGraphic() : ColorManager(std::make_unique<TColorManager>()) {}

TFormatGraphic::TFormatGraphic(const TFormatGraphic& other)
    : TBitmap(other),
      ColorManager(std::make_unique<TColorManager>(*other.ColorManager)),
      ImageProperties(other.ImageProperties),
      BasePosition(other.BasePosition),
      Stream(nullptr),
      ProgressRect(other.ProgressRect)
{
}

TFormatGraphic& TFormatGraphic::operator=(const TFormatGraphic& other)
{
    if (this != &other) {
        TBitmap::operator=(other);
        ColorManager = std::make_unique<TColorManager>(*other.ColorManager);
        ImageProperties = other.ImageProperties;
        BasePosition = other.BasePosition;
        Stream = nullptr;
        ProgressRect = other.ProgressRect;
    }
    return *this;
}

void TFormatGraphic::Assign(const TGraphic& source)
{
    if (const auto* format = dynamic_cast<const TFormatGraphic*>(&source)) ImageProperties = format->ImageProperties;
    TBitmap::Assign(source);
}

bool TFormatGraphic::CanLoad(TStream&) { return false; }

bool TFormatGraphic::CanLoadFile(const std::string& fileName, bool (*canLoadStream)(TStream&))
{
    std::unique_ptr<TFileStream> stream;
    try {
        stream = std::make_unique<TFileStream>(fileName, FileMode::OpenRead);
    } catch (const EStreamError&) {
        return false;
    }
    return canLoadStream(*stream);
}

bool TFormatGraphic::ReadImageProperties(TStream&, std::uint32_t)
{
    ImageProperties = TImageProperties{};
    ImageProperties.FileGamma = 1.0f;
    return false;
}

void TFormatGraphic::BeginLoad(TStream& stream)
{
    ReleaseImage();
    BasePosition = stream.Position();
    Stream = &stream;
    ColorManager = std::make_unique<TColorManager>();
}

void TFormatGraphic::ResetProgressRect(std::uint32_t width) { ProgressRect = TRect{0, 0, std::int32_t(width), 1}; }

void TFormatGraphic::StartProgress(const char* stage)
{
    ResetProgressRect(ImageProperties.Width);
    Progress(TProgressStage::psStarting, 0, false, ProgressRect, stage);
}

void TFormatGraphic::NextStage(const char* stage)
{
    Progress(TProgressStage::psEnding, 0, false, ProgressRect, "");
    Progress(TProgressStage::psStarting, 0, false, ProgressRect, stage);
}

void TFormatGraphic::LoadFromStream(TStream& stream)
{
    BeginLoad(stream);
    try {
        if (!ReadImageProperties(stream, LoadedImageIndex())) {
            if (!RefusesUnknownHeader()) return;
            ImageFormatsError(FormatStrings::gesInvalidImage, {FormatName()});
        }
        LoadImage(stream);
    } catch (...) {
        ReleaseImage();
        try {
            throw;
        } catch (const EColorConversionError&) {
            ImageFormatsError(FormatStrings::gesInvalidColorFormat, {FormatName()});
        } catch (const EGraphicCompression& e) {
            throw EInvalidGraphic(e.Message);
        }
    }
}

void TFormatGraphic::RowDone(std::uint32_t row, std::uint32_t height)
{
    if (OnProgress) Progress(TProgressStage::psRunning, std::uint8_t(MulDiv(row, 100, height)), true, ProgressRect, "");
    ProgressRect.Top += 1;
    ProgressRect.Bottom += 1;
}
