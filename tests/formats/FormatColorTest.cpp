#include "formats/FormatColor.h"
#include "formats/FormatStrings.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>
#include <vector>

using namespace FormatStrings;

namespace {

using Bytes = std::vector<std::uint8_t>;

// A converter set up from one description.
TColorManager manager(TColorScheme source, TColorScheme target, std::uint8_t sourceBits, std::uint8_t targetBits,
                      std::uint8_t sourceSamples, std::uint8_t targetSamples)
{
    TColorManager m;
    m.SetSourceColorScheme(source);
    m.SetTargetColorScheme(target);
    m.SetSourceBitsPerSample(sourceBits);
    m.SetTargetBitsPerSample(targetBits);
    m.SetSourceSamplesPerPixel(sourceSamples);
    m.SetTargetSamplesPerPixel(targetSamples);
    return m;
}

Bytes words(std::initializer_list<std::uint16_t> values)
{
    Bytes out(values.size() * 2);
    std::memcpy(out.data(), values.begin(), out.size());
    return out;
}

std::uint16_t wordAt(const Bytes& b, std::size_t index)
{
    std::uint16_t v;
    std::memcpy(&v, b.data() + 2 * index, 2);
    return v;
}

std::string messageOf(const std::function<void()>& action)
{
    try {
        action();
    } catch (const EColorConversionError& e) {
        return e.Message;
    }
    return "(no error)";
}

}  // namespace

TEST(ColorManager, DefaultsTurnRGBIntoBGRAndRGBToRGBCopies)
{
    TColorManager m;
    EXPECT_EQ(m.SourceColorScheme(), csRGB);
    EXPECT_EQ(m.TargetColorScheme(), csBGR);
    Bytes source = {1, 2, 3, 4, 5, 6};
    Bytes target(6);
    m.ConvertRow({source}, target, 2);
    EXPECT_EQ(target, (Bytes{3, 2, 1, 6, 5, 4}));
    m.SetTargetColorScheme(csRGB);
    m.ConvertRow({source}, target, 2);
    EXPECT_EQ(target, source);
    // BGR to RGB exchanges as well; BGR to BGR copies.
    m.SetSourceColorScheme(csBGR);
    m.ConvertRow({source}, target, 2);
    EXPECT_EQ(target, (Bytes{3, 2, 1, 6, 5, 4}));
}

TEST(ColorManager, MaskSelectsTargetPixelsAndSourceHoldsOnlySelectedOnes)
{
    TColorManager m = manager(csRGB, csRGB, 8, 8, 3, 3);
    Bytes source = {10, 10, 10, 20, 20, 20, 30, 30, 30, 40, 40, 40};
    Bytes target(24, 0xEE);
    m.ConvertRow({source}, target, 8, 0xAA);
    for (int pixel = 0; pixel < 8; ++pixel) {
        std::uint8_t expected = pixel % 2 == 0 ? std::uint8_t(10 * (pixel / 2 + 1)) : 0xEE;
        EXPECT_EQ(target[std::size_t(pixel) * 3], expected) << pixel;
    }
    // The pattern repeats every 8 pixels: 0x55 selects pixel 9 of a 10-pixel row.
    Bytes grey = {1, 2, 3, 4, 5};
    Bytes row(10, 0);
    TColorManager g = manager(csG, csG, 8, 8, 1, 1);
    g.ConvertRow({grey}, row, 10, 0x55);
    EXPECT_EQ(row, (Bytes{0, 1, 0, 2, 0, 3, 0, 4, 0, 5}));
}

TEST(ColorManager, PackedGreyCopiesEqualDepthsAndScalesOthers)
{
    TColorManager m = manager(csG, csG, 4, 4, 1, 1);
    Bytes source = {0x12, 0x3F, 0xAB};
    Bytes target(3, 0);
    m.ConvertRow({source}, target, 5);
    EXPECT_EQ(target, (Bytes{0x12, 0x3F, 0xAB}));  // one block of (5 × 4 + 7) div 8 = 3 bytes

    // To 1 bit only 15 gives 1: v × 1 div 15.
    m.SetTargetBitsPerSample(1);
    Bytes levels = {0x0F, 0xE7, 0xF0};  // 0, 15, 14, 7, 15, 0
    Bytes bits(1, 0);
    m.ConvertRow({levels}, bits, 6);
    EXPECT_EQ(bits[0], 0b01001000);

    // 1-bit indices to 8 bits, places counted from the row start under a mask.
    TColorManager up = manager(csIndexed, csIndexed, 1, 8, 1, 1);
    Bytes one = {0b10100000};
    Bytes wide(4, 9);
    up.ConvertRow({one}, wide, 4, 0x55);  // pixels 1 and 3 selected
    EXPECT_EQ(wide, (Bytes{9, 255, 9, 0}));
    // Target bits of unselected pixels are kept inside a shared byte.
    TColorManager keep = manager(csIndexed, csIndexed, 8, 4, 1, 1);
    Bytes indices = {0x07};
    Bytes nibbles = {0xAB};
    keep.ConvertRow({indices}, nibbles, 2, 0x40);
    EXPECT_EQ(nibbles[0], 0xA0 | 0x07 * 15 / 255);
}

