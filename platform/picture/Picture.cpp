#include "platform/picture/Picture.h"
#include "platform/core/AsciiCase.h"

#include "platform/picture/Icon.h"
#include "platform/picture/JPEGImage.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <utility>

// --- limits ----------------------------------------------------------------------

EImageTooLarge::EImageTooLarge() : EInvalidGraphic("Cannot load image. The picture is too large.") {}

void RaisePictureFault(TReadFault fault)
{
    if (fault == TReadFault::ShortData) throw EReadError("Stream read error");
    throw EImageTooLarge();
}

std::uint64_t CheckedPixelCount(std::uint64_t width, std::uint64_t height)
{
    return CheckedPixelCount(width, height, RaisePictureFault);
}

std::size_t CheckedImageBytes(std::uint64_t width, std::uint64_t height, std::uint64_t bytesPerPixel)
{
    const std::uint64_t bytes = CheckedMultiply(CheckedPixelCount(width, height), bytesPerPixel, RaisePictureFault);
    if (bytes > std::numeric_limits<std::size_t>::max()) throw EImageTooLarge();
    return static_cast<std::size_t>(bytes);
}

std::size_t CheckedBufferBytes(std::uint64_t rowBytes, std::uint64_t rows)
{
    constexpr std::uint64_t limit = MaxPixelCount * 16 + 4 * MaxPixelCount;
    const std::uint64_t bytes = CheckedMultiply(rowBytes, rows, RaisePictureFault);
    if (bytes > limit || bytes > std::numeric_limits<std::size_t>::max()) throw EImageTooLarge();
    return static_cast<std::size_t>(bytes);
}

std::size_t CheckedRowBytes(std::uint64_t width, std::uint64_t bitsPerPixel)
{
    return CheckedRowBytes(width, bitsPerPixel, RaisePictureFault);
}

// --- palettes and formats ----------------------------------------------------------

int BitsPerPixelOf(TPixelFormat format)
{
    switch (format) {
    case pf1bit: return 1;
    case pf4bit: return 4;
    case pf8bit: return 8;
    case pf15bit:
    case pf16bit: return 16;
    case pfDevice:
    case pf24bit: return 24;
    case pf32bit: return 32;
    default: return 0;
    }
}

TLogPalette SystemPalette16()
{
    static const std::uint8_t colours[16][3] = {{0, 0, 0},       {128, 0, 0},   {0, 128, 0},   {128, 128, 0},
                                                {0, 0, 128},     {128, 0, 128}, {0, 128, 128}, {192, 192, 192},
                                                {128, 128, 128}, {255, 0, 0},   {0, 255, 0},   {255, 255, 0},
                                                {0, 0, 255},     {255, 0, 255}, {0, 255, 255}, {255, 255, 255}};
    TLogPalette palette;
    for (const auto& c : colours) palette.Entries.push_back({c[0], c[1], c[2], 0});
    return palette;
}

