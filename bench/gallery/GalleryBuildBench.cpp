// "Create All" of N photo-like 12-megapixel JPEGs through the main window's
// own command, with the ratio to the floor of plain libjpeg-turbo work on the
// same pictures measured in the same run (one full decode and the encodes of
// the two output sizes per picture), and the build's peak memory.
//
// PICTAVO_BENCH_PICTURES sets N (default 20).

#include "GalleryBuildBenchJpeg.h"

#include "compositing/Argb.h"
#include "gallery/records/PropertyRecords.h"
#include "gallery/mainwindow/pvu.h"
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
constexpr int kImageWidth = 800, kImageHeight = 600, kImageQuality = 85;
constexpr int kThumbWidth = 120, kThumbHeight = 90, kThumbQuality = 75;

int PictureCount()
{
    const char* text = std::getenv("PICTAVO_BENCH_PICTURES");
    const int count = text ? std::atoi(text) : 20;
    return std::max(1, count);
}

struct BenchFolder {
    std::string root, sources, destination;
    std::vector<std::string> pictures;
    ~BenchFolder()
    {
        std::error_code ec;
        if (!root.empty()) fs::remove_all(root, ec);
    }
};

BenchFolder& Folder()
{
    static BenchFolder folder = [] {
        BenchFolder made;
        std::string templ = (fs::temp_directory_path() / "pictavo-bench-XXXXXX").string();
        std::vector<char> buffer(templ.begin(), templ.end());
        buffer.push_back('\0');
        if (!mkdtemp(buffer.data())) throw std::runtime_error("mkdtemp failed");
        made.root = std::string(buffer.data()) + "/";
        made.sources = made.root + "photos/";
        made.destination = made.root + "web";
        fs::create_directories(made.sources);
        fs::copy(std::string(PICTAVO_SOURCE_DIR) + "/data", made.root + "program",
                 fs::copy_options::recursive | fs::copy_options::overwrite_existing);
        for (int k = 0; k < PictureCount(); ++k) {
            char name[32];
            std::snprintf(name, sizeof name, "photo%03d.jpg", k);
            made.pictures.push_back(made.sources + name);
        }
        // Made in a child process, so their buffers do not count in our peak memory.
        const pid_t child = fork();
        if (child == 0) {
            unsigned seed = 1;
            for (const std::string& path : made.pictures) WritePhotoJpeg(path, kWidth, kHeight, seed++);
            _exit(0);
        }
        int status = 0;
        waitpid(child, &status, 0);
        return made;
    }();
    return folder;
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

void Configure(TForm1& form, const std::string& destination)
{
    form.Edit1->SetText(destination);
    form.Edit2->SetText("index1.html");
    form.Edit4->SetText("image01.htm");
    form.Edit5->SetText("tn_*");
    form.Edit9->SetText("image01");
    form.ComboBox3->SetItemIndex(0);
    form.ComboBox5->SetItemIndex(0);
    form.ComboBox9->SetItemIndex(1);
    form.ComboBox14->SetItemIndex(1);
    form.ComboBox4->SetItemIndex(2);  // thumbnails link to image pages
    form.ComboBox10->SetItemIndex(0);
    form.CheckBox7->SetChecked(true);
    form.ComboBox7->SetItemIndex(0);
    form.ComboBox8->SetItemIndex(0);
    form.SpinEdit12->SetValue(kThumbQuality);
    form.SpinEdit13->SetValue(kImageQuality);
    form.ComboBox6->SetItemIndex(1);  // thumbnail by pixels
    form.SpinEdit6->SetValue(kThumbWidth);
    form.SpinEdit7->SetValue(kThumbWidth);
    form.CheckBox1->SetChecked(true);
    form.CheckBox3->SetChecked(true);  // image resized
    form.ComboBox19->SetItemIndex(0);
    form.SpinEdit8->SetValue(kImageWidth);
    form.SpinEdit9->SetValue(kImageHeight);
    form.Menuitem7->SetChecked(false);
    form.Menuitem8->SetChecked(false);
}

// The main window set up for the benchmark's build, its message boxes
// collected in messages instead of shown.
std::unique_ptr<TForm1> BenchForm(const BenchFolder& folder, std::vector<std::string>& messages)
{
    SetMessageHook([&messages](const TMessageRequest& request) {
        messages.push_back(request.Caption + ": " + request.Text);
        return TModal::Ok;
    });
    auto form = std::make_unique<TForm1>();
    form->FormCreate();
    Configure(*form, folder.destination);
    return form;
}

// The pictures' folder with the program folder set; null (the benchmark
// skipped) when our JPEG library cannot be loaded.
BenchFolder* ReadyFolder(benchmark::State& state)
{
    BenchFolder& folder = Folder();
    SetProgramFolder(folder.root + "program/");
    if (LoadOurJpegLibrary(PICTAVO_BINARY_DIR)) return &folder;
    state.SkipWithError("our JPEG library is not there");
    return nullptr;
}

// Stops collecting message boxes; false (the benchmark skipped) when the
// build showed one.
bool NothingReported(benchmark::State& state, const std::vector<std::string>& messages)
{
    SetMessageHook(nullptr);
    if (messages.empty()) return true;
    state.SkipWithError(("the build reported: " + messages.front()).c_str());
    return false;
}

// The pictures listed afresh and "Create All" into an emptied destination:
// its seconds. The peak memory is reset first; baseKiB gets it then.
double TimedBuild(TForm1& form, const std::string& destination, const std::vector<std::string>& pictures,
                  long* baseKiB = nullptr)
{
    std::error_code ec;
    fs::remove_all(destination, ec);
    form.ListView1->Clear();
    for (const std::string& path : pictures) form.ListView1->Add(TForm1::MakeSourceItem(path));
    ResetPeakMemory();
    if (baseKiB) *baseKiB = PeakMemoryKiB();
    const auto start = std::chrono::steady_clock::now();
    form.CreateAll2->Click();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

void BM_CreateAll(benchmark::State& state)
{
    BenchFolder* ready = ReadyFolder(state);
    if (!ready) return;
    BenchFolder& folder = *ready;

    // The floor: the better of two whole passes over the pictures in list
    // order, as the build meets them (not one picture twice in a row).
    double floorSeconds = 1e30;
    for (int pass = 0; pass < 2; ++pass) {
        double total = 0;
        for (const std::string& path : folder.pictures)
            total +=
                FloorSeconds(path, kImageWidth, kImageHeight, kImageQuality, kThumbWidth, kThumbHeight, kThumbQuality);
        floorSeconds = std::min(floorSeconds, total);
    }
    ReleaseFloorBuffer();

    std::vector<std::string> messages;
    auto form = BenchForm(folder, messages);

    double buildSeconds = 0;
    long peakKiB = 0;
    long baseKiB = 0;
    for (auto _ : state) {
        buildSeconds = TimedBuild(*form, folder.destination, folder.pictures, &baseKiB);
        peakKiB = PeakMemoryKiB();
        state.SetIterationTime(buildSeconds);
    }
    if (!NothingReported(state, messages)) return;
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

// A vignette: white in the middle, fading to black at the corners.
std::string VignetteMask(const std::string& folder)
{
    const std::string path = folder + "vignette.bmp";
    TRasterDIB mask;
    mask.SetSize(400, 300, 24);
    for (int row = 0; row < 300; ++row)
        for (int x = 0; x < 400; ++x) {
            const double dx = (x - 199.5) / 200, dy = (row - 149.5) / 150;
            const double v = std::clamp(1.6 - 1.3 * std::sqrt(dx * dx + dy * dy), 0.0, 1.0) * 255;
            const auto grey = std::uint8_t(v);
            mask.SetPixelColor(row, x, TColorTriple{grey, grey, grey});
        }
    WriteBmpFile(mask, path);
    return path;
}

std::string MaskRecord(const std::string& maskFile)
{
    return MakePropertyRecord(
        {"1", maskFile, "0", "100", "0", std::to_string(RGBColor(40, 40, 40)), "0", "0", "0", ""});
}

// A decorated build next to the plain one in the same run (plain undoes what
// decorate turns on); the decorated build's time is the iteration's.
void DecoratedBesidePlain(benchmark::State& state, const char* decorations, void (*plain)(TForm1&),
                          void (*decorate)(TForm1&, const std::string& mask))
{
    BenchFolder* ready = ReadyFolder(state);
    if (!ready) return;
    BenchFolder& folder = *ready;
    std::vector<std::string> messages;
    auto form = BenchForm(folder, messages);
    const std::string mask = VignetteMask(folder.root);

    double plainSeconds = 0, decoratedSeconds = 0;
    for (auto _ : state) {
        plain(*form);
        plainSeconds = TimedBuild(*form, folder.destination, folder.pictures);
        decorate(*form, mask);
        decoratedSeconds = TimedBuild(*form, folder.destination, folder.pictures);
        state.SetIterationTime(decoratedSeconds);
    }
    if (!NothingReported(state, messages)) return;
    state.counters["plain_ms"] = plainSeconds * 1000;
    state.counters["ratio"] = decoratedSeconds / plainSeconds;
    std::printf("Create All of %zu pictures (%dx%d) with %s: %.0f ms, plain %.0f ms, ratio %.3f\n",
                folder.pictures.size(), kWidth, kHeight, decorations, decoratedSeconds * 1000, plainSeconds * 1000,
                decoratedSeconds / plainSeconds);
}

// The same build with a vignette mask on the image copies and the thumbnails.
void BM_CreateAllMasked(benchmark::State& state)
{
    DecoratedBesidePlain(
        state, "masks",
        [](TForm1& form) {
            form.CheckBox4->SetChecked(false);
            form.CheckBox2->SetChecked(false);
        },
        [](TForm1& form, const std::string& mask) {
            form.SetPropertyRecord(prAddMaskImage, MaskRecord(mask));
            form.SetPropertyRecord(prAddMaskThumb, MaskRecord(mask));
            form.CheckBox4->SetChecked(true);
            form.CheckBox2->SetChecked(true);
        });
}

// One mask over a 24-megapixel picture: its time and the most 32-bit
// picture-sized buffers alive at once (the picture itself is 24-bit).
void BM_MaskOverlay24MP(benchmark::State& state)
{
    constexpr int w = 6000, h = 4000;
    BenchFolder& folder = Folder();
    SetProgramFolder(folder.root + "program/");
    auto form = std::make_unique<TForm1>();
    const std::string mask = VignetteMask(folder.root);
    TRasterDIB picture;
    double buffers = 0;
    for (auto _ : state) {
        state.PauseTiming();
        picture.SetSize(w, h, 24);
        for (int row = 0; row < h; ++row) std::memset(picture.Rows[std::size_t(row)], row & 0xFF, std::size_t(w) * 3);
        const std::int64_t before = TArgbBitmap::PixelBytesInUse();
        TArgbBitmap::ResetPeakPixelBytes();
        state.ResumeTiming();
        form->ApplyOverlay(picture, mask, "", 0, RGBColor(40, 40, 40), 100, 0, 0);
        buffers = double(TArgbBitmap::PeakPixelBytes() - before) / (double(w) * h * 4);
        if (TArgbBitmap::PixelBytesInUse() != before) state.SkipWithError("32-bit buffers left after the overlay");
    }
    state.counters["peak_buffers"] = buffers;
    std::printf("Mask over %dx%d: at most %.2f picture-sized 32-bit buffers (%.0f MiB) at once\n", w, h, buffers,
                buffers * w * h * 4 / 1048576.0);
}

// Every decoration on, with the pictures installed in data/frames: the mask,
// frame picture, bevel and outline of both pictures, the logo and the text
// stamp of the image copies.
void DecorateEverything(TForm1& form, const std::string& mask)
{
    form.SetPropertyRecord(prAddMaskImage, MaskRecord(mask));
    form.SetPropertyRecord(prAddMaskThumb, MaskRecord(mask));
    const std::string frame = MakePropertyRecord({"1", "frames/frame-wood.gif", "0", "255", "0", "0"});
    form.SetPropertyRecord(prAddFrameImage, frame);
    form.SetPropertyRecord(prAddFrameThumb, frame);
    form.SetPropertyRecord(prAddButtonImage, "2|6|30|40|16777215|0|1|4|30|60|12632256|");
    form.SetPropertyRecord(prAddButtonThumb, "2|2|8|40|16777215|0|0|0|0|0|0|");
    form.SetPropertyRecord(prAddOutlineI, MakePropertyRecord({"1", "frames/outline-braid.gif", "20", "255", "12"}));
    form.SetPropertyRecord(prAddOutlineT, MakePropertyRecord({"1", "frames/outline-film.gif", "0", "255", "4"}));
    form.SetPropertyRecord(prAddLogo, "frames/logo.gif|8|-40|-40|30|0|0|255|0|");
    form.SetPropertyRecord(prAddText,
                           "Verdana|b|28|1|0|%filenoext|7|-120|0|20|0|0|2|0|255|100|120301|31231|0|"
                           "frames/bar1.gif|255|0|0|24|8|255|255|255|");
    form.CheckBox4->SetChecked(true);
    form.CheckBox2->SetChecked(true);
    form.CheckBox5->SetChecked(true);
    form.CheckBox6->SetChecked(true);
}

// The build with every decoration on.
void BM_CreateAllDecorated(benchmark::State& state)
{
    DecoratedBesidePlain(
        state, "every decoration",
        [](TForm1& form) {
            for (TCheckBox* box : {form.CheckBox4, form.CheckBox2, form.CheckBox5, form.CheckBox6})
                box->SetChecked(false);
        },
        DecorateEverything);
}

// The image copy of one 24-megapixel photo with every decoration on (they
// are drawn at the source's size, before the resize): the process's peak
// resident memory while it is made.
void BM_DecoratedImage24MP(benchmark::State& state)
{
    constexpr int w = 6000, h = 4000;
    BenchFolder* ready = ReadyFolder(state);
    if (!ready) return;
    BenchFolder& folder = *ready;
    const std::string photo = folder.root + "photo24mp.jpg";
    if (const pid_t child = fork(); child == 0) {
        WritePhotoJpeg(photo, w, h, 99);
        _exit(0);
    } else {
        int status = 0;
        waitpid(child, &status, 0);
    }
    std::vector<std::string> messages;
    auto form = BenchForm(folder, messages);
    DecorateEverything(*form, VignetteMask(folder.root));
    long peakKiB = 0, baseKiB = 0;
    int width = 0;
    for (auto _ : state) {
        ResetPeakMemory();
        baseKiB = PeakMemoryKiB();
        TRasterDIB target;
        int failed = -1;
        form->CreateImage(failed, photo, target);
        width = failed == 0 ? target.Width() : 0;
        peakKiB = PeakMemoryKiB();
    }
    SetMessageHook(nullptr);
    if (width != kImageWidth) state.SkipWithError("the decorated image copy was not made");
    state.counters["peak_MiB"] = double(peakKiB) / 1024.0;
    std::printf("Decorated image copy of a %dx%d photo: peak memory %.1f MiB (%.1f MiB at the start)\n", w, h,
                double(peakKiB) / 1024.0, double(baseKiB) / 1024.0);
}

}  // namespace

BENCHMARK(BM_CreateAll)->Iterations(1)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CreateAllMasked)->Iterations(1)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_MaskOverlay24MP)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CreateAllDecorated)->Iterations(1)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DecoratedImage24MP)->Iterations(1)->Unit(benchmark::kMillisecond);

int main(int argc, char** argv)
{
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    TApplication application(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
