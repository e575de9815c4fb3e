// "Create All" of N photo-like 12-megapixel JPEGs through the main window's
// own command, with the ratio to the floor of plain libjpeg-turbo work on the
// same pictures measured in the same run (one full decode and the encodes of
// the two output sizes per picture), and the build's peak memory; and the
// masked overlay alone on a 24-megapixel picture. What the decorations cost
// is measured in DecorationCostBench.cpp.
//
// PICTAVO_BENCH_PICTURES sets N (default 20).

#include "GalleryBenchForm.h"
#include "GalleryBuildBenchJpeg.h"

#include "gallery/pictures/pvutilsDecorations.h"
#include "gallery/mainwindow/pvu.h"
#include "formats/ImageFormats.h"
#include "platform/system/System.h"
#include "raster/RasterDIB.h"
#include "raster/RasterFiles.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstring>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;

namespace {

constexpr int kWidth = 4000, kHeight = 3000;

int PictureCount()
{
    const char* text = std::getenv("PICTAVO_BENCH_PICTURES");
    const int count = text ? std::atoi(text) : 20;
    return std::max(1, count);
}

// The photos, made once in a child process so their buffers do not count
// in our peak memory.
struct BenchPictures {
    BenchPictures()
    {
        for (int k = 0; k < PictureCount(); ++k) {
            char name[32];
            std::snprintf(name, sizeof name, "photo%03d.jpg", k);
            pictures.push_back(folder.Root + name);
        }
        if (const pid_t child = fork(); child == 0) {
            unsigned seed = 1;
            for (const std::string& path : pictures) WritePhotoJpeg(path, kWidth, kHeight, seed++);
            _exit(0);
        } else {
            int status = 0;
            waitpid(child, &status, 0);
        }
    }
    TBenchFolder folder;
    std::string destination = folder.Root + "web";
    std::vector<std::string> pictures;
};

BenchPictures& Folder()
{
    static BenchPictures made;
    return made;
}

void ResetPeakMemory()
{
    // Linux: "5" resets the peak resident size that getrusage reports.
    std::ofstream("/proc/self/clear_refs") << "5";
}

long PeakMemoryKiB()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

// The pictures with the program folder set; null (the benchmark skipped)
// when our JPEG library cannot be loaded.
BenchPictures* ReadyFolder(benchmark::State& state)
{
    BenchPictures& folder = Folder();
    SetProgramFolder(folder.folder.Program());
    if (LoadOurJpegLibrary(PICTAVO_BINARY_DIR)) return &folder;
    state.SkipWithError("our JPEG library is not there");
    return nullptr;
}

// The build's seconds. The peak memory is reset first; baseKiB gets it then.
double TimedBuild(TForm1& form, const BenchPictures& folder, long& baseKiB)
{
    ResetPeakMemory();
    baseKiB = PeakMemoryKiB();
    const auto start = std::chrono::steady_clock::now();
    RunBuild(form, folder.destination, folder.pictures);
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

void BM_CreateAll(benchmark::State& state)
{
    BenchPictures* ready = ReadyFolder(state);
    if (!ready) return;
    BenchPictures& folder = *ready;

    // The floor: the better of two whole passes over the pictures in list
    // order, as the build meets them (not one picture twice in a row).
    double floorSeconds = 1e30;
    for (int pass = 0; pass < 2; ++pass) {
        double total = 0;
        for (const std::string& path : folder.pictures)
            total += FloorSeconds(path, kBenchImageWidth, kBenchImageHeight, kBenchImageQuality, kBenchThumbWidth,
                                  kBenchThumbHeight, kBenchThumbQuality);
        floorSeconds = std::min(floorSeconds, total);
    }
    ReleaseFloorBuffer();

    std::vector<std::string> messages;
    auto form = BenchForm(folder.destination, messages);

    double buildSeconds = 0;
    long peakKiB = 0;
    long baseKiB = 0;
    for (auto _ : state) {
        buildSeconds = TimedBuild(*form, folder, baseKiB);
        peakKiB = PeakMemoryKiB();
        state.SetIterationTime(buildSeconds);
    }
    if (const std::string report = FirstReport(messages); !report.empty()) {
        state.SkipWithError(("the build reported: " + report).c_str());
        return;
    }
    int made = 0;
    for (const auto& entry : fs::recursive_directory_iterator(folder.destination))
        if (entry.is_regular_file()) ++made;
    const double ratio = buildSeconds / floorSeconds;
    state.counters["pictures"] = double(folder.pictures.size());
    state.counters["files"] = made;
    state.counters["floor_ms"] = floorSeconds * 1000;
    state.counters["ratio"] = ratio;
    state.counters["peak_MiB"] = double(peakKiB) / 1024.0;
    state.counters["start_MiB"] = double(baseKiB) / 1024.0;
    std::printf(
        "Create All of %zu pictures (%dx%d): build %.0f ms, floor %.0f ms, ratio %.3f (target <= 1.3), "
        "peak memory %.1f MiB (%.1f MiB at the start)\n",
        folder.pictures.size(), kWidth, kHeight, buildSeconds * 1000, floorSeconds * 1000, ratio,
        double(peakKiB) / 1024.0, double(baseKiB) / 1024.0);
}

// One mask over a 24-megapixel picture: its time.
void BM_MaskOverlay24MP(benchmark::State& state)
{
    constexpr int w = 6000, h = 4000;
    TBenchFolder folder;
    const std::string mask = VignetteMask(folder.Root);
    TRasterDIB picture;
    for (auto _ : state) {
        state.PauseTiming();
        picture.SetSize(w, h, 24);
        for (int row = 0; row < h; ++row) std::memset(picture.Rows[std::size_t(row)], row & 0xFF, std::size_t(w) * 3);
        state.ResumeTiming();
        ApplyOverlay(picture, mask, "", 0, RGBColor(40, 40, 40), 100, 0, 0);
    }
}

}  // namespace

BENCHMARK(BM_CreateAll)->Iterations(1)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_MaskOverlay24MP)->Iterations(1)->Unit(benchmark::kMillisecond);

int main(int argc, char** argv)
{
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    // The decorations' GIF pictures load through the picture registry, as in the program.
    InitializeImageFormats();
    TApplication application(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
