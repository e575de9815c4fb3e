// Colour arithmetic and the one blend form: the worked values, and every
// 8-bit input of the mixing formula against an independent computation.
#include "compositing/Argb.h"
#include "compositing/ArgbBlend.h"
#include "compositing/ArgbFilters.h"

#include <gtest/gtest.h>

#include <cmath>

TEST(ArgbColours, WorkedValues)
{
    EXPECT_EQ(ArgbFromColor(0x000000FF), 0xFFFF0000u);
    EXPECT_EQ(ArgbFromColor(SystemColor(COLOR_BTNSHADOW)), 0xFFA0A0A0u);
    EXPECT_EQ(ColorRefToArgb(0xAB332211), 0xFF112233u);
    struct {
        TArgbColor c;
        int intensity;
    } intensities[] = {{0xFFFFFFFF, 255}, {0x00FF0000, 60}, {0x0000FF00, 173}, {0x000000FF, 20}, {0x00808080, 128}};
    for (const auto& i : intensities) EXPECT_EQ(IntensityOf(i.c), i.intensity) << std::hex << i.c;
    EXPECT_EQ(WithAlpha(0x11223344, 300), 0xFF223344u);
    EXPECT_EQ(WithAlpha(0x11223344, -5), 0x00223344u);
    EXPECT_EQ(GrayColor(0x13C, 0x1FF), 0xFF3C3C3Cu);
    struct {
        int a, b, c, result;
    } muldiv[] = {{5, 1, 2, 3}, {-5, 1, 2, -3}, {1, 1, 0, -1}, {7, 3, -2, -11}, {0x7FFFFFFF, 2, 1, -1}, {3, 2, 4, 2}};
    for (const auto& m : muldiv) EXPECT_EQ(MulDivRound(m.a, m.b, m.c), m.result) << m.a << "*" << m.b << "/" << m.c;
    EXPECT_EQ(ClampInt(5, 5, 10), 5);
    EXPECT_EQ(ClampInt(12, 0, 10), 10);
    EXPECT_EQ(ClampInt(-1, 0, 10), 0);
}

TEST(ArgbBlend, WorkedValuesAndShortcuts)
{
    TArgbColor b = 0xFF0000FF;
    BlendPixelTo(0x80FF0000, b);
    EXPECT_EQ(b, 0xC0800080u);
    EXPECT_EQ(CombinePixel(0xFFFFFFFF, 0, 255), 0xFEFEFEFEu);  // no shortcut: 255 is not quite all
    TArgbColor y = 0x12345678;
    CombinePixelTo(0xFFFFFFFF, y, 0);
    EXPECT_EQ(y, 0x12345678u);
    CombinePixelTo(0xFFFFFFFF, y, 255);
    EXPECT_EQ(y, 0xFFFFFFFFu);
    b = 0x11223344;
    BlendPixelTo(0x00FFFFFF, b);  // transparent: untouched
    EXPECT_EQ(b, 0x11223344u);
    BlendPixelTo(0xFF010203, b);  // opaque: replaced exactly
    EXPECT_EQ(b, 0xFF010203u);
    BlendPixelMasterTo(0xFFFFFFFF, b, 1);  // weight (255 * 1) shr 8 = 0
    EXPECT_EQ(b, 0xFF010203u);
    EXPECT_EQ(BlendPixelMaster(0xFFFFFFFF, 0xFF000000, 255), 0xFFFDFDFDu);  // weight 255 * 255 shr 8 = 254
    EXPECT_EQ(BlendPixel(0x00FFFFFF, 0x80402010), CombinePixel(0x00FFFFFF, 0x80402010, 0));

    // The runs are the single-pixel routines, pixel by pixel.
    TArgbColor src[5] = {0x00FFFFFF, 0xFF102030, 0x80FF0000, 0x01FFFFFF, 0xFE000000};
    TArgbColor dst[5], expected[5];
    for (int m : {255, 100}) {
        for (int i = 0; i < 5; ++i) dst[i] = expected[i] = 0xFF0000FF + TArgbColor(i);
        for (int i = 0; i < 5; ++i)
            if (m == 255)
                BlendPixelTo(src[i], expected[i]);
            else
                BlendPixelMasterTo(src[i], expected[i], m);
        if (m == 255)
            BlendRun(src, dst, 5);
        else
            BlendRunMaster(src, dst, 5, m);
        for (int i = 0; i < 5; ++i) EXPECT_EQ(dst[i], expected[i]) << m << " " << i;
    }
    BlendRun(src, dst, -3);  // nothing
}

// Each byte of CombinePixel(X, Y, W) against floor((x W + y (256 - W) + 128) / 256)
// computed in floating point, for every x, y and W; the four bytes carry
// different values, so a carry from one lane into the next shows.
TEST(ArgbBlend, MixingFormulaOverAllEightBitInputs)
{
    auto expected = [](int x, int y, int w) { return int(std::floor((x * w + y * (256.0 - w) + 128.0) / 256.0)); };
    int failures = 0;
    for (int w = 0; w < 256; ++w)
        for (int x = 0; x < 256; ++x)
            for (int y = 0; y < 256; ++y) {
                const int xs[4] = {x, 255 - x, (x + 85) & 255, y};
                const int ys[4] = {y, 255 - y, (y + 170) & 255, x};
                TArgbColor X = 0, Y = 0;
                for (int k = 0; k < 4; ++k) {
                    X |= TArgbColor(xs[k]) << (8 * k);
                    Y |= TArgbColor(ys[k]) << (8 * k);
                }
                const TArgbColor got = CombinePixel(X, Y, w);
                for (int k = 0; k < 4; ++k)
                    if (int((got >> (8 * k)) & 0xFF) != expected(xs[k], ys[k], w) && ++failures < 5)
                        ADD_FAILURE() << "x " << xs[k] << " y " << ys[k] << " w " << w;
            }
    EXPECT_EQ(failures, 0);
}

TEST(ArgbFilters, GreyAndAlphaFromIntensity)
{
    TArgbBitmap b;
    b.SetSize(2, 1);
    b.Bits()[0] = 0x00FF0000;
    b.Bits()[1] = 0x12FFFFFF;
    GrayscaleFromColor(&b, &b);
    EXPECT_EQ(b.PixelAt(0, 0), 0xFF3C3C3Cu);
    EXPECT_EQ(b.PixelAt(1, 0), 0xFFFFFFFFu);

    TArgbBitmap target;
    target.SetSize(2, 1);
    target.Clear(0x00ABCDEF);
    AlphaFromIntensity(&target, &b);
    EXPECT_EQ(target.PixelAt(0, 0), 0x3CABCDEFu);
    EXPECT_EQ(target.PixelAt(1, 0), 0xFFABCDEFu);
    TArgbBitmap other;  // another size: resized first, so black with the alpha
    other.SetSize(5, 5);
    other.Clear(0xFFFFFFFF);
    AlphaFromIntensity(&other, &b);
    EXPECT_EQ(other.Width(), 2);
    EXPECT_EQ(other.PixelAt(0, 0), 0x3C000000u);

    auto message = [](auto f) {
        try {
            f();
        } catch (const Exception& e) {
            return e.Message;
        }
        return std::string();
    };
    EXPECT_EQ(message([&] { GrayscaleFromColor(&b, nullptr); }), "The source is nil");
    EXPECT_EQ(message([&] { AlphaFromIntensity(nullptr, &b); }), "Destination is nil");
}