TEST(ColorManager, SixteenBitIndexedAndGreySamples)
{
    // 16-bit copy with and without swapping.
    TColorManager copy = manager(csIndexed, csIndexed, 16, 16, 1, 1);
    Bytes src = words({0x1234, 0xABCD});
    Bytes dst(4);
    copy.ConvertRow({src}, dst, 2);
    EXPECT_EQ(dst, src);
    copy.SourceOptions = ByteSwapOption;
    copy.ConvertRow({src}, dst, 2);
    EXPECT_EQ(wordAt(dst, 0), 0x3412);
    // 16 bits to 4-bit packed: v × 15 div 65535.
    TColorManager down = manager(csIndexed, csIndexed, 16, 4, 1, 1);
    Bytes wide = words({65535, 4369, 4368});
    Bytes packed(2, 0);
    down.ConvertRow({wide}, packed, 3);
    EXPECT_EQ(packed[0], 0xF1);
    EXPECT_EQ(packed[1] >> 4, 0);
    // Packed 2-bit to 16: v × 65535 div 3.
    TColorManager up = manager(csIndexed, csIndexed, 2, 16, 1, 1);
    Bytes two = {0b11011000};
    Bytes out(8);
    up.ConvertRow({two}, out, 4);
    EXPECT_EQ(wordAt(out, 0), 65535);
    EXPECT_EQ(wordAt(out, 1), 21845);
    EXPECT_EQ(wordAt(out, 2), 43690);
    EXPECT_EQ(wordAt(out, 3), 0);
    // Grey 16 to 8 with the bytes stored big-endian; grey with alpha skips alpha.
    TColorManager grey = manager(csG, csG, 16, 8, 1, 1);
    grey.SourceOptions = ByteSwapOption;
    Bytes big = {0xFF, 0xFF, 0x80, 0x00};
    Bytes g8(2);
    grey.ConvertRow({big}, g8, 2);
    EXPECT_EQ(g8, (Bytes{255, 127}));
    TColorManager alpha = manager(csGA, csIndexed, 8, 8, 1, 1);
    Bytes ga = {10, 99, 20, 99};
    Bytes gi(2);
    alpha.ConvertRow({ga}, gi, 2);
    EXPECT_EQ(gi, (Bytes{10, 20}));
    TColorManager grey8to16 = manager(csG, csG, 8, 16, 1, 1);
    Bytes g16(4);
    grey8to16.ConvertRow({Bytes{2, 255}}, g16, 2);
    EXPECT_EQ(wordAt(g16, 0), 514);
    EXPECT_EQ(wordAt(g16, 1), 65535);
}

