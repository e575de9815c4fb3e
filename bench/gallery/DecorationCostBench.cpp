// What the decorations cost a build, against the plain build of the same
// pictures in the same run.
//
// BM_DecorationCpuTime: "Create All" of N photo-like JPEGs of 5 to 12
// megapixels (odd sizes among them), plain, with each decoration alone, and
// with every decoration and the mask; the process's CPU time of each build
// (one thread: the build runs on this one), the median of three rounds taken
// in turn, and each as a ratio to the plain build's.
//
// BM_DecoratedPeakMemory48MP: the peak resident memory of "Create All" of
// one 48-megapixel photo, plain and with every decoration and the mask, each
// build in a process of its own (this program started again), as the kernel
// reports it when the process ends.
//
// PICTAVO_BENCH_PICTURES sets N (default 20).

#include "GalleryBenchForm.h"
#include "GalleryBuildBenchJpeg.h"

#include "formats/ImageFormats.h"
#include "platform/system/System.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <spawn.h>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace {

int PictureCount()
{
    const char* text = std::getenv("PICTAVO_BENCH_PICTURES");
    const int count = text ? std::atoi(text) : 20;
    return std::max(1, count);
}

// Made in a child process, so their buffers stay out of this one.
void WritePhotos(const std::vector<std::string>& paths, const std::vector<std::pair<int, int>>& sizes)
{
    const pid_t child = fork();
    if (child == 0) {
        for (std::size_t k = 0; k < paths.size(); ++k)
            WritePhotoJpeg(paths[k], sizes[k].first, sizes[k].second, unsigned(k + 1));
        _exit(0);
    }
    int status = 0;
    waitpid(child, &status, 0);
}

double ProcessCpuSeconds()
{
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return double(t.tv_sec) + double(t.tv_nsec) * 1e-9;
}

double Median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

// A build's decorations: none (plain), one, or all of them.
struct BuildCase {
    std::string name;
    std::vector<TBenchDecoration> decorations;
};

std::vector<BuildCase> BuildCases()
{
    std::vector<BuildCase> cases{{"plain", {}}};
    for (TBenchDecoration d : AllBenchDecorations) cases.push_back({DecorationName(d), {d}});
    cases.push_back({"every decoration with the mask",
                     std::vector<TBenchDecoration>(std::begin(AllBenchDecorations), std::end(AllBenchDecorations))});
    return cases;
}

void Decorate(TForm1& form, const BuildCase& c, const std::string& mask)
{
    PlainBuild(form);
    for (TBenchDecoration d : c.decorations) AddDecoration(form, d, mask);
}

void BM_DecorationCpuTime(benchmark::State& state)
{
    TBenchFolder folder;
    SetProgramFolder(folder.Program());
    if (!LoadOurJpegLibrary(PICTAVO_BINARY_DIR)) {
        state.SkipWithError("our JPEG library is not there");
        return;
    }
    // 5 to 12 megapixels, in landscape and portrait, odd sizes among them.
    const std::pair<int, int> sizes[] = {{2592, 1944}, {2739, 1825}, {3000, 2000}, {2448, 3264},
                                         {4000, 3000}, {3001, 2251}, {2880, 1920}, {3648, 2736}};
    std::vector<std::string> pictures;
    std::vector<std::pair<int, int>> pictureSizes;
    double megapixels = 0;
    for (int k = 0; k < PictureCount(); ++k) {
        pictures.push_back(folder.Root + "photo" + std::to_string(k) + ".jpg");
        pictureSizes.push_back(sizes[std::size_t(k) % std::size(sizes)]);
        megapixels += pictureSizes.back().first * double(pictureSizes.back().second) / 1e6;
    }
    WritePhotos(pictures, pictureSizes);
    const std::string mask = VignetteMask(folder.Root);
    const std::string destination = folder.Root + "web";
    std::vector<std::string> messages;
    auto form = BenchForm(destination, messages);

    const std::vector<BuildCase> cases = BuildCases();
    std::vector<std::vector<double>> seconds(cases.size());
    for (auto _ : state) {
        // Rounds of every case in turn, so a busy moment of the machine does
        // not fall on one case alone.
        for (int round = 0; round < 3; ++round)
            for (std::size_t c = 0; c < cases.size(); ++c) {
                Decorate(*form, cases[c], mask);
                const double start = ProcessCpuSeconds();
                RunBuild(*form, destination, pictures);
                seconds[c].push_back(ProcessCpuSeconds() - start);
            }
    }
    if (const std::string report = FirstReport(messages); !report.empty()) {
        state.SkipWithError(("the build reported: " + report).c_str());
        return;
    }
    const double plain = Median(seconds[0]);
    std::printf("Create All of %zu photos (%.0f megapixels), CPU time, median of 3:\n", pictures.size(), megapixels);
    for (std::size_t c = 0; c < cases.size(); ++c) {
        const double median = Median(seconds[c]);
        std::printf("  %-32s %8.0f ms  ratio %.3f\n", cases[c].name.c_str(), median * 1000, median / plain);
        state.counters[cases[c].name] = median / plain;
    }
    state.counters["plain_ms"] = plain * 1000;
}

