// The image path of a gallery build: bilinear reduction of a 12-megapixel
// 24-bit picture to an image copy (800 px wide) and a thumbnail (120 px), and
// conversion 24 -> 8 -> 24. A JPEG decode of the same picture runs alongside
// (when the JPEG library is present) so the resize can be compared with it.

#include "raster/RasterConvert.h"
#include "raster/RasterDIB.h"
#include "raster/RasterFX.h"
#include "raster/RasterFiles.h"
#include "raster/RasterSize.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <cstring>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <unistd.h>

namespace {

constexpr int kWidth = 4000;
constexpr int kHeight = 3000;

std::unique_ptr<TRasterDIB> makeBuffer(int width, int height, int bitCount)
{
    auto dib = std::make_unique<TRasterDIB>();
    dib->SetSize(width, height, bitCount);
    return dib;
}

// A photo-like picture: smooth shading with some texture, many colours.
const TRasterDIB& photo()
{
    static const std::unique_ptr<TRasterDIB> picture = [] {
        auto dib = makeBuffer(kWidth, kHeight, 24);
        for (int y = 0; y < kHeight; ++y) {
            std::uint8_t* p = dib->Rows[y];
            for (int x = 0; x < kWidth; ++x, p += 3) {
                const double s = std::sin(x * 0.003) * std::cos(y * 0.004);
                p[0] = std::uint8_t(128 + 100 * s + ((x * 7 + y * 3) & 15));
                p[1] = std::uint8_t((x + y) * 255 / (kWidth + kHeight));
                p[2] = std::uint8_t(128 + 120 * std::sin((x - y) * 0.002));
            }
        }
        return dib;
    }();
    return *picture;
}

void resizeTo(benchmark::State& state, int width)
{
    const TRasterDIB& src = photo();
    const int height = int(std::int64_t(width) * kHeight / kWidth);
    auto dst = makeBuffer(width, height, 24);
    for (auto _ : state) {
        ResizeBilinear(src, *dst);
        benchmark::DoNotOptimize(dst->Bits);
    }
    state.counters["src_MP"] = double(kWidth) * kHeight / 1e6;
}

void BM_ResizeBilinear12MPTo800(benchmark::State& state) { resizeTo(state, 800); }
// The same without the vector instructions, for comparison.
void BM_ResizeBilinear12MPTo800Plain(benchmark::State& state)
{
    SetResizeVectorPath(false);
    resizeTo(state, 800);
    SetResizeVectorPath(true);
}
void BM_ResizeBilinear12MPTo120(benchmark::State& state) { resizeTo(state, 120); }

void BM_ResizeNearest12MPTo800(benchmark::State& state)
{
    const TRasterDIB& src = photo();
    auto dst = makeBuffer(800, 600, 24);
    for (auto _ : state) {
        ResizeNearest(src, *dst);
        benchmark::DoNotOptimize(dst->Bits);
    }
}

void BM_Convert24To8(benchmark::State& state)
{
    const TRasterDIB& src = photo();
    auto dst = makeBuffer(kWidth, kHeight, 8);
    for (auto _ : state) {
        ConvertDIB(src, *dst);
        benchmark::DoNotOptimize(dst->Bits);
    }
}

void BM_Convert8To24(benchmark::State& state)
{
    auto src = makeBuffer(kWidth, kHeight, 8);
    ConvertDIB(photo(), *src);
    auto dst = makeBuffer(kWidth, kHeight, 24);
    for (auto _ : state) {
        ConvertDIB(*src, *dst);
        benchmark::DoNotOptimize(dst->Bits);
    }
}

// The crop step of a thumbnail and a user's rotation: an image copy turned
// with bilinear sampling.
void BM_RotateSmooth800(benchmark::State& state)
{
    auto src = makeBuffer(800, 600, 24);
    ResizeBilinear(photo(), *src);
    auto dst = makeBuffer(1, 1, 24);
    SizeForRotation(*src, *dst, double(state.range(0)));
    for (auto _ : state) {
        RotateDIB(*src, *dst, true, double(state.range(0)));
        benchmark::DoNotOptimize(dst->Bits);
    }
}

// The decode the 800-px resize is measured against.
void BM_JpegDecode12MP(benchmark::State& state)
{
    if (!JpegLibraryPresent()) {
        state.SkipWithError("JPEG library not present");
        return;
    }
    const std::string file =
        (std::filesystem::temp_directory_path() / ("raster_resize_bench_" + std::to_string(getpid()) + ".jpg"))
            .string();
    {
        auto copy = makeBuffer(kWidth, kHeight, 24);
        std::memcpy(copy->Bits, photo().Bits, std::size_t(copy->Stride) * kHeight);
        WriteJpegFile(*copy, file, 90);
    }
    for (auto _ : state) {
        TRasterDIB dib;
        ReadJpegFile(dib, file, 0);
        benchmark::DoNotOptimize(dib.Bits);
        if (dib.Width() != kWidth) state.SkipWithError("decode failed");
    }
    std::remove(file.c_str());
}

}  // namespace

BENCHMARK(BM_ResizeBilinear12MPTo800)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ResizeBilinear12MPTo800Plain)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ResizeBilinear12MPTo120)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ResizeNearest12MPTo800)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Convert24To8)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Convert8To24)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RotateSmooth800)->Arg(0)->Arg(30)->Arg(90)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_JpegDecode12MP)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
