// Alias/Wavefront RLA loader: files of our own writer (RGB and RGB with
// matte, bottom-up and top-down, 8 and 16 bits), gamma applied as the header
// says, and a table of hostile files.

#include "formats/ImageFormatsRla.h"
#include "LoaderCorpusSupport.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

using namespace corpus;

namespace {

void put16(Bytes& out, std::size_t at, std::uint32_t v)
{
    out[at] = std::uint8_t(v >> 8);
    out[at + 1] = std::uint8_t(v);
}

// RLA run-length of one channel row: runs of two or more as run packets
// (count - 1, value), the rest as literals (-count, bytes).
Bytes rlaPack(const Bytes& row)
{
    return PackRuns(
        row.data(), row.size(), 2, 128, [](std::size_t n) { return std::uint8_t(n - 1); },
        [](std::size_t n) { return std::uint8_t(256 - n); });
}

// An RLA file of our own. Channel rows are given per stored row (the
// first stored row is the bottom one when bottom < top).
struct RlaFile {
    std::int16_t left = 0, right = 0, bottom = 0, top = 0;
    std::uint16_t colourChannels = 3, matteChannels = 0, bits = 8, revision = 0xFFFE;
    std::string gamma, space = "rgb";
    std::vector<std::vector<Bytes>> rows;    // stored row, channel: unpacked bytes
    std::vector<std::vector<Bytes>> packed;  // replaces the packed rows when not empty