namespace {

bool isIndexed(TPixelFormat format) { return format == pf1bit || format == pf4bit || format == pf8bit; }

std::vector<TPaletteEntry> defaultPalette(TPixelFormat format)
{
    if (format == pf1bit) return {{0, 0, 0, 0}, {255, 255, 255, 0}};
    std::vector<TPaletteEntry> entries = SystemPalette16().Entries;
    if (format == pf8bit) entries.resize(256);
    return entries;
}

std::uint8_t expand5(unsigned v) { return std::uint8_t((v << 3) | (v >> 2)); }
std::uint8_t expand6(unsigned v) { return std::uint8_t((v << 2) | (v >> 4)); }

int nearestEntry(const std::vector<TPaletteEntry>& palette, std::size_t limit, TColor color)
{
    int best = 0;
    long bestDistance = std::numeric_limits<long>::max();
    std::size_t n = std::min(palette.size(), limit);
    for (std::size_t i = 0; i < n; ++i) {
        long dr = long(palette[i].peRed) - RedOf(color);
        long dg = long(palette[i].peGreen) - GreenOf(color);
        long db = long(palette[i].peBlue) - BlueOf(color);
        long d = dr * dr + dg * dg + db * db;
        if (d < bestDistance) {
            bestDistance = d;
            best = int(i);
            if (d == 0) break;
        }
    }
    return best;
}

unsigned readIndex(const std::uint8_t* row, int x, TPixelFormat format)
{
    switch (format) {
    case pf1bit: return (row[x >> 3] >> (7 - (x & 7))) & 1;
    case pf4bit: return (x & 1) ? (row[x >> 1] & 0x0F) : (row[x >> 1] >> 4);
    default: return row[x];
    }
}

void writeIndex(std::uint8_t* row, int x, TPixelFormat format, unsigned index)
{
    switch (format) {
    case pf1bit: {
        std::uint8_t bit = std::uint8_t(0x80 >> (x & 7));
        row[x >> 3] = (index & 1) ? (row[x >> 3] | bit) : (row[x >> 3] & ~bit);
        break;
    }
    case pf4bit:
        if (x & 1)
            row[x >> 1] = std::uint8_t((row[x >> 1] & 0xF0) | (index & 0x0F));
        else
            row[x >> 1] = std::uint8_t((row[x >> 1] & 0x0F) | ((index & 0x0F) << 4));
        break;
    default: row[x] = std::uint8_t(index);
    }
}

// The colour of pixel x of a row; indices past the palette's end are black.
TColor colourAt(const std::uint8_t* row, int x, TPixelFormat format, const std::vector<TPaletteEntry>& palette)
{
    switch (format) {
    case pf1bit:
    case pf4bit:
    case pf8bit: {
        unsigned index = readIndex(row, x, format);
        if (index >= palette.size()) return 0;
        const TPaletteEntry& e = palette[index];
        return RGBColor(e.peRed, e.peGreen, e.peBlue);
    }
    case pf15bit: {
        unsigned w = row[2 * x] | (row[2 * x + 1] << 8);
        return RGBColor(expand5((w >> 10) & 31), expand5((w >> 5) & 31), expand5(w & 31));
    }
    case pf16bit: {
        unsigned w = row[2 * x] | (row[2 * x + 1] << 8);
        return RGBColor(expand5((w >> 11) & 31), expand6((w >> 5) & 63), expand5(w & 31));
    }
    case pf32bit: return RGBColor(row[4 * x + 2], row[4 * x + 1], row[4 * x]);
    default: return RGBColor(row[3 * x + 2], row[3 * x + 1], row[3 * x]);
    }
}

}  // namespace

// --- class references ----------------------------------------------------------------

bool InheritsFrom(TGraphicClass cls, TGraphicClass ancestor)
{
    for (; cls != nullptr; cls = cls->Parent)
        if (cls == ancestor) return true;
    return false;
}

TGraphicClass TGraphic::StaticClass()
{
    static const TGraphicClassRec rec{"TGraphic", nullptr, nullptr, nullptr};
    return &rec;
}

void TGraphic::LoadFromFile(const std::string& fileName)
{
    TFileStream stream(fileName, FileMode::OpenRead);
    LoadFromStream(stream);
}

void TGraphic::SaveToFile(const std::string& fileName)
{
    TFileStream stream(fileName, FileMode::Create);
    SaveToStream(stream);
}

void TGraphic::SaveToStream(TStream&)
{
    throw EInvalidGraphic(std::string("Cannot save a picture of class ") + ClassType()->ClassName + ".");
}

void TGraphic::Assign(const TGraphic& source)
{
    throw EConvertError(std::string("Cannot assign a ") + source.ClassType()->ClassName + " to a " +
                        ClassType()->ClassName + ".");
}

// --- TBitmap -------------------------------------------------------------------------

TBitmap::TBitmap(TBitmap&& other) noexcept { *this = std::move(other); }