TEST(ColorManager, SixteenBitRGBPlanarSourcesAndAlpha)
{
    // 16-bit big-endian RGB to 8-bit BGR.
    TColorManager m = manager(csRGB, csBGR, 16, 8, 3, 3);
    m.SourceOptions = ByteSwapOption;
    Bytes src = {0xFF, 0xFF, 0x80, 0x00, 0x00, 0x00};
    Bytes dst(3);
    m.ConvertRow({src}, dst, 1);
    EXPECT_EQ(dst, (Bytes{0, 127, 255}));
    // 16 to 16 copies (swapped under ByteSwapOption), exchanging red and blue.
    m.SetTargetBitsPerSample(16);
    Bytes dst16(6);
    m.ConvertRow({src}, dst16, 1);
    EXPECT_EQ(wordAt(dst16, 0), 0);
    EXPECT_EQ(wordAt(dst16, 1), 0x8000);
    EXPECT_EQ(wordAt(dst16, 2), 0xFFFF);
    // 8-bit source to 16-bit target scales up.
    TColorManager up = manager(csRGB, csRGB, 8, 16, 3, 3);
    Bytes up16(6);
    up.ConvertRow({Bytes{1, 2, 3}}, up16, 1);
    EXPECT_EQ(wordAt(up16, 0), 257);
    EXPECT_EQ(wordAt(up16, 2), 771);

    // Planar: one plane per sample.
    TColorManager planar;
    Bytes r = {1, 4}, g = {2, 5}, b = {3, 6};
    Bytes out(6);
    planar.ConvertRow({r, g, b}, out, 2);
    EXPECT_EQ(out, (Bytes{3, 2, 1, 6, 5, 4}));

    // Alpha is carried only when both sides have it, never through gamma.
    TColorManager both = manager(csRGBA, csBGRA, 8, 8, 4, 4);
    both.TargetOptions = GammaOption;
    both.SetGamma(1.0f, 2.2f);
    Bytes rgba = {0, 255, 128, 77};
    Bytes bgra(4);
    both.ConvertRow({rgba}, bgra, 1);
    EXPECT_EQ(bgra[0], both.GammaTable()[128]);
    EXPECT_EQ(bgra[2], 0);
    EXPECT_EQ(bgra[1], 255);
    EXPECT_EQ(bgra[3], 77);
    EXPECT_NE(both.GammaTable()[128], 128);
    TColorManager dropAlpha = manager(csRGBA, csBGR, 8, 8, 4, 3);
    Bytes bgr(6);
    dropAlpha.ConvertRow({Bytes{1, 2, 3, 4, 5, 6, 7, 8}}, bgr, 2);
    EXPECT_EQ(bgr, (Bytes{3, 2, 1, 7, 6, 5}));
    TColorManager keepSlot = manager(csRGB, csBGRA, 8, 8, 3, 4);
    Bytes slot = {0, 0, 0, 0xCC};
    keepSlot.ConvertRow({Bytes{1, 2, 3}}, slot, 1);
    EXPECT_EQ(slot, (Bytes{3, 2, 1, 0xCC}));
    EXPECT_TRUE(keepSlot.TargetOptions & AlphaOption);
    EXPECT_FALSE(keepSlot.SourceOptions & AlphaOption);
}

