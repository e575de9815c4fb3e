// Loading 24-megapixel files (6000 x 4000, photo-like: gradients with grain)
// that ImageMagick wrote, with ImageMagick's decode of the same file timed in
// the same run and the ratio printed. ImageMagick's time is that of
// `convert FILE null:` less its start-up (the same command on a 1 x 1 file
// of the same format).

#include "formats/ImageFormatsPsd.h"
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

bool run(const std::string& command) { return std::system((command + " >/dev/null 2>&1").c_str()) == 0; }

// The photo as a PPM in a scratch folder, made once for all formats.
struct Scratch {
    std::string folder, photo;
    ~Scratch()
    {
        std::error_code ec;
        if (!folder.empty()) fs::remove_all(folder, ec);
    }
};

const Scratch& Photo()
{
    static Scratch scratch = [] {
        Scratch s;
        std::string pattern = (fs::temp_directory_path() / "pictavo-load-bench-XXXXXX").string();
        if (!mkdtemp(pattern.data())) return s;
        s.folder = pattern;
        s.photo = s.folder + "/photo.ppm";
        std::ofstream out(s.photo, std::ios::binary);
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
        return s;
    }();
    return scratch;
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

// Times our loader on the photo as ImageMagick writes it with options, and
// ImageMagick's own decode of that file.
template <class Graphic>
void LoadVersusMagick(benchmark::State& state, const char* title, const char* extension, const char* options)
{
    const Scratch& scratch = Photo();
    const std::string file = scratch.folder + "/photo." + extension;
    const std::string tiny = scratch.folder + "/tiny." + extension;
    if (scratch.folder.empty() || !(fs::exists(file) || run("convert " + scratch.photo + " " + options + " " + file)) ||
        !(fs::exists(tiny) || run("convert -size 1x1 xc:white " + std::string(options) + " " + tiny))) {
        state.SkipWithError("ImageMagick's convert could not make the file");
        return;
    }
    double ours = 1e9;
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        Graphic loaded;
        loaded.LoadFromFile(file);
        benchmark::DoNotOptimize(loaded.ScanLine(Height - 1));
        const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        ours = std::min(ours, seconds);
        state.SetIterationTime(seconds);
    }
    const double startUp = secondsOf("convert " + tiny + " null:", 3);
    const double magick = secondsOf("convert " + file + " null:", 3) - startUp;
    state.counters["ours_ms"] = ours * 1000;
    state.counters["magick_ms"] = magick * 1000;
    state.counters["ratio"] = ours / magick;
    std::printf("24-megapixel %s (%dx%d, %.1f MB): ours %.0f ms, ImageMagick %.0f ms, ratio %.2f\n", title, Width,
                Height, double(fs::file_size(file)) / 1e6, ours * 1000, magick * 1000, ours / magick);
}

void BM_TiffLzw24Megapixels(benchmark::State& state)
{
    LoadVersusMagick<TTIFFGraphic>(state, "LZW TIFF", "tif", "-compress lzw");
}

// ImageMagick's Photoshop files hold run-length rows.
void BM_Psd24Megapixels(benchmark::State& state) { LoadVersusMagick<TPSDGraphic>(state, "PSD", "psd", ""); }

}  // namespace

BENCHMARK(BM_TiffLzw24Megapixels)->Iterations(3)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Psd24Megapixels)->Iterations(3)->UseManualTime()->Unit(benchmark::kMillisecond);