TBitmap& TBitmap::operator=(TBitmap&& other) noexcept
{
    if (this == &other) return *this;
    TGraphic::operator=(std::move(other));
    TransparentColor = other.TransparentColor;
    width_ = std::exchange(other.width_, 0);
    height_ = std::exchange(other.height_, 0);
    format_ = std::exchange(other.format_, pf24bit);
    stride_ = std::exchange(other.stride_, 0);
    pixels_ = std::exchange(other.pixels_, {});
    palette_ = std::exchange(other.palette_, {});
    return *this;
}

std::size_t TBitmap::BytesPerScanLineFor(int width, TPixelFormat format)
{
    if (width <= 0) return 0;
    std::size_t bytes = CheckedRowBytes(std::uint64_t(width), std::uint64_t(BitsPerPixelOf(format)));
    return (bytes + 3) & ~std::size_t(3);
}

void TBitmap::reallocate(int width, int height, TPixelFormat format)
{
    width = std::max(width, 0);
    height = std::max(height, 0);
    std::size_t stride = BytesPerScanLineFor(width, format);
    CheckedPixelCount(std::uint64_t(width), std::uint64_t(height));
    std::size_t total = width == 0 ? 0 : CheckedBufferBytes(stride, std::uint64_t(height));
    TZeroedBytes pixels(total);
    if (format == format_) {
        // Keep the pixels that still fit.
        std::size_t rowBytes = (std::size_t(std::min(width, width_)) * BitsPerPixelOf(format) + 7) / 8;
        int rows = std::min(height, height_);
        for (int y = 0; y < rows && rowBytes > 0; ++y)
            std::memcpy(pixels.data() + std::size_t(y) * stride, pixels_.data() + std::size_t(y) * stride_, rowBytes);
    }
    pixels_ = std::move(pixels);
    stride_ = stride;
    width_ = width;
    height_ = height;
    format_ = format;
}

void TBitmap::SetSize(int width, int height)
{
    width = std::max(width, 0);
    height = std::max(height, 0);
    if (width == width_ && height == height_) return;
    reallocate(width, height, format_);
}

void TBitmap::SetPixelFormat(TPixelFormat format)
{
    if (format == pfCustom) throw EInvalidGraphic("Cannot set a custom pixel format.");
    if (format == pfDevice) format = pf24bit;
    if (format == format_) return;
    if (isIndexed(format) && palette_.empty()) palette_ = defaultPalette(format);
    TBitmap converted;
    converted.format_ = format;
    converted.palette_ = palette_;
    converted.reallocate(width_, height_, format);
    bool keepIndices = isIndexed(format_) && isIndexed(format) && BitsPerPixelOf(format) >= BitsPerPixelOf(format_);
    std::size_t trueColourBytes = format == pf24bit ? 3 : format == pf32bit ? 4 : 0;
    for (int y = 0; y < height_; ++y) {
        const std::uint8_t* from = ScanLine(y);
        std::uint8_t* to = converted.ScanLine(y);
        for (int x = 0; x < width_; ++x) {
            if (keepIndices) {
                writeIndex(to, x, format, readIndex(from, x, format_));
            } else if (trueColourBytes != 0) {
                TColor c = colourAt(from, x, format_, palette_);
                std::uint8_t* p = to + std::size_t(x) * trueColourBytes;
                p[0] = BlueOf(c);
                p[1] = GreenOf(c);
                p[2] = RedOf(c);
            } else {
                converted.SetPixelColor(x, y, colourAt(from, x, format_, palette_));
            }
        }
    }
    pixels_ = std::move(converted.pixels_);
    stride_ = converted.stride_;
    format_ = format;
}

std::uint8_t* TBitmap::ScanLine(int row)
{
    if (row < 0 || row >= height_) throw EInvalidGraphic("Scan line index out of range");
    return pixels_.data() + std::size_t(row) * stride_;
}

const std::uint8_t* TBitmap::ScanLine(int row) const { return const_cast<TBitmap*>(this)->ScanLine(row); }

std::span<std::uint8_t> TBitmap::ScanLineSpan(int row) { return {ScanLine(row), stride_}; }

std::span<const std::uint8_t> TBitmap::ScanLineSpan(int row) const { return {ScanLine(row), stride_}; }

