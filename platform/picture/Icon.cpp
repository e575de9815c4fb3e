#include "platform/picture/Icon.h"

#include "platform/core/ByteOrder.h"
#include "platform/picture/Dib.h"

#include <algorithm>
#include <cstring>

const char* const MetafileNotSupportedText = "Cannot load image. Windows metafiles are not supported.";

namespace {

[[noreturn]] void invalidIcon() { throw EInvalidGraphic("Icon image is not valid"); }

}  // namespace

TIcon::TPngDecoder TIcon::PngDecoder;

// An icon file: a 6-byte header, 16-byte directory entries, and per entry a
// DIB whose height counts the colour image and the 1-bit mask below it, or a
// PNG file. PNG entries are decoded only when PngDecoder is set.
void TIcon::LoadFromStream(TStream& stream)
{
    std::int64_t available = stream.Remaining();
    if (available < 6) invalidIcon();
    // Icon files are small: read the whole file once, every entry is a span of it.
    std::vector<std::uint8_t> file(std::size_t(std::min<std::int64_t>(available, std::int64_t(1) << 31)));
    stream.ReadBuffer(file.data(), file.size());
    std::span<const std::uint8_t> all(file);
    unsigned reserved = GetLE16(&all[0]);
    unsigned type = GetLE16(&all[2]);
    unsigned count = GetLE16(&all[4]);
    if (reserved != 0 || (type != 1 && type != 2) || count == 0 || all.size() < 6 + 16 * std::size_t(count))
        invalidIcon();

    struct Candidate {
        std::span<const std::uint8_t> data;
        bool png = false;
        dib::Header header;  // for DIB entries
        std::int64_t width = 0, height = 0;
        int bitCount = 0;
    };
    Candidate best;
    bool found = false;
    bool sawPng = false;
    for (unsigned i = 0; i < count; ++i) {
        const std::uint8_t* e = all.data() + 6 + 16 * std::size_t(i);
        std::uint32_t size = GetLE32(e + 8);
        std::uint32_t offset = GetLE32(e + 12);
        if (size < 40 || std::uint64_t(offset) + size > all.size()) continue;
        Candidate c;
        c.data = all.subspan(offset, size);
        if (c.data[0] == 0x89 && c.data[1] == 'P' && c.data[2] == 'N' && c.data[3] == 'G') {
            sawPng = true;
            if (!PngDecoder) continue;
            c.png = true;
            c.width = GetBE32(c.data.data() + 16);  // from the IHDR chunk
            c.height = GetBE32(c.data.data() + 20);
            c.bitCount = 32;
        } else {
            try {
                c.header = dib::parseIconHeader(c.data);
            } catch (const EInvalidGraphic&) {
                continue;
            }
            c.width = c.header.width;
            c.height = c.header.height;
            c.bitCount = c.header.bitCount;
        }
        bool better =
            !found || (c.width * c.height != best.width * best.height ? c.width * c.height > best.width * best.height
                                                                      : c.bitCount > best.bitCount);
        if (better) {
            best = c;
            found = true;
        }
    }
    if (!found) {
        if (sawPng) throw EInvalidGraphic("Cannot load image. PNG-compressed icons are not supported.");
        invalidIcon();
    }
    if (best.png) {
        std::unique_ptr<TBitmap> decoded = PngDecoder(best.data);
        if (!decoded) invalidIcon();
        if (decoded->PixelFormat() != pf32bit) {
            decoded->SetPixelFormat(pf32bit);
            for (int y = 0; y < decoded->Height(); ++y)
                for (int x = 0; x < decoded->Width(); ++x) decoded->ScanLine(y)[4 * x + 3] = 255;
        }
        image_ = std::move(*decoded);
        Transparent = true;
        return;
    }

    const dib::Header& header = best.header;
    std::span<const std::uint8_t> colourBits = best.data.subspan(header.bytesUsed);
    std::size_t colourStride = dib::storedStride(header.width, header.bitCount);
    std::size_t colourBytes = CheckedBufferBytes(colourStride, std::uint64_t(header.height));
    TBitmap colour;
    dib::decodePixels(header, colourBits, colour);
    // The AND mask follows the colour rows; some writers leave it out.
    std::size_t maskStride = dib::storedStride(header.width, 1);
    std::span<const std::uint8_t> mask;
    if (colourBits.size() >= colourBytes + maskStride * std::size_t(header.height))
        mask = colourBits.subspan(colourBytes, maskStride * std::size_t(header.height));

    TBitmap image;
    image.SetPixelFormat(pf32bit);
    image.SetSize(header.width, header.height);
    bool anyAlpha = false;
    if (header.bitCount == 32)
        for (int y = 0; y < header.height && !anyAlpha; ++y)
            for (int x = 0; x < header.width; ++x)
                if (colour.ScanLine(y)[4 * x + 3] != 0) {
                    anyAlpha = true;
                    break;
                }
    for (int y = 0; y < header.height; ++y) {
        std::uint8_t* to = image.ScanLine(y);
        const std::uint8_t* maskRow =
            mask.empty() ? nullptr : mask.data() + std::size_t(header.height - 1 - y) * maskStride;
        for (int x = 0; x < header.width; ++x) {
            TColor c = colour.PixelColor(x, y);
            std::uint8_t a;
            if (anyAlpha)
                a = colour.ScanLine(y)[4 * x + 3];
            else
                a = (maskRow && (maskRow[x >> 3] & (0x80 >> (x & 7)))) ? 0 : 255;
            if (!anyAlpha && a == 0) c = 0;
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
            for (int c = 0; c < 3; ++c) to[3 * x + c] = std::uint8_t((from[4 * x + c] * a + 127) / 255);
        }
    }
    return out;
}

void TMetafile::LoadFromStream(TStream&) { throw EInvalidGraphic(MetafileNotSupportedText); }

std::unique_ptr<TBitmap> TMetafile::RenderBitmap() const { return std::make_unique<TBitmap>(); }
