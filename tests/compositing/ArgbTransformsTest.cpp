// Block and stretch transfers: dispatch, clipping, errors, and the
// resampler on the sizes that used to break it.
#include "compositing/ArgbTransforms.h"
#include "tests/support/Raises.h"

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <memory>
#include <vector>

namespace {

std::unique_ptr<TArgbBitmap> patterned(int w, int h, std::uint32_t seed = 1)
{
    auto b = std::make_unique<TArgbBitmap>();
    b->SetSize(w, h);
    for (int i = 0; i < w * h; ++i) {
        seed = seed * 1664525u + 1013904223u;
        b->Bits()[i] = seed;
    }
    return b;
}

}  // namespace

TEST(ArgbTransfers, SameSizeIsABlockCopyForEveryFilter)
{
    auto src = patterned(100, 50);
    for (TStretchFilter f : {sfNearest, sfLinear, sfLinear2, sfSpline}) {
        TArgbBitmap dst;
        dst.SetSize(100, 50);
        src->SetStretchFilter(f);
        src->DrawTo(&dst, TRect{0, 0, 100, 50});
        EXPECT_EQ(std::memcmp(dst.Bits(), src->Bits(), 100 * 50 * 4), 0) << int(f);
    }
}

TEST(ArgbTransfers, NearestEnlargesAndModes)
{
    TArgbBitmap src, dst;
    src.SetSize(2, 1);
    src.Bits()[0] = 0xFF000001;
    src.Bits()[1] = 0xFF000002;
    dst.SetSize(4, 1);
    src.DrawTo(&dst, TRect{0, 0, 4, 1});
    EXPECT_EQ(std::vector<TArgbColor>(dst.Bits(), dst.Bits() + 4),
              (std::vector<TArgbColor>{0xFF000001, 0xFF000001, 0xFF000002, 0xFF000002}));

    // dmCustom without a callback is opaque; opaque nearest ignores the master alpha.
    dst.Clear(0);
    src.SetMasterAlpha(0);
    TransferStretched(&dst, TRect{0, 0, 4, 1}, &src, TRect{0, 0, 2, 1}, sfNearest, dmCustom);
    EXPECT_EQ(dst.PixelAt(3, 0), 0xFF000002u);
    // Blending at master alpha 0 writes nothing.
    dst.Clear(0x12345678);
    StretchNearest(&dst, TRect{0, 0, 4, 1}, &src, TRect{0, 0, 2, 1}, dmBlend, nullptr);
    EXPECT_EQ(dst.PixelAt(0, 0), 0x12345678u);
    // The callback sees source colour, destination pixel and master alpha.
    src.SetMasterAlpha(42);
    TransferStretched(&dst, TRect{0, 0, 4, 1}, &src, TRect{0, 0, 2, 1}, sfNearest, dmCustom,
                      [](TArgbColor f, TArgbColor& b, TArgbColor m) { b = (f & 0xFF) + m; });
    EXPECT_EQ(dst.PixelAt(3, 0), 2u + 42u);
}

// A destination rectangle half outside the bitmap shows exactly what the
// same pixels show without clipping, for each walk and mode.
TEST(ArgbTransfers, ClippingDoesNotMoveTheSampling)
{
    auto src = patterned(7, 5, 9);
    for (int i = 0; i < 35; ++i) src->Bits()[i] |= 0x80000000;
    struct Walk {
        TStretchFilter filter;
        TDrawMode mode;
    } walks[] = {
        {sfNearest, dmOpaque}, {sfNearest, dmBlend}, {sfLinear, dmOpaque}, {sfLinear, dmBlend}, {sfSpline, dmOpaque}};
    for (const Walk& w : walks) {
        TArgbBitmap whole, clipped;
        whole.SetSize(23, 17);
        clipped.SetSize(23, 17);
        whole.Clear(0xFF808080);
        clipped.Clear(0xFF808080);
        const TRect full{0, 0, 23, 17};
        TransferStretched(&whole, full, src.get(), TRect{0, 0, 7, 5}, w.filter, w.mode);
        // The same picture placed 11 pixels left and 6 up: only its lower right part lands.
        TransferStretched(&clipped, TRect{-11, -6, 12, 11}, src.get(), TRect{0, 0, 7, 5}, w.filter, w.mode);
        for (int y = 0; y < 11; ++y)
            for (int x = 0; x < 12; ++x)
                ASSERT_EQ(clipped.PixelAt(x, y), whole.PixelAt(x + 11, y + 6))
                    << "filter " << int(w.filter) << " mode " << int(w.mode) << " at " << x << "," << y;
        EXPECT_EQ(clipped.PixelAt(12, 11), 0xFF808080u);
    }
}