TEST(ColorManager, CMYKLabAndYCbCrSources)
{
    TColorManager cmyk = manager(csCMYK, csBGR, 8, 8, 4, 3);
    Bytes out(6);
    cmyk.ConvertRow({Bytes{0, 0, 0, 0, 10, 200, 30, 255}}, out, 2);
    EXPECT_EQ(out, (Bytes{255, 255, 255, 0, 0, 0}));
    cmyk.ConvertRow({Bytes{255, 0, 128, 0}}, out, 1);
    EXPECT_EQ(out[0], 127);  // blue from yellow 128
    EXPECT_EQ(out[1], 255);
    EXPECT_EQ(out[2], 0);
    TColorManager cmyk16 = manager(csCMYK, csRGB, 16, 8, 4, 3);
    Bytes white(3), black(3);
    cmyk16.ConvertRow({words({0, 0, 0, 0})}, white, 1);
    cmyk16.ConvertRow({words({1000, 2000, 3000, 65535})}, black, 1);
    EXPECT_EQ(white, (Bytes{255, 255, 255}));
    EXPECT_EQ(black, (Bytes{0, 0, 0}));

    TColorManager lab = manager(csCIELab, csBGR, 8, 8, 3, 3);
    lab.SourceOptions = LabScaledLightnessOption | LabOffsetChromaOption;
    Bytes labOut(6);
    lab.ConvertRow({Bytes{255, 128, 128, 0, 128, 128}}, labOut, 2);
    EXPECT_EQ(labOut, (Bytes{255, 255, 255, 0, 0, 0}));
    // Without the offset a* and b* are signed bytes: 0 is neutral.
    lab.SourceOptions = LabScaledLightnessOption;
    lab.ConvertRow({Bytes{255, 0, 0}}, labOut, 1);
    EXPECT_EQ(labOut[0], 255);
    // The sRGB colour (124, 158, 204) is L* 64.24, a* -0.08, b* -27.29 under
    // the D65 white: back through f⁻¹, the sRGB matrix and the sRGB curve.
    lab.SourceOptions = LabScaledLightnessOption | LabOffsetChromaOption;
    lab.ConvertRow({Bytes{164, 128, 101}}, labOut, 1);
    for (int c = 0; c < 3; ++c) EXPECT_NEAR(labOut[c], (Bytes{204, 158, 124}[c]), 1) << c;
    TColorManager lab16 = manager(csCIELab, csRGB, 16, 8, 3, 3);
    lab16.SourceOptions = LabScaledLightnessOption | LabOffsetChromaOption;
    Bytes sky(3);
    lab16.ConvertRow({words({42099, 32875, 25881})}, sky, 1);
    EXPECT_EQ(sky, (Bytes{124, 158, 204}));
    // Signed 16-bit a* and b*, high byte first: a* -128 is green, b* +127 yellow.
    lab16.SourceOptions = LabScaledLightnessOption | ByteSwapOption;
    lab16.ConvertRow({words({0x0080, 0x0080, 0x007F})}, sky, 1);
    EXPECT_LT(sky[0], 100);
    EXPECT_GT(sky[1], 150);
    EXPECT_LT(sky[2], 100);

    TColorManager ycc = manager(csYCbCr, csBGR, 8, 8, 3, 3);
    Bytes grey(3);
    ycc.ConvertRow({Bytes{128, 128, 128}}, grey, 1);
    EXPECT_EQ(grey, (Bytes{128, 128, 128}));
    Bytes red(3);
    ycc.ConvertRow({Bytes{76, 85, 255}}, red, 1);  // pure red in BT.601
    EXPECT_GE(red[2], 253);
    EXPECT_LE(red[0], 2);
    TColorManager photo = manager(csPhotoYCC, csRGB, 8, 8, 3, 3);
    Bytes neutral(3);
    photo.ConvertRow({Bytes{100, 156, 137}}, neutral, 1);
    EXPECT_EQ(neutral, (Bytes{100, 100, 100}));
    // Both sides 16 bits: the fixed formula, neutral at Cb 40092 and Cr 35209.
    TColorManager wide = manager(csYCbCr, csRGB, 16, 16, 3, 3);
    Bytes wideOut(6);
    wide.ConvertRow({words({10000, 40092, 35209})}, wideOut, 1);
    EXPECT_EQ(wordAt(wideOut, 0), 13584);
    EXPECT_EQ(wordAt(wideOut, 1), 13584);
    EXPECT_EQ(wordAt(wideOut, 2), 13584);
}

TEST(ColorManager, RefusedCombinationsAndSetters)
{
    TColorManager greyToRGB = manager(csG, csBGR, 8, 8, 1, 3);
    Bytes t(3);
    EXPECT_EQ(messageOf([&] { greyToRGB.ConvertRow({Bytes{1}}, t, 1); }), gesIndexedNotSupported);
    EXPECT_TRUE(greyToRGB.Changed());
    TColorManager cmy = manager(csCMY, csBGR, 8, 8, 3, 3);
    EXPECT_EQ(messageOf([&] { cmy.ConvertRow({Bytes{1, 2, 3}}, t, 1); }), gesConversionUnsupported);
    EXPECT_EQ(messageOf([&] { cmy.ConvertRow({Bytes{1, 2, 3}}, t, 1); }), gesConversionUnsupported);

    TColorManager m;
    EXPECT_EQ(messageOf([&] { m.SetSourceBitsPerSample(0); }), gesInvalidSampleDepth);
    EXPECT_EQ(messageOf([&] { m.SetTargetBitsPerSample(17); }), gesInvalidSampleDepth);
    EXPECT_EQ(messageOf([&] { m.SetSourceSamplesPerPixel(5); }), gesInvalidPixelDepth);
    EXPECT_EQ(messageOf([&] { m.SetTargetSamplesPerPixel(0); }), gesInvalidPixelDepth);
    EXPECT_EQ(m.SourceBitsPerSample(), 8);
    EXPECT_EQ(m.TargetSamplesPerPixel(), 3);

    float coefficients[] = {0.2f, 0.7f};
    EXPECT_EQ(messageOf([&] { m.SetYCbCrParameters(coefficients, 1, 2); }), gesVerticalSubSamplingError);
    EXPECT_FLOAT_EQ(m.YCbCrCoefficients()[0], 0.2f);  // stored before the checks
    EXPECT_FLOAT_EQ(m.YCbCrCoefficients()[1], 0.7f);
    EXPECT_FLOAT_EQ(m.YCbCrCoefficients()[2], 0.114f);
    EXPECT_EQ(messageOf([&] { m.SetYCbCrParameters(coefficients, 3, 1); }), gesInvalidSubSampling);
    EXPECT_EQ(m.HorizontalSubsampling(), 1);
    m.SetYCbCrParameters(coefficients, 4, 2);
    EXPECT_EQ(m.HorizontalSubsampling(), 4);
    EXPECT_EQ(m.VerticalSubsampling(), 2);
}