// --- peak memory, one process per build ---------------------------------------------

constexpr const char* PeakChildFlag = "--decorated-peak-child";

// The child: "Create All" of the photo into its own destination, plain or
// with every decoration; exit status 0 when the build reported nothing.
int PeakChild(const std::string& root, const std::string& photo, bool decorated)
{
    SetProgramFolder(root + "program/");
    if (!LoadOurJpegLibrary(PICTAVO_BINARY_DIR)) return 2;
    std::vector<std::string> messages;
    const std::string destination = root + (decorated ? "web-decorated" : "web-plain");
    auto form = BenchForm(destination, messages);
    PlainBuild(*form);
    if (decorated) {
        const std::string mask = VignetteMask(root);
        for (TBenchDecoration d : AllBenchDecorations) AddDecoration(*form, d, mask);
    }
    RunBuild(*form, destination, {photo});
    const std::string report = FirstReport(messages);
    if (!report.empty()) std::fprintf(stderr, "the build reported: %s\n", report.c_str());
    return report.empty() ? 0 : 1;
}

// The peak resident memory of a child build in KiB; -1 when it failed.
long ChildPeakKiB(const std::string& root, const std::string& photo, bool decorated)
{
    std::string self = "/proc/self/exe", flag = PeakChildFlag, kind = decorated ? "decorated" : "plain";
    std::string rootArgument = root, photoArgument = photo;
    char* arguments[] = {self.data(), flag.data(), rootArgument.data(), photoArgument.data(), kind.data(), nullptr};
    pid_t child = 0;
    if (posix_spawn(&child, "/proc/self/exe", nullptr, nullptr, arguments, environ) != 0) return -1;
    int status = 0;
    rusage usage{};
    if (wait4(child, &status, 0, &usage) != child || !WIFEXITED(status) || WEXITSTATUS(status) != 0) return -1;
    return usage.ru_maxrss;
}

void BM_DecoratedPeakMemory48MP(benchmark::State& state)
{
    constexpr int w = 8000, h = 6000;
    TBenchFolder folder;
    const std::string photo = folder.Root + "photo48mp.jpg";
    WritePhotos({photo}, {{w, h}});
    long plain = 0, decorated = 0;
    for (auto _ : state) {
        plain = ChildPeakKiB(folder.Root, photo, false);
        decorated = ChildPeakKiB(folder.Root, photo, true);
    }
    if (plain <= 0 || decorated <= 0) {
        state.SkipWithError("a build process failed");
        return;
    }
    state.counters["plain_MiB"] = double(plain) / 1024.0;
    state.counters["decorated_MiB"] = double(decorated) / 1024.0;
    state.counters["ratio"] = double(decorated) / double(plain);
    std::printf(
        "Create All of one %dx%d photo, peak memory: plain %.1f MiB, every decoration with the mask %.1f MiB, "
        "ratio %.3f\n",
        w, h, double(plain) / 1024.0, double(decorated) / 1024.0, double(decorated) / double(plain));
}

}  // namespace

BENCHMARK(BM_DecorationCpuTime)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DecoratedPeakMemory48MP)->Iterations(1)->Unit(benchmark::kMillisecond);

int main(int argc, char** argv)
{
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    // The decorations' GIF pictures load through the picture registry, as in the program.
    InitializeImageFormats();
    if (argc == 5 && std::strcmp(argv[1], PeakChildFlag) == 0) {
        TApplication application(argc, argv);
        return PeakChild(argv[2], argv[3], std::strcmp(argv[4], "decorated") == 0);
    }
    TApplication application(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
