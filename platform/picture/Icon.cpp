#include "platform/picture/Icon.h"

#include "platform/picture/Dib.h"

#include <algorithm>
#include <cstring>

const char* const MetafileNotSupportedText = "Cannot load image. Windows metafiles are not supported.";

namespace {

[[noreturn]] void invalidIcon() { throw EInvalidGraphic("Icon image is not valid"); }

struct DirectoryEntry {
    int width;
    int height;
    int bitCount;
    std::uint32_t size;
    std::uint32_t offset;
};

} // namespace

// An icon file: a 6-byte header, 16-byte directory entries, and per entry a
// DIB whose height counts the colour image and the 1-bit mask below it. Icons
// whose image is PNG-compressed are passed over when a DIB one exists.
void TIcon::LoadFromStream(TStream& stream)
{
    std::int64_t start = stream.Position();
    std::int64_t available = stream.Size() - start;
    std::uint8_t header[6];
    if (available < 6 || stream.Read(header, 6) != 6)
        invalidIcon();
    unsigned reserved = header[0] | (header[1] << 8);
    unsigned type = header[2] | (header[3] << 8);
    unsigned count = header[4] | (header[5] << 8);
    if (reserved != 0 || (type != 1 && type != 2) || count == 0 || available < 6 + 16 * std::int64_t(count))
        invalidIcon();

    std::vector<std::uint8_t> directory(16 * std::size_t(count));
    stream.ReadBuffer(directory.data(), directory.size());
    std::vector<std::uint8_t> candidate;
    dib::Header best;
    bool found = false;
    bool sawPng = false;
    for (unsigned i = 0; i < count; ++i) {
        const std::uint8_t* e = directory.data() + 16 * i;
        std::uint32_t size = std::uint32_t(e[8]) | (std::uint32_t(e[9]) << 8) | (std::uint32_t(e[10]) << 16) |
                             (std::uint32_t(e[11]) << 24);
        std::uint32_t offset = std::uint32_t(e[12]) | (std::uint32_t(e[13]) << 8) | (std::uint32_t(e[14]) << 16) |
                               (std::uint32_t(e[15]) << 24);
        if (size < 40 || std::int64_t(offset) + std::int64_t(size) > available)
            continue;
        std::vector<std::uint8_t> data(size);
        stream.SetPosition(start + offset);
        stream.ReadBuffer(data.data(), data.size());
        if (data[0] == 0x89 && data[1] == 'P' && data[2] == 'N' && data[3] == 'G') {
            sawPng = true;
            continue;
        }
        dib::Header h;
        try {
            h = dib::parseHeader(data, true);
        } catch (const EInvalidGraphic&) {
            continue;
        }
        if (h.compression != dib::BI_RGB)
            continue;
        auto better = [](const dib::Header& a, const dib::Header& b) {
            std::int64_t areaA = std::int64_t(a.width) * a.height, areaB = std::int64_t(b.width) * b.height;
            return areaA != areaB ? areaA > areaB : a.bitCount > b.bitCount;
        };
        if (!found || better(h, best)) {
            best = h;
            candidate = std::move(data);
            found = true;
        }
    }
    if (!found) {
        if (sawPng)
            throw EInvalidGraphic("Cannot load image. PNG-compressed icons are not supported.");
        invalidIcon();
    }

    std::span<const std::uint8_t> all(candidate);
    std::span<const std::uint8_t> colourBits = all.subspan(best.bytesUsed);
    std::size_t colourStride = dib::storedStride(best.width, best.bitCount);
    std::size_t colourBytes = CheckedImageBytes(colourStride, std::uint64_t(best.height), 1);
    TBitmap colour;
    dib::decodePixels(best, colourBits, colour);
    // The AND mask follows the colour rows; some writers leave it out.
    std::size_t maskStride = dib::storedStride(best.width, 1);
    std::span<const std::uint8_t> mask;
    if (colourBits.size() >= colourBytes + maskStride * std::size_t(best.height))
        mask = colourBits.subspan(colourBytes, maskStride * std::size_t(best.height));

    TBitmap image;
    image.SetPixelFormat(pf32bit);
    image.SetSize(best.width, best.height);
    bool anyAlpha = false;
    if (best.bitCount == 32)
        for (int y = 0; y < best.height && !anyAlpha; ++y)
            for (int x = 0; x < best.width; ++x)
                if (colour.ScanLine(y)[4 * x + 3] != 0) {
                    anyAlpha = true;
                    break;
                }
    for (int y = 0; y < best.height; ++y) {
        std::uint8_t* to = image.ScanLine(y);
        const std::uint8_t* maskRow =
            mask.empty() ? nullptr : mask.data() + std::size_t(best.height - 1 - y) * maskStride;
        for (int x = 0; x < best.width; ++x) {
            TColor c = colour.PixelColor(x, y);
            std::uint8_t a;
            if (anyAlpha)
                a = colour.ScanLine(y)[4 * x + 3];
            else
                a = (maskRow && (maskRow[x >> 3] & (0x80 >> (x & 7)))) ? 0 : 255;
            if (!anyAlpha && a == 0)
                c = 0;
            to[4 * x] = BlueOf(c);
            to[4 * x + 1] = GreenOf(c);
            to[4 * x + 2] = RedOf(c);
            to[4 * x + 3] = a;
        }
    }
    image_ = std::move(image);
    Transparent = true;
}

void TIcon::Assign(const TGraphic& source)
{
    if (const auto* icon = dynamic_cast<const TIcon*>(&source)) {
        image_ = icon->image_;
        Transparent = icon->Transparent;
        return;
    }
    TGraphic::Assign(source);
}

std::unique_ptr<TBitmap> TIcon::RenderBitmap() const
{
    auto out = std::make_unique<TBitmap>();
    out->SetPixelFormat(pf24bit);
    out->SetSize(image_.Width(), image_.Height());
    for (int y = 0; y < image_.Height(); ++y) {
        const std::uint8_t* from = image_.ScanLine(y);
        std::uint8_t* to = out->ScanLine(y);
        for (int x = 0; x < image_.Width(); ++x) {
            unsigned a = from[4 * x + 3];
            for (int c = 0; c < 3; ++c)
                to[3 * x + c] = std::uint8_t((from[4 * x + c] * a + 127) / 255);
        }
    }
    return out;
}

void TMetafile::LoadFromStream(TStream&) { throw EInvalidGraphic(MetafileNotSupportedText); }

std::unique_ptr<TBitmap> TMetafile::RenderBitmap() const { return std::make_unique<TBitmap>(); }