// Layouts the converters would read or write wrongly are refused before a row
// is touched, and no row is ever read or written past its buffer.
TEST(ColorManager, RefusesLayoutsThatDoNotFitTheSchemeOrTheBuffers)
{
    Bytes source = {1, 2, 3, 4, 5, 6};
    // A BGRA target described with 3 samples would write 4 bytes per pixel into
    // a 3-byte-per-pixel row.
    TColorManager alphaSlot = manager(csRGB, csBGRA, 8, 8, 3, 3);
    Bytes t(6, 0xEE);
    EXPECT_EQ(messageOf([&] { alphaSlot.ConvertRow({source}, t, 2); }), gesInvalidPixelDepth);
    EXPECT_EQ(t, Bytes(6, 0xEE));
    EXPECT_TRUE(alphaSlot.Changed());
    TColorManager rgbOneSample = manager(csRGB, csBGR, 8, 8, 1, 3);
    EXPECT_EQ(messageOf([&] { rgbOneSample.ConvertRow({source}, t, 2); }), gesInvalidPixelDepth);
    // Depths the converters cannot handle.
    TColorManager fiveBits = manager(csRGB, csBGR, 5, 8, 3, 3);
    EXPECT_EQ(messageOf([&] { fiveBits.ConvertRow({source}, t, 2); }), gesInvalidSampleDepth);
    TColorManager fourBitRGB = manager(csRGB, csBGR, 4, 8, 3, 3);
    EXPECT_EQ(messageOf([&] { fourBitRGB.ConvertRow({source}, t, 2); }), gesConversionUnsupported);
    TColorManager threeBitGrey = manager(csG, csG, 3, 8, 1, 1);
    EXPECT_EQ(messageOf([&] { threeBitGrey.ConvertRow({source}, t, 2); }), gesInvalidSampleDepth);

    // Short buffers: nothing is written.
    TColorManager ok;
    Bytes shortTarget(5, 0xEE);
    EXPECT_EQ(messageOf([&] { ok.ConvertRow({source}, shortTarget, 2); }), gesRowBufferTooSmall);
    EXPECT_EQ(shortTarget, Bytes(5, 0xEE));
    Bytes shortSource = {1, 2, 3, 4, 5};
    EXPECT_EQ(messageOf([&] { ok.ConvertRow({shortSource}, t, 2); }), gesRowBufferTooSmall);
    // Under a mask the source only needs the selected pixels.
    Bytes onePixel = {7, 8, 9};
    ok.ConvertRow({onePixel}, t, 2, 0x80);
    EXPECT_EQ(t[0], 9);
    Bytes r = {1, 2}, g = {1, 2}, b = {1};
    EXPECT_EQ(messageOf([&] { ok.ConvertRow({r, g, b}, t, 2); }), gesRowBufferTooSmall);
    EXPECT_EQ(messageOf([&] { ok.ConvertRow({r, g}, t, 2); }), gesRowBufferTooSmall);
    // Packed rows: 9 one-bit pixels need 2 bytes.
    TColorManager bits = manager(csIndexed, csIndexed, 1, 1, 1, 1);
    Bytes oneByte = {0xFF}, two(2);
    EXPECT_EQ(messageOf([&] { bits.ConvertRow({oneByte}, two, 9); }), gesRowBufferTooSmall);
    TColorManager sixteen = manager(csRGB, csBGR, 16, 16, 3, 3);
    Bytes six(6), twelve(12);
    EXPECT_EQ(messageOf([&] { sixteen.ConvertRow({six}, twelve, 2); }), gesRowBufferTooSmall);
}

