// Paint Shop Pro loader: files of our own writer (major versions 3 and 5;
// uncompressed, run-length and deflate channels; 1-, 4- and 8-bit indexed,
// grey and 24-bit colour) decoded equal to the picture written, the layer
// walk, and a table of hostile files. No tool on this machine reads PSP
// files, so the writer's picture is the reference; 4-bit rows are
// width div 2 + 1 bytes.

#include "formats/ImageFormatsPsp.h"
#include "LoaderCorpusSupport.h"

#include <gtest/gtest.h>

#include <bit>
#include <zlib.h>

using namespace corpus;

namespace {

void append(Bytes& out, const Bytes& more) { out.insert(out.end(), more.begin(), more.end()); }

// Run-length as the format codes it: h < 128 literal bytes, h >= 128 a
// byte repeated h - 128 times.
Bytes pspPack(const Bytes& data)
{
    return PackRuns(
        data.data(), data.size(), 3, 127, [](std::size_t n) { return std::uint8_t(128 + n); },
        [](std::size_t n) { return std::uint8_t(n); });
}

Bytes deflate(const Bytes& data)
{
    uLongf size = compressBound(uLong(data.size()));
    Bytes out(size);
    EXPECT_EQ(compress2(out.data(), &size, data.data(), uLong(data.size()), 9), Z_OK);
    out.resize(size);
    return out;
}

struct PspChannel {
    std::uint16_t type = 0;                // 0 composite, 1 red, 2 green, 3 blue
    Bytes data;                            // unpacked
    std::int64_t uncompressedLength = -1;  // as stored when not -1
    Bytes packed;                          // replaces the packed data when not empty
};

PspChannel channelOf(std::uint16_t type, Bytes data)
{
    PspChannel channel;
    channel.type = type;
    channel.data = std::move(data);
    return channel;
}

struct PspLayer {
    std::uint8_t kind = 1;  // the first information byte (version 3 files get kind - 1)
    std::vector<PspChannel> channels;
    std::int32_t channelCount = -1;  // as stored when not -1
};

// A Paint Shop Pro file of our own.
struct PspFile {
    std::uint16_t major = 5;
    std::uint32_t width = 0, height = 0;
    std::uint16_t bitDepth = 8, compression = 0;
    bool grey = false;
    double resolution = 72;
    std::uint8_t metric = 1;
    std::vector<std::uint32_t> palette;  // 0x00RRGGBB
    std::vector<PspLayer> layers;

    Bytes block(std::uint16_t id, const Bytes& data) const
    {
        Bytes out{'~', 'B', 'K', 0};
        PutLE16(out, id);
        if (major == 3) PutLE32(out, std::uint32_t(data.size()));
        PutLE32(out, std::uint32_t(data.size()));
        append(out, data);
        return out;
    }

    Bytes channelBlock(const PspChannel& c) const
    {
        Bytes packed = c.packed;
        if (packed.empty()) packed = compression == 1 ? pspPack(c.data) : compression == 2 ? deflate(c.data) : c.data;
        Bytes data;
        if (major >= 4) PutLE32(data, 16);
        PutLE32(data, std::uint32_t(packed.size()));
        PutLE32(data, std::uint32_t(c.uncompressedLength >= 0 ? c.uncompressedLength : c.data.size()));
        PutLE16(data, 0);
        PutLE16(data, c.type);
        append(data, packed);
        return block(5, data);
    }