TEST(ArgbTransfers, RectangleAndBitmapErrors)
{
    auto src = patterned(4, 4);
    TArgbBitmap dst, empty;
    dst.SetSize(4, 4);
    EXPECT_EQ(testsupport::MessageOf([&] {
                  TransferStretched(&dst, TRect{0, 0, 8, 8}, src.get(), TRect{0, 0, 5, 4}, sfNearest, dmOpaque);
              }),
              "Source rectangle is invalid");
    EXPECT_EQ(testsupport::MessageOf([&] {
                  TransferStretched(&empty, TRect{0, 0, 8, 8}, &empty, TRect{0, 0, 1, 1}, sfLinear, dmOpaque);
              }),
              "Destination bitmap is nil or empty");
    EXPECT_EQ(testsupport::MessageOf([&] {
                  TransferBlock(&dst, 0, 0, nullptr, TRect{0, 0, 1, 1}, dmBlend);
              }),
              "Source bitmap is nil or empty");
    TArgbBitmap untouched;
    untouched.SetSize(4, 4);
    untouched.Clear(7);
    TransferStretched(&untouched, TRect{0, 0, 8, 8}, src.get(), TRect{2, 0, 2, 4}, sfSpline, dmOpaque);
    TransferStretched(&untouched, TRect{5, 5, 9, 9}, src.get(), TRect{0, 0, 4, 4}, sfLinear, dmOpaque);
    TransferBlock(&untouched, 0, 0, src.get(), TRect{3, 0, 1, 4}, dmOpaque);  // inverted: no mirror, nothing
    for (int i = 0; i < 16; ++i) EXPECT_EQ(untouched.Bits()[i], 7u) << i;
}

// One-pixel sources and destinations, large reductions and flat areas:
// sound values for every filter, no division by zero, white stays 255.
TEST(ArgbResampler, EdgeSizesGiveSoundValues)
{
    struct Case {
        int sw, sh, dw, dh;
    } cases[] = {{1, 1, 5, 4}, {1, 6, 9, 3}, {6, 1, 1, 1}, {7, 5, 1, 1}, {3000, 2, 2, 2}, {2, 2, 700, 3}, {9, 9, 4, 4}};
    for (TStretchFilter f : {sfLinear, sfLinear2, sfSpline, sfNearest})
        for (const Case& c : cases)
            for (TArgbColor flat : {0xFFFFFFFFu, 0x80402010u}) {
                TArgbBitmap src, dst;
                src.SetSize(c.sw, c.sh);
                src.Clear(flat);
                dst.SetSize(c.dw, c.dh);
                dst.Clear(0x01020304);
                TransferStretched(&dst, TRect{0, 0, c.dw, c.dh}, &src, TRect{0, 0, c.sw, c.sh}, f, dmOpaque);
                for (int i = 0; i < c.dw * c.dh; ++i)
                    ASSERT_EQ(dst.Bits()[i], flat) << "filter " << int(f) << " " << c.sw << "x" << c.sh << " -> "
                                                   << c.dw << "x" << c.dh << " pixel " << i;
            }
}

TEST(ArgbResampler, MapsSumToOneAndStayInTheBitmap)
{
    for (TStretchFilter f : {sfLinear2, sfSpline})
        for (int dst : {1, 2, 3, 17, 400})
            for (int src : {1, 2, 5, 1000}) {
                const TMappingTable map = BuildSampleMap(dst, src + 4, 2, 2 + src, f);
                ASSERT_EQ(int(map.size()), dst);
                for (const TCluster& cluster : map) {
                    int sum = 0;
                    for (const TClusterEntry& e : cluster) {
                        sum += e.Weight;
                        EXPECT_GE(e.Pos, 0);
                        EXPECT_LT(e.Pos, src + 4);
                    }
                    EXPECT_EQ(sum, 256) << dst << " from " << src;
                }
            }
    EXPECT_TRUE(BuildSampleMap(5, 0, 0, 0, sfSpline).empty());
    // A ramp keeps its ends when enlarged: the corners map onto each other.
    TArgbBitmap ramp, big;
    ramp.SetSize(3, 1);
    ramp.Bits()[0] = 0xFF000000;
    ramp.Bits()[1] = 0xFF000080;
    ramp.Bits()[2] = 0xFF0000FF;
    big.SetSize(9, 1);
    TransferStretched(&big, TRect{0, 0, 9, 1}, &ramp, TRect{0, 0, 3, 1}, sfLinear2, dmOpaque);
    EXPECT_EQ(big.PixelAt(0, 0), 0xFF000000u);
    EXPECT_EQ(big.PixelAt(8, 0), 0xFF0000FFu);
    EXPECT_EQ(big.PixelAt(4, 0), 0xFF000080u);
}

TEST(ArgbKernels, Values)
{
    EXPECT_EQ(BoxKernel(0.5f), 1.0f);
    EXPECT_EQ(BoxKernel(-0.5f), 0.0f);
    EXPECT_EQ(TriangleKernel(-0.25f), 0.75f);
    EXPECT_EQ(TriangleKernel(1.0f), 0.0f);
    EXPECT_FLOAT_EQ(SplineKernel(0), 2.0f / 3.0f);
    EXPECT_FLOAT_EQ(SplineKernel(-1.5f), 0.125f / 6.0f);
    EXPECT_EQ(SplineKernel(2.0f), 0.0f);
}
