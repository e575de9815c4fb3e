// Rows of a 4000-pixel-wide picture through the colour manager's converters,
// and an 8-bit bitmap converted to 24 bits.
#include "formats/FormatColor.h"

#include <benchmark/benchmark.h>

#include <vector>

namespace {

constexpr std::uint32_t RowWidth = 4000;

void convertRows(benchmark::State& state, TColorScheme source, TColorScheme target, std::uint8_t bits,
                 std::uint8_t sourceSamples, std::uint8_t targetSamples, std::uint8_t options)
{
    TColorManager m;
    m.SetSourceColorScheme(source);
    m.SetTargetColorScheme(target);
    m.SetSourceBitsPerSample(bits);
    m.SetTargetBitsPerSample(8);
    m.SetSourceSamplesPerPixel(sourceSamples);
    m.SetTargetSamplesPerPixel(targetSamples);
    m.SourceOptions = options;
    std::vector<std::uint8_t> row(RowWidth * sourceSamples * bits / 8);
    for (std::size_t i = 0; i < row.size(); ++i) row[i] = std::uint8_t(i * 7);
    std::vector<std::uint8_t> out(RowWidth * targetSamples);
    for (auto _ : state) {
        m.ConvertRow({row}, out, RowWidth);
        benchmark::DoNotOptimize(out.data());
    }
    state.SetItemsProcessed(state.iterations() * RowWidth);
}

void BM_RGB8ToBGR(benchmark::State& s) { convertRows(s, csRGB, csBGR, 8, 3, 3, 0); }
void BM_RGB16SwappedToBGR(benchmark::State& s) { convertRows(s, csRGB, csBGR, 16, 3, 3, ByteSwapOption); }
void BM_RGBA8ToBGRA(benchmark::State& s) { convertRows(s, csRGBA, csBGRA, 8, 4, 4, 0); }
void BM_YCbCrToBGR(benchmark::State& s) { convertRows(s, csYCbCr, csBGR, 8, 3, 3, 0); }
void BM_CMYKToBGR(benchmark::State& s) { convertRows(s, csCMYK, csBGR, 8, 4, 3, 0); }
void BM_Indexed8Copy(benchmark::State& s) { convertRows(s, csIndexed, csIndexed, 8, 1, 1, 0); }

void BM_Bitmap8To24(benchmark::State& state)
{
    for (auto _ : state) {
        state.PauseTiming();
        TBitmap b;
        b.SetPixelFormat(pf8bit);
        b.SetSize(1000, 1000);
        state.ResumeTiming();
        b.SetPixelFormat(pf24bit);
        benchmark::DoNotOptimize(b.Bits().data());
    }
    state.SetItemsProcessed(state.iterations() * 1000 * 1000);
}

}  // namespace

BENCHMARK(BM_RGB8ToBGR);
BENCHMARK(BM_RGB16SwappedToBGR);
BENCHMARK(BM_RGBA8ToBGRA);
BENCHMARK(BM_YCbCrToBGR);
BENCHMARK(BM_CMYKToBGR);
BENCHMARK(BM_Indexed8Copy);
BENCHMARK(BM_Bitmap8To24);
BENCHMARK_MAIN();