void TBitmap::SetPalette(const TLogPalette& palette) { SetPaletteEntries(palette.Entries); }

void TBitmap::SetPaletteEntries(std::vector<TPaletteEntry> entries)
{
    if (entries.size() > MaxPaletteEntries) entries.resize(MaxPaletteEntries);
    palette_ = std::move(entries);
}

TColor TBitmap::PixelColor(int x, int y) const
{
    if (x < 0 || x >= width_) return 0;
    return colourAt(ScanLine(y), x, format_, palette_);
}

void TBitmap::SetPixelColor(int x, int y, TColor color)
{
    if (x < 0 || x >= width_) return;
    std::uint8_t* row = ScanLine(y);
    switch (format_) {
    case pf1bit:
    case pf4bit:
    case pf8bit: {
        std::size_t limit = std::size_t(1) << BitsPerPixelOf(format_);
        writeIndex(row, x, format_, unsigned(nearestEntry(palette_, limit, color)));
        break;
    }
    case pf15bit: {
        unsigned w = ((RedOf(color) >> 3) << 10) | ((GreenOf(color) >> 3) << 5) | (BlueOf(color) >> 3);
        row[2 * x] = std::uint8_t(w);
        row[2 * x + 1] = std::uint8_t(w >> 8);
        break;
    }
    case pf16bit: {
        unsigned w = ((RedOf(color) >> 3) << 11) | ((GreenOf(color) >> 2) << 5) | (BlueOf(color) >> 3);
        row[2 * x] = std::uint8_t(w);
        row[2 * x + 1] = std::uint8_t(w >> 8);
        break;
    }
    case pf32bit:
        row[4 * x] = BlueOf(color);
        row[4 * x + 1] = GreenOf(color);
        row[4 * x + 2] = RedOf(color);
        break;
    default:
        row[3 * x] = BlueOf(color);
        row[3 * x + 1] = GreenOf(color);
        row[3 * x + 2] = RedOf(color);
    }
}

void TBitmap::FillColor(TColor color)
{
    if (Empty()) return;
    // Fill the first row pixel by pixel, then copy it.
    for (int x = 0; x < width_; ++x) SetPixelColor(x, 0, color);
    for (int y = 1; y < height_; ++y) std::memcpy(ScanLine(y), ScanLine(0), stride_);
}

void TBitmap::ReleaseImage() { reallocate(0, 0, format_); }

void TBitmap::Assign(const TGraphic& source)
{
    if (const auto* bitmap = dynamic_cast<const TBitmap*>(&source)) {
        if (bitmap == this) return;
        width_ = bitmap->width_;
        height_ = bitmap->height_;
        format_ = bitmap->format_;
        stride_ = bitmap->stride_;
        pixels_ = bitmap->pixels_;
        palette_ = bitmap->palette_;
        TransparentColor = bitmap->TransparentColor;
        Transparent = bitmap->Transparent;
        return;
    }
    std::unique_ptr<TBitmap> rendered = source.RenderBitmap();
    Assign(*rendered);
}

// The bitmap itself reads no files: BMP files go through the image-format
// library's bitmap class, which the picture registry gives out for them.
void TBitmap::LoadFromStream(TStream&)
{
    throw EInvalidGraphic(std::string("Cannot load a picture of class ") + ClassType()->ClassName + ".");
}

std::unique_ptr<TBitmap> TBitmap::RenderBitmap() const
{
    auto copy = std::make_unique<TBitmap>();
    copy->Assign(*this);
    return copy;
}

// --- TPicture ------------------------------------------------------------------------

