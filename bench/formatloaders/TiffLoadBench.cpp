// Loading a 24-megapixel LZW TIFF (6000 x 4000, photo-like: gradients with
// grain), with ImageMagick's decode of the same file timed in the same run
// and the ratio printed. ImageMagick's time is that of `convert FILE null:`
// less its start-up (the same command on a 1 x 1 TIFF).

#include "formats/ImageFormatsTiff.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

constexpr int Width = 6000, Height = 4000;

struct BenchFiles {
    std::string folder, tiff, tiny;
    bool made = false;
    ~BenchFiles()
    {
        std::error_code ec;
        if (!folder.empty()) fs::remove_all(folder, ec);
    }
};

bool run(const std::string& command) { return std::system((command + " >/dev/null 2>&1").c_str()) == 0; }

BenchFiles& Files()
{
    static BenchFiles files = [] {
        BenchFiles f;
        std::string pattern = (fs::temp_directory_path() / "pictavo-tiff-bench-XXXXXX").string();
        if (!mkdtemp(pattern.data())) return f;
        f.folder = pattern;
        const std::string ppm = f.folder + "/photo.ppm";
        {
            std::ofstream out(ppm, std::ios::binary);
            out << "P6\n" << Width << " " << Height << "\n255\n";
            std::vector<char> row(std::size_t(Width) * 3);
            std::uint32_t seed = 12345;
            for (int y = 0; y < Height; ++y) {
                for (int x = 0; x < Width; ++x) {
                    seed = seed * 1664525u + 1013904223u;
                    const int grain = int(seed >> 28) - 8;
                    row[3 * x] = char(std::clamp(x * 255 / Width + grain, 0, 255));
                    row[3 * x + 1] = char(std::clamp(y * 255 / Height + grain, 0, 255));
                    row[3 * x + 2] = char(std::clamp(((x / 300 + y / 200) % 2 ? 180 : 60) + grain, 0, 255));
                }
                out.write(row.data(), std::streamsize(row.size()));
            }
        }
        f.tiff = f.folder + "/photo.tif";
        f.tiny = f.folder + "/tiny.tif";
        f.made = run("convert " + ppm + " -compress lzw " + f.tiff) &&
                 run("convert -size 1x1 xc:white -compress lzw " + f.tiny);
        return f;
    }();
    return files;
}

double secondsOf(const std::string& command, int repeats)
{
    double best = 1e9;
    for (int i = 0; i < repeats; ++i) {
        const auto start = std::chrono::steady_clock::now();
        if (!run(command)) return -1;
        best = std::min(best, std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    }
    return best;
}

void BM_TiffLzw24Megapixels(benchmark::State& state)
{
    BenchFiles& files = Files();
    if (!files.made) {
        state.SkipWithError("ImageMagick's convert could not make the TIFF");
        return;
    }
    double ours = 1e9;
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        TTIFFGraphic loaded;
        loaded.LoadFromFile(files.tiff);
        benchmark::DoNotOptimize(loaded.ScanLine(Height - 1));
        const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        ours = std::min(ours, seconds);
        state.SetIterationTime(seconds);
    }
    const double startUp = secondsOf("convert " + files.tiny + " null:", 3);
    const double magick = secondsOf("convert " + files.tiff + " null:", 3) - startUp;
    state.counters["ours_ms"] = ours * 1000;
    state.counters["magick_ms"] = magick * 1000;
    state.counters["ratio"] = ours / magick;
    std::printf("24-megapixel LZW TIFF (%dx%d, %.1f MB): ours %.0f ms, ImageMagick %.0f ms, ratio %.2f\n", Width,
                Height, double(fs::file_size(files.tiff)) / 1e6, ours * 1000, magick * 1000, ours / magick);
}

}  // namespace

BENCHMARK(BM_TiffLzw24Megapixels)->Iterations(3)->UseManualTime()->Unit(benchmark::kMillisecond);