    Bytes build() const
    {
        Bytes out(32, 0);
        const std::string signature = "Paint Shop Pro Image File\n\x1a";
        std::copy(signature.begin(), signature.end(), out.begin());
        PutLE16(out, major);
        PutLE16(out, 0);
        Bytes attributes;
        if (major >= 4) PutLE32(attributes, 46);
        PutLE32(attributes, width);
        PutLE32(attributes, height);
        const auto bits = std::bit_cast<std::uint64_t>(resolution);
        PutLE32(attributes, std::uint32_t(bits));
        PutLE32(attributes, std::uint32_t(bits >> 32));
        attributes.push_back(metric);
        PutLE16(attributes, compression);
        PutLE16(attributes, bitDepth);
        PutLE16(attributes, bitDepth == 24 ? 3 : 1);
        PutLE32(attributes, bitDepth >= 24 ? 1u << 24 : 1u << bitDepth);
        attributes.push_back(grey ? 1 : 0);
        PutLE32(attributes, 0);
        PutLE32(attributes, 0);
        PutLE16(attributes, std::uint16_t(layers.size()));
        PutLE32(attributes, 0);
        append(out, block(0, attributes));
        append(out, block(1, Bytes(20, 0xAB)));  // a block the loader skips
        if (!palette.empty()) {
            Bytes data;
            if (major >= 4) PutLE32(data, 8);
            PutLE32(data, std::uint32_t(palette.size()));
            for (std::uint32_t c : palette) PutLE32(data, c);
            append(out, block(2, data));
        }
        Bytes bank;
        for (const PspLayer& layer : layers) {
            Bytes data;
            Bytes info(115, 0);
            info[0] = major == 3 ? std::uint8_t(layer.kind - 1) : layer.kind;
            if (major == 3) {
                data.resize(256, 'n');
                append(data, info);
            } else {
                PutLE32(data, 4 + 2 + 5 + 115 + 3);  // three bytes of a later version's fields
                PutLE16(data, 5);
                append(data, Bytes{'L', 'a', 'y', 'e', 'r'});
                append(data, info);
                append(data, Bytes(3, 0xEE));
                PutLE32(data, 8);
            }
            PutLE16(data, 1);
            PutLE16(data, std::uint16_t(layer.channelCount >= 0 ? layer.channelCount : layer.channels.size()));
            for (const PspChannel& c : layer.channels) append(data, channelBlock(c));
            append(bank, block(4, data));
        }
        append(out, block(3, bank));
        return out;
    }
};

// Packs an RGB picture into the file: colour planes, or indices into its
// palette (exact for pictures of few colours) at the given depth.
PspFile pspOf(const RgbImage& image, std::uint16_t major, std::uint16_t compression, std::uint16_t depth,
              bool grey = false)
{
    PspFile f;
    f.major = major;
    f.width = image.Width;
    f.height = image.Height;
    f.compression = compression;
    f.bitDepth = depth;
    f.grey = grey;
    PspLayer layer;
    if (depth == 24) {
        for (std::uint16_t c = 0; c < 3; ++c) {
            PspChannel channel = channelOf(std::uint16_t(c + 1), {});
            for (int y = 0; y < image.Height; ++y)
                for (int x = 0; x < image.Width; ++x) channel.data.push_back(image.pixel(x, y)[c]);
            layer.channels.push_back(channel);
        }
    } else {
        const std::size_t rowBytes = depth == 1   ? (image.Width + 7) / 8
                                     : depth == 4 ? image.Width / 2 + 1
                                                  : image.Width;
        PspChannel channel = channelOf(0, Bytes(rowBytes * image.Height, 0));
        for (int y = 0; y < image.Height; ++y)
            for (int x = 0; x < image.Width; ++x) {
                const std::uint8_t* p = image.pixel(x, y);
                const std::uint32_t colour = std::uint32_t(p[0]) << 16 | p[1] << 8 | p[2];
                std::size_t index = 0;
                if (grey) {
                    index = p[0] * ((1u << depth) - 1) / 255;
                } else {
                    auto found = std::find(f.palette.begin(), f.palette.end(), colour);
                    index = std::size_t(found - f.palette.begin());
                    if (found == f.palette.end()) f.palette.push_back(colour);
                }
                const std::size_t bit = std::size_t(x) * depth;
                channel.data[y * rowBytes + bit / 8] |= std::uint8_t(index << (8 - depth - bit % 8));
            }
        layer.channels.push_back(channel);
    }
    f.layers = {PspLayer{2, {}}, layer};  // a layer that is not raster comes first
    return f;
}

TEST(PspLoader, DecodesWhatOurWriterStored)
{
    struct Kind {
        const char* name;
        std::uint16_t depth;
        int width, colours;
        bool grey;
        TPixelFormat format;
    };
    const Kind kinds[] = {
        {"rgb", 24, 61, 0, false, pf24bit},           {"indexed 8", 8, 61, 200, false, pf8bit},
        {"grey 8", 8, 61, 0, true, pf8bit},           {"indexed 4 odd", 4, 61, 16, false, pf4bit},
        {"indexed 4 even", 4, 60, 16, false, pf4bit}, {"bilevel", 1, 61, 2, false, pf1bit},
    };
    for (std::uint16_t major : {3, 5})
        for (std::uint16_t compression : {0, 1, 2})
            for (const Kind& kind : kinds) {
                SCOPED_TRACE(std::string(kind.name) + " version " + std::to_string(major) + " compression " +
                             std::to_string(compression));
                RgbImage picture = MakePattern(kind.width, 37, kind.colours);
                if (kind.grey)
                    for (std::size_t i = 0; i < picture.Rgb.size(); i += 3)
                        picture.Rgb[i + 1] = picture.Rgb[i + 2] = picture.Rgb[i];
                const PspFile file = pspOf(picture, major, compression, kind.depth, kind.grey);
                TPSPGraphic loaded;
                ASSERT_EQ(LoadError<TPSPGraphic>(file.build(), &loaded), "");
                EXPECT_EQ(loaded.PixelFormat(), kind.format);
                EXPECT_FALSE(loaded.DataIncomplete());
                EXPECT_EQ(loaded.ImageProperties.Version, major);
                EXPECT_EQ(Compare(picture, ToRgb(loaded)), "");
            }
}

TEST(PspLoader, LayersMasksAndHeaderFacts)
{
    const RgbImage picture = MakePattern(9, 4);
    // A mask channel beside red, green and blue: 32 bits, alpha 0.
    PspFile masked = pspOf(picture, 5, 1, 24);
    masked.layers[1].channels.push_back(channelOf(0, Bytes(36, 0xFF)));
    TPSPGraphic withMask;
    ASSERT_EQ(LoadError<TPSPGraphic>(masked.build(), &withMask), "");
    EXPECT_EQ(withMask.PixelFormat(), pf32bit);
    EXPECT_EQ(withMask.ScanLine(3)[4 * 8 + 3], 0);
    EXPECT_EQ(Compare(picture, ToRgb(withMask)), "");

    // Resolution per centimetre becomes dots per inch.
    PspFile metric = pspOf(picture, 5, 0, 24);
    metric.resolution = 100;
    metric.metric = 2;
    Bytes bytes = metric.build();
    TMemoryStream stream(bytes);
    TPSPGraphic facts;
    ASSERT_TRUE(facts.ReadImageProperties(stream, 0));
    EXPECT_FLOAT_EQ(facts.ImageProperties.XResolution, 254);
    EXPECT_FLOAT_EQ(facts.ImageProperties.YResolution, 254);
    EXPECT_EQ(facts.ImageProperties.Compression, ctNone);
    EXPECT_EQ(facts.ImageProperties.ColorScheme, csRGB);

    // No raster layer at all: a blank picture of the right size.
    PspFile none = pspOf(picture, 3, 0, 24);
    none.layers.resize(1);
    TPSPGraphic blank;
    ASSERT_EQ(LoadError<TPSPGraphic>(none.build(), &blank), "");
    EXPECT_EQ(blank.Width(), 9);
    EXPECT_EQ(blank.Height(), 4);

    // Signatures: any letter case, major version 3 and up.
    EXPECT_TRUE(Recognised<TPSPGraphic>(With(bytes, [](Bytes& b) { b[0] = 'p'; })));
    const Bytes old = With(bytes, [](Bytes& b) { b[32] = 2; });
    EXPECT_FALSE(Recognised<TPSPGraphic>(old));
    EXPECT_EQ(LoadError<TPSPGraphic>(old), "Cannot load image. Invalid or unexpected PSP image format.");
}

TEST(PspLoader, HostileFiles)
{
    const std::string colours = "Invalid color format in PSP file.";
    const std::string shortData = "Stream read error in PSP file.";
    const RgbImage picture = MakePattern(8, 4, 16);
    const PspFile good = pspOf(picture, 5, 1, 8);
    auto with = [&](auto change) { return With(good, change).build(); };
    // The palette entry count follows the palette block's header and chunk
    // length; the layers are cut off.
    Bytes hugePalette = good.build();
    const std::size_t at = std::string(hugePalette.begin(), hugePalette.end()).find(std::string("~BK\0\2\0", 6));
    ASSERT_NE(at, std::string::npos);
    std::fill(hugePalette.begin() + std::ptrdiff_t(at + 14), hugePalette.begin() + std::ptrdiff_t(at + 18), 0xFF);
    hugePalette.resize(at + 30);
    ExpectRefused<TPSPGraphic>({
        {"2-bit pictures", with([](PspFile& f) { f.bitDepth = 2; }), colours},
        {"16-bit pictures", with([](PspFile& f) { f.bitDepth = 16; }), colours},
        {"32-bit pictures", with([](PspFile& f) { f.bitDepth = 32; }), colours},
        {"0-bit pictures", with([](PspFile& f) { f.bitDepth = 0; }), colours},
        {"JPEG channels", with([](PspFile& f) { f.compression = 3; }),
         "Cannot load image. The compression scheme is not supported for PSP files."},
        {"width zero", with([](PspFile& f) { f.width = 0; }), "Cannot load image. Image size in PSP file is invalid."},
        {"beyond the pixel cap", with([](PspFile& f) { f.width = f.height = 1u << 20; }),
         "Cannot load image. The picture is too large."},
        {"a big picture from a small file", with([](PspFile& f) { f.width = f.height = 8000; }),
         "Cannot load image. Image size in PSP file is invalid."},
        {"corrupt deflate data", with([](PspFile& f) {
             f.compression = 2;
             f.layers[1].channels[0].packed = {0x78, 0x9C, 0xFF, 0xFF, 0xFF};
         }),
         "Cannot load image. Compression error found in PSP file."},
        {"more channels than blocks", with([](PspFile& f) { f.layers[1].channelCount = 65535; }), shortData},
        {"a palette of four billion entries", hugePalette, shortData},
    });

    // Channel sizes: a plane takes what the picture needs and no more,
    // whatever the channel claims; what it lacks stays zero, and a caller
    // that refuses cut pictures gets an error.
    struct Sizes {
        const char* name;
        std::int64_t uncompressed;
        std::size_t keep;  // bytes of unpacked data given
        std::uint16_t compression;
    };
    const Sizes sizes[] = {
        {"four gigabytes claimed, raw", 0xFFFFFFFF, 12, 0},
        {"four gigabytes claimed, run-length", 0xFFFFFFFF, 12, 1},
        {"shorter than the plane, deflate", 12, 32, 2},
        {"longer than the plane, run-length", 4000, 32, 1},
    };
    for (const Sizes& s : sizes) {
        SCOPED_TRACE(s.name);
        PspFile f = pspOf(picture, 5, s.compression, 8);
        PspChannel& channel = f.layers[1].channels[0];
        const Bytes whole = channel.data;
        channel.data.resize(s.keep);
        if (s.uncompressed == 4000) channel.data.resize(4000, 7);
        channel.uncompressedLength = s.uncompressed;
        TPSPGraphic loaded;
        ASSERT_EQ(LoadError<TPSPGraphic>(f.build(), &loaded), "");
        const bool cut = std::min<std::int64_t>(s.uncompressed, s.keep) < 32;
        EXPECT_EQ(loaded.DataIncomplete(), cut);
        for (int y = 0; y < 4; ++y)
            for (int x = 0; x < 8; ++x) {
                const std::size_t i = std::size_t(y) * 8 + x;
                const bool given = std::int64_t(i) < std::min<std::int64_t>(s.uncompressed, s.keep);
                ASSERT_EQ(loaded.ScanLine(y)[x], given ? whole[i] : 0) << x << "," << y;
            }
        TPSPGraphic refusing;
        refusing.RefuseCutData = true;
        EXPECT_EQ(LoadError<TPSPGraphic>(f.build(), &refusing), cut ? shortData : "");
    }
}

}  // namespace