namespace {

std::string withoutDot(const std::string& extension)
{
    return !extension.empty() && extension[0] == '.' ? extension.substr(1) : extension;
}

// Most recent registration first.
std::vector<TPictureFileFormat>& pictureRegistry()
{
    static std::vector<TPictureFileFormat> registry = [] {
        std::vector<TPictureFileFormat> r;
        r.push_back({"jpg", "JPEG Image File", TJPEGImage::StaticClass()});
        r.push_back({"jpeg", "JPEG Image File", TJPEGImage::StaticClass()});
        r.push_back({"emf", "Enhanced Metafiles", TMetafile::StaticClass()});
        r.push_back({"wmf", "Metafiles", TMetafile::StaticClass()});
        r.push_back({"ico", "Icons", TIcon::StaticClass()});
        return r;
    }();
    return registry;
}

const TPictureFileFormat* findFormat(const std::string& extension)
{
    std::string wanted = AsciiLower(withoutDot(extension));
    if (wanted.empty()) return nullptr;
    for (const TPictureFileFormat& f : pictureRegistry())
        if (AsciiLower(f.Extension) == wanted) return &f;
    return nullptr;
}

}  // namespace

namespace {

std::string rawExtension(const std::string& fileName)
{
    std::size_t slash = fileName.find_last_of('/');
    std::size_t dot = fileName.find_last_of('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return "";
    return fileName.substr(dot + 1);
}

}  // namespace

std::string ExtensionOf(const std::string& fileName) { return AsciiLower(rawExtension(fileName)); }

void TPicture::RegisterFileFormat(const std::string& extension, const std::string& description,
                                  TGraphicClass graphicClass)
{
    auto& registry = pictureRegistry();
    registry.insert(registry.begin(), {withoutDot(extension), description, graphicClass});
}

void TPicture::UnregisterGraphicClass(TGraphicClass graphicClass)
{
    auto& registry = pictureRegistry();
    std::erase_if(registry, [&](const TPictureFileFormat& f) { return f.GraphicClass == graphicClass; });
}

std::vector<TPictureFileFormat> TPicture::FileFormats() { return pictureRegistry(); }

TGraphicClass TPicture::FindGraphicClass(const std::string& extension)
{
    const TPictureFileFormat* f = findFormat(extension);
    return f ? f->GraphicClass : nullptr;
}

std::string TPicture::FileFormatDescription(const std::string& extension)
{
    const TPictureFileFormat* f = findFormat(extension);
    return f ? f->Description : std::string();
}

void TPicture::SetGraphic(std::unique_ptr<TGraphic> graphic) { graphic_ = std::move(graphic); }

TBitmap& TPicture::Bitmap()
{
    if (auto* bitmap = dynamic_cast<TBitmap*>(graphic_.get())) return *bitmap;
    std::unique_ptr<TBitmap> bitmap = graphic_ ? graphic_->RenderBitmap() : std::make_unique<TBitmap>();
    TBitmap& result = *bitmap;
    graphic_ = std::move(bitmap);
    return result;
}

namespace {

// A graphic of the class registered for extension, loading the way picture
// asks; an unknown extension is named as shown in the error.
std::unique_ptr<TGraphic> newGraphicFor(const TPicture& picture, const std::string& extension, const std::string& shown)
{
    TGraphicClass cls = TPicture::FindGraphicClass(extension);
    if (cls == nullptr || cls->Create == nullptr)
        throw EInvalidGraphic("Unknown picture file extension (." + shown + ")");
    std::unique_ptr<TGraphic> graphic = cls->Create();
    if (picture.OnProgress) graphic->OnProgress = picture.OnProgress;
    graphic->RefuseCutData = picture.RefuseCutData;
    return graphic;
}

}  // namespace

void TPicture::LoadFromStream(TStream& stream, const std::string& extension)
{
    std::unique_ptr<TGraphic> graphic = newGraphicFor(*this, extension, withoutDot(extension));
    graphic->LoadFromStream(stream);
    graphic_ = std::move(graphic);
}

void TPicture::LoadFromFile(const std::string& fileName)
{
    const std::string extension = rawExtension(fileName);
    std::unique_ptr<TGraphic> graphic = newGraphicFor(*this, extension, extension);
    graphic->LoadFromFile(fileName);
    graphic_ = std::move(graphic);
}

void TPicture::SaveToFile(const std::string& fileName)
{
    if (graphic_) graphic_->SaveToFile(fileName);
}