    Bytes build() const
    {
        Bytes out(740, 0);
        for (std::size_t at : {0u, 8u}) {
            put16(out, at, std::uint16_t(left));
            put16(out, at + 2, std::uint16_t(right));
            put16(out, at + 4, std::uint16_t(bottom));
            put16(out, at + 6, std::uint16_t(top));
        }
        put16(out, 20, colourChannels);
        put16(out, 22, matteChannels);
        put16(out, 26, revision);
        std::memcpy(out.data() + 28, gamma.data(), std::min<std::size_t>(gamma.size(), 16));
        std::memcpy(out.data() + 580, space.data(), std::min<std::size_t>(space.size(), 32));
        put16(out, 658, bits);
        put16(out, 662, bits);
        std::vector<std::vector<Bytes>> data = packed;
        if (data.empty())
            for (const auto& row : rows) {
                data.emplace_back();
                for (const Bytes& channel : row) data.back().push_back(rlaPack(channel));
            }
        const std::size_t table = out.size();
        out.resize(table + 4 * data.size(), 0);
        for (std::size_t i = 0; i < data.size(); ++i) {
            const std::uint32_t offset = std::uint32_t(out.size());
            for (int b = 0; b < 4; ++b) out[table + 4 * i + b] = std::uint8_t(offset >> (24 - 8 * b));
            for (const Bytes& channel : data[i]) {
                out.push_back(std::uint8_t(channel.size() >> 8));
                out.push_back(std::uint8_t(channel.size()));
                out.insert(out.end(), channel.begin(), channel.end());
            }
        }
        return out;
    }
};

// The picture as an RLA file, stored bottom row first (bottom 0, top h - 1)
// or top row first; alpha gives a matte channel.
RlaFile rlaOf(const RgbImage& image, bool bottomUp, bool alpha)
{
    RlaFile f;
    f.right = std::int16_t(image.Width - 1);
    f.bottom = bottomUp ? 0 : std::int16_t(image.Height - 1);
    f.top = bottomUp ? std::int16_t(image.Height - 1) : 0;
    f.matteChannels = alpha ? 1 : 0;
    for (int i = 0; i < image.Height; ++i) {
        const int y = bottomUp ? image.Height - 1 - i : i;
        std::vector<Bytes> channels(alpha ? 4 : 3);
        for (int x = 0; x < image.Width; ++x) {
            for (int c = 0; c < 3; ++c) channels[c].push_back(image.pixel(x, y)[c]);
            if (alpha) channels[3].push_back(std::uint8_t(x * 255 / image.Width));
        }
        f.rows.push_back(channels);
    }
    return f;
}

// ImageMagick 6.9 here refuses every RLA file (its reader reports even a
// 1 x 1 file as corrupt), so our files are checked against the picture our
// own writer stored.
TEST(RlaLoader, DecodesWhatOurWriterStored)
{
    const RgbImage pattern = MakePattern(61, 37);
    for (bool alpha : {false, true}) {
        SCOPED_TRACE(alpha ? "with matte" : "without matte");
        const std::string file = ScratchPath(alpha ? "matte.rla" : "plain.rla");
        WriteFileBytes(file, rlaOf(pattern, true, alpha).build());
        TRLAGraphic loaded;
        loaded.LoadFromFile(file);
        EXPECT_EQ(loaded.PixelFormat(), alpha ? pf32bit : pf24bit);
        EXPECT_TRUE(loaded.ImageProperties.BottomUp);
        EXPECT_EQ(Compare(pattern, ToRgb(loaded)), "");
        if (alpha) {
            EXPECT_EQ(loaded.ScanLine(0)[4 * 60 + 3], 60 * 255 / 61);
        }
    }
    // Top row first (bottom above top): the first stored row is the top scan line.
    TRLAGraphic topDown;
    ASSERT_EQ(LoadError<TRLAGraphic>(rlaOf(pattern, false, false).build(), &topDown), "");
    EXPECT_FALSE(topDown.ImageProperties.BottomUp);
    EXPECT_EQ(Compare(pattern, ToRgb(topDown)), "");
}

TEST(RlaLoader, GammaAndHeaderFacts)
{
    const RgbImage ramp = [] {
        RgbImage r{256, 1, {}};
        for (int v = 0; v < 256; ++v) r.Rgb.insert(r.Rgb.end(), 3, std::uint8_t(v));
        return r;
    }();
    RlaFile file = rlaOf(ramp, true, false);
    file.gamma = "2.2";
    TRLAGraphic corrected;
    ASSERT_EQ(LoadError<TRLAGraphic>(file.build(), &corrected), "");
    EXPECT_FLOAT_EQ(corrected.ImageProperties.FileGamma, 2.2f);
    EXPECT_TRUE(corrected.ImageProperties.Options & GammaAppliedOption);
    for (int v = 0; v < 256; ++v) {
        const double exponent = 1.0 / (double(2.2f) * double(2.2f));
        const int expected = int(std::nearbyint(std::pow(v / 255.0, exponent) * 255));
        ASSERT_EQ(corrected.ScanLine(0)[3 * v], expected) << v;
    }
    for (const char* text : {"", "n/a", "inf", "2.2x"}) {
        file.gamma = text;
        TRLAGraphic plain;
        ASSERT_EQ(LoadError<TRLAGraphic>(file.build(), &plain), "");
        EXPECT_FLOAT_EQ(plain.ImageProperties.FileGamma, 1.0f) << text;
        EXPECT_FALSE(plain.ImageProperties.Options & GammaAppliedOption) << text;
        EXPECT_EQ(plain.ScanLine(0)[3 * 100], 100) << text;
    }
    EXPECT_FLOAT_EQ(TRLAGraphic::ParseGamma(" 1.7  "), 1.7f);

    // "xyz" passes the stream test but loads nothing; the test wants a
    // revision of 0xFFFE and more than the header.
    RlaFile xyz = file;
    xyz.space = "XYZ";
    Bytes xyzBytes = xyz.build();
    EXPECT_TRUE(Recognised<TRLAGraphic>(xyzBytes));
    TRLAGraphic empty;
    EXPECT_EQ(LoadError<TRLAGraphic>(xyzBytes, &empty), "");
    EXPECT_TRUE(empty.Empty());
    EXPECT_FALSE(Recognised<TRLAGraphic>(With(file, [](RlaFile& f) { f.revision = 0xFFFD; }).build()));
    const Bytes whole = file.build();
    EXPECT_FALSE(Recognised<TRLAGraphic>(Bytes(whole.begin(), whole.begin() + 740)));

    // 16-bit channels: words high byte first, reduced to 8 bits.
    RlaFile deep;
    deep.right = 1;
    deep.bits = 16;
    deep.rows = {{{0xFF, 0xFF, 0x80, 0x00}, {0, 0, 0, 0}, {0x00, 0xFF, 0x12, 0x34}}};
    TRLAGraphic sixteen;
    ASSERT_EQ(LoadError<TRLAGraphic>(deep.build(), &sixteen), "");
    EXPECT_EQ(Bytes(sixteen.ScanLine(0), sixteen.ScanLine(0) + 6), (Bytes{0, 0, 255, 0x12, 0, 127}));
}

TEST(RlaLoader, HostileFiles)
{
    const std::string shortData = "Stream read error in RLA file.";
    const std::string size = "Cannot load image. Image size in RLA file is invalid.";
    const RgbImage small = MakePattern(5, 3);
    const RlaFile good = rlaOf(small, true, false);
    const std::string colours = "Invalid color format in RLA file.";
    auto with = [&](auto change) { return With(good, change).build(); };
    ExpectRefused<TRLAGraphic>({
        {"four colour channels", with([](RlaFile& f) { f.colourChannels = 4; }), colours},
        {"one colour channel", with([](RlaFile& f) { f.colourChannels = 1; }), colours},
        {"two matte channels", with([](RlaFile& f) { f.matteChannels = 2; }), colours},
        {"a thousand channels", with([](RlaFile& f) { f.colourChannels = 1000; }), colours},
        {"4-bit channels", with([](RlaFile& f) { f.bits = 4; }), colours},
        {"12-bit channels", with([](RlaFile& f) { f.bits = 12; }), colours},
        {"unknown colour space", with([](RlaFile& f) { f.space = "cmy"; }), colours},
        {"right left of left", with([](RlaFile& f) { f.right = -5; }), size},
        {"a table longer than the file", with([](RlaFile& f) { f.right = f.top = 16000; }), shortData},
        {"offset past the end", With(good.build(), [](Bytes& b) { b[740] = 0x7F; }), shortData},
        {"channel length past the end", With(good.build(), [](Bytes& b) { b.resize(b.size() - 3); }), shortData},
        {"channel row too short", with([](RlaFile& f) {
             f.packed.assign(3, std::vector<Bytes>(3, Bytes{0x04, 9}));
             f.packed[1][2] = Bytes{0x02, 9};
         }),
         shortData},
        // A big picture whose table fits in the file but whose rows could not fill it.
        {"a big picture from a small file",
         With(With(good,
                   [](RlaFile& f) {
                       f.right = 29999;
                       f.top = 2999;
                   })
                  .build(),
              [](Bytes& b) { b.resize(740 + 4 * 3000, 0); }),
         size},
    });

    // A run longer than its row keeps what fits.
    RlaFile overrun = good;
    overrun.rows.clear();
    overrun.packed.assign(3, std::vector<Bytes>(3, Bytes{0x7F, 9}));
    TRLAGraphic cut;
    ASSERT_EQ(LoadError<TRLAGraphic>(overrun.build(), &cut), "");
    EXPECT_EQ(cut.ScanLine(2)[14], 9);
}

}  // namespace
