// The kit's block compressor on text-like and noisy blocks of the stream size.
#include "widgets/kitprocs.h"
#include "widgets/kitutils.h"

#include <benchmark/benchmark.h>

#include <random>

namespace {
std::vector<std::uint8_t> TextLike(std::size_t size)
{
    const std::string words = "index page thumbnail image gallery picture frame ";
    std::vector<std::uint8_t> out(size);
    std::mt19937 random(3);
    for (std::size_t i = 0; i < size; ++i) out[i] = static_cast<std::uint8_t>(words[(i + random() % 3) % words.size()]);
    return out;
}

std::vector<std::uint8_t> Noise(std::size_t size)
{
    std::vector<std::uint8_t> out(size);
    std::mt19937 random(5);
    for (auto& b : out) b = static_cast<std::uint8_t>(random());
    return out;
}

void CompressText(benchmark::State& state)
{
    const auto input = TextLike(KitStreamBlockInput);
    for (auto _ : state) benchmark::DoNotOptimize(CompressBlock(input));
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * input.size()));
}

void CompressNoise(benchmark::State& state)
{
    const auto input = Noise(KitStreamBlockInput);
    for (auto _ : state) benchmark::DoNotOptimize(CompressBlock(input));
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * input.size()));
}

void DecompressText(benchmark::State& state)
{
    const auto input = TextLike(KitStreamBlockInput);
    const auto block = CompressBlock(input);
    for (auto _ : state) benchmark::DoNotOptimize(DecompressBlock(block));
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * input.size()));
}
}  // namespace

BENCHMARK(CompressText);
BENCHMARK(CompressNoise);
BENCHMARK(DecompressText);
BENCHMARK_MAIN();