TEST(ColorManager, PixelFormatForEachDescription)
{
    struct Case {
        std::uint8_t bits, samples;
        TPixelFormat expected;
    } cases[] = {{1, 1, pf1bit},  {2, 1, pf4bit},   {4, 1, pf4bit},  {5, 1, pfCustom}, {8, 1, pf8bit},
                 {16, 1, pf8bit}, {5, 3, pf15bit},  {1, 3, pf15bit}, {8, 3, pf24bit},  {16, 3, pf24bit},
                 {8, 4, pf32bit}, {4, 4, pfCustom}, {8, 2, pfCustom}};
    for (const Case& c : cases) {
        TColorManager m;
        m.SetTargetBitsPerSample(c.bits);
        m.SetTargetSamplesPerPixel(c.samples);
        EXPECT_EQ(m.PixelFormatFor(true), c.expected) << int(c.bits) << "x" << int(c.samples);
        EXPECT_EQ(m.PixelFormatFor(false), pf24bit);
    }
}

TEST(ColorManager, GammaTable)
{
    TColorManager a, b;
    a.SetGamma(0, 0);
    b.SetGamma(1.0f, 2.2f);
    EXPECT_EQ(a.GammaTable(), b.GammaTable());
    EXPECT_FLOAT_EQ(a.MainGamma(), 1.0f);
    EXPECT_FLOAT_EQ(a.DisplayGamma(), 2.2f);
    EXPECT_EQ(a.GammaTable()[0], 0);
    EXPECT_EQ(a.GammaTable()[255], 255);
    EXPECT_EQ(a.GammaTable()[128], 186);  // (128/255)^(1/2.2) × 255 = 186.4
    // Main gamma 1/2.2 cancels the display gamma: identity.
    a.SetGamma(1 / 2.2f, 2.2f);
    for (int i = 0; i < 256; ++i) EXPECT_EQ(a.GammaTable()[std::size_t(i)], i);
    // A 4-bit target maps onto 0..15.
    TColorManager four;
    four.SetTargetBitsPerSample(4);
    four.SetGamma(1.0f, 1.0f);
    EXPECT_EQ(four.GammaTable()[255], 15);
    EXPECT_EQ(four.GammaTable()[0], 0);
}

TEST(ColorManager, ColourPalettes)
{
    // 16 colours for a 4-bit source and an 8-bit target: 256 entries, entry i
    // taking colour i × 15 div 255.
    TColorManager m = manager(csIndexed, csIndexed, 4, 8, 1, 1);
    Bytes triples;
    for (int i = 0; i < 16; ++i)
        triples.insert(triples.end(), {std::uint8_t(i), std::uint8_t(i * 2), std::uint8_t(i * 3)});
    TLogPalette p = m.CreateColorPalette({triples}, pdfInterlaced8Triple, 16, false);
    ASSERT_EQ(p.Entries.size(), 256u);
    EXPECT_EQ(p.Version, 0x300);
    for (int i = 0; i < 256; ++i) {
        int from = i * 15 / 255;
        EXPECT_EQ(p.Entries[std::size_t(i)],
                  (TPaletteEntry{std::uint8_t(from), std::uint8_t(from * 2), std::uint8_t(from * 3), 0}));
    }
    // Same depths: as many entries as colours, BGR order honoured.
    TColorManager same = manager(csIndexed, csIndexed, 8, 8, 1, 1);
    Bytes quads = {1, 2, 3, 99, 4, 5, 6, 99};
    TLogPalette q = same.CreateColorPalette({quads}, pdfInterlaced8Quad, 2, true);
    ASSERT_EQ(q.Entries.size(), 2u);
    EXPECT_EQ(q.Entries[1], (TPaletteEntry{6, 5, 4, 0}));
    // Planes, 16-bit values stored big-endian.
    same.SourceOptions = ByteSwapOption;
    Bytes red = {0xFF, 0xFF}, green = {0x80, 0x00}, blue = {0x00, 0x00};
    TLogPalette planes = same.CreateColorPalette({red, green, blue}, pdfPlane16Triple, 1, true);
    EXPECT_EQ(planes.Entries[0], (TPaletteEntry{255, 127, 0, 0}));
    // Data shorter than the colour count: missing entries are black, nothing is read past it.
    TLogPalette cut = same.CreateColorPalette({Bytes{9, 9, 9}}, pdfInterlaced8Triple, 300, false);
    ASSERT_EQ(cut.Entries.size(), 256u);
    EXPECT_EQ(cut.Entries[0], (TPaletteEntry{9, 9, 9, 0}));
    EXPECT_EQ(cut.Entries[1], (TPaletteEntry{}));
    // Gamma applies to palette entries under GammaOption.
    same.SourceOptions = 0;
    same.TargetOptions = GammaOption;
    TLogPalette gamma = same.CreateColorPalette({Bytes{128, 0, 255}}, pdfInterlaced8Triple, 1, false);
    EXPECT_EQ(gamma.Entries[0].peRed, same.GammaTable()[128]);
}

