// Decoders and loaders on a 1024 x 768 picture made in memory.

#include "formats/FormatCompression.h"
#include "formats/ImageFormatsLoaders.h"

#include <benchmark/benchmark.h>

#include <vector>
#include <zlib.h>

namespace {

constexpr int Width = 1024;
constexpr int Height = 768;

TBitmap makePicture()
{
    TBitmap bitmap;
    bitmap.SetSize(Width, Height);
    for (int y = 0; y < Height; ++y) {
        std::uint8_t* line = bitmap.ScanLine(y);
        for (int x = 0; x < Width; ++x) {
            bool flat = (x / 64 + y / 64) % 2 == 0;
            line[3 * x] = flat ? 40 : static_cast<std::uint8_t>(x);
            line[3 * x + 1] = flat ? 90 : static_cast<std::uint8_t>(y);
            line[3 * x + 2] = flat ? 140 : static_cast<std::uint8_t>(x ^ y);
        }
    }
    return bitmap;
}

void BM_TargaLoadRunLength(benchmark::State& state)
{
    TTargaGraphic source;
    source.Assign(makePicture());
    TMemoryStream file;
    source.SaveToStream(file, true);
    for (auto _ : state) {
        file.SetPosition(0);
        TTargaGraphic loaded;
        loaded.LoadFromStream(file);
        benchmark::DoNotOptimize(loaded.ScanLine(0));
    }
    state.SetBytesProcessed(state.iterations() * Width * Height * 3);
}
BENCHMARK(BM_TargaLoadRunLength);

void BM_TargaSaveRunLength(benchmark::State& state)
{
    TTargaGraphic source;
    source.Assign(makePicture());
    for (auto _ : state) {
        TMemoryStream file;
        source.SaveToStream(file, true);
        benchmark::DoNotOptimize(file.Size());
    }
    state.SetBytesProcessed(state.iterations() * Width * Height * 3);
}
BENCHMARK(BM_TargaSaveRunLength);

void BM_Inflate(benchmark::State& state)
{
    TBitmap picture = makePicture();
    std::vector<std::uint8_t> raw(picture.Bits().begin(), picture.Bits().end());
    uLongf size = compressBound(raw.size());
    std::vector<std::uint8_t> packed(size);
    compress(packed.data(), &size, raw.data(), raw.size());
    packed.resize(size);
    std::vector<std::uint8_t> out(raw.size());
    for (auto _ : state) {
        TLZ77Decoder decoder(Z_PARTIAL_FLUSH, false);
        decoder.DecodeInit();
        const std::uint8_t* source = packed.data();
        std::uint8_t* dest = out.data();
        decoder.Decode(source, dest, packed.size(), out.size());
        decoder.DecodeEnd();
        benchmark::DoNotOptimize(out.data());
    }
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(raw.size()));
}
BENCHMARK(BM_Inflate);

void BM_GifLzwLiteralCodes(benchmark::State& state)
{
    // Literal 9-bit codes with a clear code every 254 codes.
    const std::size_t pixels = std::size_t(Width) * Height;
    std::vector<std::uint8_t> packed;
    std::uint32_t bits = 0;
    int count = 0;
    auto put = [&](int code) {
        bits |= static_cast<std::uint32_t>(code) << count;
        count += 9;
        while (count >= 8) {
            packed.push_back(static_cast<std::uint8_t>(bits));
            bits >>= 8;
            count -= 8;
        }
    };
    for (std::size_t i = 0; i < pixels; ++i) {
        if (i % 254 == 0) put(256);
        put(static_cast<int>((i * 7) % 200));
    }
    put(257);
    std::vector<std::uint8_t> out(pixels);
    for (auto _ : state) {
        TGIFLZWDecoder decoder(8);
        const std::uint8_t* source = packed.data();
        std::uint8_t* dest = out.data();
        decoder.Decode(source, dest, packed.size(), out.size());
        benchmark::DoNotOptimize(out.data());
    }
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(pixels));
}
BENCHMARK(BM_GifLzwLiteralCodes);

}  // namespace

BENCHMARK_MAIN();