TEST(ColorManager, GreyPalettes)
{
    TColorManager m = manager(csG, csG, 4, 4, 1, 1);
    TLogPalette p = m.CreateGrayscalePalette(false);
    ASSERT_EQ(p.Entries.size(), 16u);
    EXPECT_EQ(p.Entries[1].peRed, 17);
    EXPECT_EQ(p.Entries[15].peBlue, 255);
    TLogPalette reversed = m.CreateGrayscalePalette(true);
    EXPECT_EQ(reversed.Entries[0].peGreen, 255);
    EXPECT_EQ(reversed.Entries[15].peGreen, 0);
    m.SetTargetBitsPerSample(1);
    EXPECT_EQ(m.CreateGrayscalePalette(false).Entries.size(), 2u);
    m.SetTargetBitsPerSample(16);
    TLogPalette wide = m.CreateGrayscalePalette(false);
    ASSERT_EQ(wide.Entries.size(), 256u);
    EXPECT_EQ(wide.Entries[200].peRed, 200);
}

TEST(ColorManager, ScalingHelpers)
{
    EXPECT_EQ(MulDiv16(65535, 255, 65535), 255u);
    EXPECT_EQ(MulDiv16(128, 65535, 255), 128u * 257);
    EXPECT_EQ(MulDiv16(0x10001, 2, 1), 2u);  // taken as 16-bit numbers
    EXPECT_EQ(MulDiv16(5, 5, 0), 0u);
    EXPECT_EQ(ClampByte(-3), 0);
    EXPECT_EQ(ClampByte(300), 255);
    EXPECT_EQ(ClampByte(77), 77);
}

TEST(ColorManager, SixteenBitAlphaAndWideTargetsOfTheOtherSchemes)
{
    // 16-bit RGBA to 8-bit BGRA: colours and alpha scaled down after swapping.
    TColorManager rgba = manager(csRGBA, csBGRA, 16, 8, 4, 4);
    rgba.SourceOptions = ByteSwapOption;
    Bytes out(4);
    rgba.ConvertRow({Bytes{0xFF, 0xFF, 0x00, 0x00, 0x80, 0x00, 0x40, 0x00}}, out, 1);
    EXPECT_EQ(out, (Bytes{127, 0, 255, 63}));
    // 8-bit alpha into a 16-bit target is scaled up.
    TColorManager wideAlpha = manager(csRGBA, csRGBA, 8, 16, 4, 4);
    Bytes wide(8);
    wideAlpha.ConvertRow({Bytes{1, 2, 3, 255}}, wide, 1);
    EXPECT_EQ(wordAt(wide, 3), 65535);
    EXPECT_EQ(wordAt(wide, 0), 257);
    // CMYK and YCbCr give 8-bit results that a 16-bit target receives scaled up.
    TColorManager cmyk = manager(csCMYK, csRGB, 8, 16, 4, 3);
    Bytes white(6);
    cmyk.ConvertRow({Bytes{0, 0, 0, 0}}, white, 1);
    EXPECT_EQ(wordAt(white, 0), 65535);
    EXPECT_EQ(wordAt(white, 2), 65535);
    TColorManager ycc = manager(csYCbCr, csBGR, 16, 8, 3, 3);
    Bytes grey(3);
    ycc.ConvertRow({words({128 * 257, 128 * 257, 128 * 257})}, grey, 1);
    EXPECT_EQ(grey, (Bytes{128, 128, 128}));
    // Grey with alpha at 16 bits, stored big-endian, to an 8-bit index.
    TColorManager ga = manager(csGA, csIndexed, 16, 8, 2, 1);
    ga.SourceOptions = ByteSwapOption;
    Bytes index(2);
    ga.ConvertRow({Bytes{0xFF, 0xFF, 0x12, 0x34, 0x00, 0x00, 0xFF, 0xFF}}, index, 2);
    EXPECT_EQ(index, (Bytes{255, 0}));
}
