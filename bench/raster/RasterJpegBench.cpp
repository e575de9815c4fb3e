// JPEG decode and encode of a 12-megapixel photo-like picture: ours next to
// plain libjpeg-turbo on the same file in the same run, with the ratios, and
// the cost of turning a decoded photo upright. Web-sized photos (0.3 and 0.8
// megapixels) decoded the same two ways, with what the scan-data count that
// bounds every JPEG costs of such a decode. Valid pictures large for their
// file (32 times it or more), whose coded data is checked before they are
// decoded: ours, plain libjpeg-turbo's decode and the check alone.

#include "platform/jpeg/JpegDecoding.h"
#include "platform/jpeg/JpegMetadata.h"
#include "raster/RasterFiles.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include <jpeglib.h>
#include <unistd.h>

namespace {

constexpr int kWidth = 4000, kHeight = 3000;

bool sourceMade = false;

// Smooth shading with edges and a little grain, like a photograph; `detail`
// adds fine texture (leaves) to the hill, `grain` sets the grain's range.
void paintPhoto(TRasterDIB& dib, int width, int height, double detail = 0, int grain = 16)
{
    dib.UseGDI = false;
    dib.SetSize(width, height, 24);
    std::uint32_t seed = 12345;
    for (int y = 0; y < height; ++y) {
        std::uint8_t* p = dib.Rows[std::size_t(y)];
        for (int x = 0; x < width; ++x, p += 3) {
            seed = seed * 1664525u + 1013904223u;
            const int noise = grain == 16 ? int(seed >> 28) - 8 : int((seed >> 16) % unsigned(grain)) - grain / 2;
            const double fx = x / double(width), fy = y / double(height);
            const double sky = 120 + 100 * fy + 20 * std::sin(fx * 9.0 + fy * 4.0);
            const bool hill = fy < 0.4 + 0.1 * std::sin(fx * 7.0);
            const double leaves =
                detail * std::sin(x * 0.9 + 3 * std::sin(y * 0.05)) * std::sin(y * 1.1 + 2 * std::sin(x * 0.07));
            auto clamp = [](double v) { return std::uint8_t(v < 0 ? 0 : v > 255 ? 255 : v); };
            p[0] = clamp((hill ? 40 + 30 * std::sin(x * 0.05) + leaves : sky + 40) + noise);
            p[1] = clamp((hill ? 110 + 40 * std::cos(y * 0.03) + leaves : sky) + noise);
            p[2] = clamp((hill ? 60 + leaves : sky - 50) + noise);
        }
    }
}

// Such a picture written as a JPEG of quality 90.
std::string photoFile(int width, int height, const std::string& name)
{
    TRasterDIB dib;
    paintPhoto(dib, width, height);
    const std::string file = "/tmp/pictavo-jpeg-bench-" + std::to_string(getpid()) + "-" + name + ".jpg";
    WriteJpegFile(dib, file, 90);
    return file;
}

const std::string& sourceFile()
{
    static const std::string path = [] {
        sourceMade = true;
        return photoFile(kWidth, kHeight, "12mp");
    }();
    return path;
}

// Web-sized photos: 640 x 480 and 1024 x 768.
constexpr int kWebSizes[][2] = {{640, 480}, {1024, 768}};
bool webMade = false;

const std::string& webFile(int index)
{
    static const std::string paths[] = {photoFile(kWebSizes[0][0], kWebSizes[0][1], "web0"),
                                        photoFile(kWebSizes[1][0], kWebSizes[1][1], "web1")};
    webMade = true;
    return paths[index];
}

void turboDecode(const std::string& file, std::vector<std::uint8_t>& pixels)
{
    std::FILE* f = std::fopen(file.c_str(), "rb");
    jpeg_decompress_struct cinfo;
    jpeg_error_mgr err;
    cinfo.err = jpeg_std_error(&err);
    jpeg_create_decompress(&cinfo);
    jpeg_stdio_src(&cinfo, f);
    jpeg_read_header(&cinfo, TRUE);
    cinfo.out_color_space = JCS_EXT_BGR;
    jpeg_start_decompress(&cinfo);
    const std::size_t stride = std::size_t(cinfo.output_width) * 3;
    pixels.resize(stride * cinfo.output_height);
    while (cinfo.output_scanline < cinfo.output_height) {
        JSAMPROW row = pixels.data() + stride * cinfo.output_scanline;
        jpeg_read_scanlines(&cinfo, &row, 1);
    }
    jpeg_finish_decompress(&cinfo);
    jpeg_destroy_decompress(&cinfo);
    std::fclose(f);
}

// libjpeg-turbo's own encode of width x height blue-green-red rows, each
// given by rowAt(y).
template <class RowAt>
void turboEncode(const std::string& file, int width, int height, int quality, bool progressive, RowAt rowAt)
{
    std::FILE* f = std::fopen(file.c_str(), "wb");
    jpeg_compress_struct cinfo;
    jpeg_error_mgr err;
    cinfo.err = jpeg_std_error(&err);
    jpeg_create_compress(&cinfo);
    jpeg_stdio_dest(&cinfo, f);
    cinfo.image_width = JDIMENSION(width);
    cinfo.image_height = JDIMENSION(height);
    cinfo.input_components = 3;
    cinfo.in_color_space = JCS_EXT_BGR;
    jpeg_set_defaults(&cinfo);
    jpeg_set_quality(&cinfo, quality, TRUE);
    if (progressive) jpeg_simple_progression(&cinfo);
    jpeg_start_compress(&cinfo, TRUE);
    while (cinfo.next_scanline < cinfo.image_height) {
        JSAMPROW row = const_cast<std::uint8_t*>(rowAt(int(cinfo.next_scanline)));
        jpeg_write_scanlines(&cinfo, &row, 1);
    }
    jpeg_finish_compress(&cinfo);
    jpeg_destroy_compress(&cinfo);
    std::fclose(f);
}

// One file decoded as the gallery reads it (header read, then the whole read).
void decodeOurs(benchmark::State& state, const std::string& file)
{
    for (auto _ : state) {
        TRasterDIB dib;
        dib.UseGDI = false;
        ReadJpegFile(dib, file, 1);
        benchmark::DoNotOptimize(dib.Bits);
    }
}

void decodeTurbo(benchmark::State& state, const std::string& file)
{
    std::vector<std::uint8_t> pixels;
    for (auto _ : state) {
        std::vector<std::uint8_t>().swap(pixels);  // a fresh buffer each time, as ours gets
        turboDecode(file, pixels);
        benchmark::DoNotOptimize(pixels.data());
    }
}

void BM_OurDecode(benchmark::State& state) { decodeOurs(state, sourceFile()); }

void BM_TurboDecode(benchmark::State& state) { decodeTurbo(state, sourceFile()); }

void BM_OurEncode(benchmark::State& state)
{
    TRasterDIB dib;
    dib.UseGDI = false;
    ReadJpegFile(dib, sourceFile(), 1);
    const std::string out = sourceFile() + ".ours.jpg";
    for (auto _ : state) WriteJpegFile(dib, out, 60);
    std::remove(out.c_str());
}

void BM_TurboEncode(benchmark::State& state)
{
    std::vector<std::uint8_t> pixels;
    turboDecode(sourceFile(), pixels);
    const std::string out = sourceFile() + ".turbo.jpg";
    for (auto _ : state)
        turboEncode(out, kWidth, kHeight, 60, false,
                    [&](int y) { return pixels.data() + std::size_t(kWidth) * 3 * std::size_t(y); });
    std::remove(out.c_str());
}

// Turning a decoded photo upright (a phone's portrait: orientation 6), next
// to its decode.
void BM_OrientUpright(benchmark::State& state)
{
    TRasterDIB decoded;
    decoded.UseGDI = false;
    ReadJpegFile(decoded, sourceFile(), 1);
    for (auto _ : state) {
        state.PauseTiming();
        TRasterDIB dib;
        dib.UseGDI = false;
        dib.SetSize(decoded.Width(), decoded.Header.Height, 24);
        std::memcpy(dib.Bits, decoded.Bits, decoded.Header.ImageSize);
        state.ResumeTiming();
        OrientPicture(dib, 6);
        benchmark::DoNotOptimize(dib.Bits);
    }
}

// A web-sized photo, ours and plain libjpeg-turbo's.
void BM_OurDecodeWeb(benchmark::State& state) { decodeOurs(state, webFile(int(state.range(0)))); }

void BM_TurboDecodeWeb(benchmark::State& state) { decodeTurbo(state, webFile(int(state.range(0)))); }

// The scan-data count of one such decode: the JPEG library counts the coded
// data up to the bound twice (header read and whole read), stopping once it
// is met. Counted here from the start of the file, which costs a little more.
void BM_ScanCountWeb(benchmark::State& state)
{
    const int index = int(state.range(0));
    const std::vector<std::uint8_t> bytes = [&] {
        std::vector<std::uint8_t> all;
        std::FILE* f = std::fopen(webFile(index).c_str(), "rb");
        for (int c; (c = std::fgetc(f)) != EOF;) all.push_back(std::uint8_t(c));
        std::fclose(f);
        return all;
    }();
    TJpegFrameShape shape;
    shape.Width = std::uint32_t(kWebSizes[index][0]);
    shape.Height = std::uint32_t(kWebSizes[index][1]);
    shape.Components = 3;
    shape.HorizontalSampling[0] = shape.VerticalSampling[0] = 2;
    const std::uint64_t bound = JpegFillBytes(shape);
    for (auto _ : state)
        for (int read = 0; read < 2; ++read) {
            TJpegScanData data(TJpegScanData::From::StreamStart);
            data.FeedUntil(bytes.data(), bytes.size(), bound);
            benchmark::DoNotOptimize(data.Bytes());
        }
}

// Valid pictures large for their file (32 to 80 times it): a 24-megapixel
// photo of quality 25 with fine texture, progressive and baseline; a smooth
// 16-megapixel picture tiled 2 x 2, progressive of quality 85; a 48-megapixel
// progressive photo of quality 30; a 3840 x 2400 baseline stream of quality
// 85 as a TIFF strip holds it (checked in memory, as strips are).
struct TLargeKind {
    const char* name;
    int width, height, tiles, quality;
    bool progressive;
    double detail;
    int grain;
};
constexpr TLargeKind kLarge[] = {{"24mp-progressive-q25", 6000, 4000, 1, 25, true, 50, 40},
                                 {"24mp-baseline-q25", 6000, 4000, 1, 25, false, 50, 40},
                                 {"64mp-tiled-progressive-q85", 5000, 3200, 2, 85, true, 0, 4},
                                 {"48mp-progressive-q30", 8485, 5657, 1, 30, true, 50, 40},
                                 {"tiff-strip-q85", 3840, 2400, 1, 85, false, 8, 6}};
bool largeMade[std::size(kLarge)] = {};

void writeLarge(const TLargeKind& kind, const std::string& file)
{
    TRasterDIB dib;
    paintPhoto(dib, kind.width, kind.height, kind.detail, kind.grain);
    std::vector<std::uint8_t> row(std::size_t(kind.width) * kind.tiles * 3);
    turboEncode(file, kind.width * kind.tiles, kind.height * kind.tiles, kind.quality, kind.progressive, [&](int y) {
        const std::uint8_t* from = dib.Rows[std::size_t(y % kind.height)];
        for (int t = 0; t < kind.tiles; ++t)
            std::memcpy(row.data() + std::size_t(t) * kind.width * 3, from, std::size_t(kind.width) * 3);
        return row.data();
    });
}

const std::string& largeFile(int index)
{
    static std::string paths[std::size(kLarge)];
    if (!largeMade[index]) {
        paths[index] = "/tmp/pictavo-jpeg-bench-" + std::to_string(getpid()) + "-" + kLarge[index].name + ".jpg";
        writeLarge(kLarge[index], paths[index]);
        largeMade[index] = true;
    }
    return paths[index];
}

std::vector<std::uint8_t> fileBytes(const std::string& file)
{
    std::vector<std::uint8_t> bytes;
    std::FILE* f = std::fopen(file.c_str(), "rb");
    std::fseek(f, 0, SEEK_END);
    bytes.resize(std::size_t(std::ftell(f)));
    std::fseek(f, 0, SEEK_SET);
    if (std::fread(bytes.data(), 1, bytes.size(), f) != bytes.size()) bytes.clear();
    std::fclose(f);
    return bytes;
}

void BM_OurDecodeLarge(benchmark::State& state)
{
    const int index = int(state.range(0));
    const std::string& file = largeFile(index);
    const TLargeKind& kind = kLarge[index];
    const double pixels = double(kind.width) * kind.height * kind.tiles * kind.tiles;
    state.counters["bpp"] = 8.0 * double(fileBytes(file).size()) / pixels;
    state.counters["expansion"] = 3.0 * pixels / double(fileBytes(file).size());
    state.SetLabel(kind.name);
    decodeOurs(state, file);
}

void BM_TurboDecodeLarge(benchmark::State& state) { decodeTurbo(state, largeFile(int(state.range(0)))); }

// The check alone: from the file as the JPEG library checks a .jpg, from
// memory as the picture registry and TIFF strips are checked.
void BM_CheckLarge(benchmark::State& state)
{
    const int index = int(state.range(0));
    const std::string& file = largeFile(index);
    const std::vector<std::uint8_t> bytes = fileBytes(file);
    const bool fromMemory = std::string(kLarge[index].name).rfind("tiff", 0) == 0;
    for (auto _ : state) {
        const bool sound =
            fromMemory ? JpegCodedDataSound(bytes.data(), bytes.size()) : JpegCodedDataSound(file.c_str());
        if (!sound) state.SkipWithError("a valid picture was refused");
    }
}

BENCHMARK(BM_OurDecode)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(BM_OurDecodeWeb)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond)->MinTime(1.0);
BENCHMARK(BM_TurboDecodeWeb)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond)->MinTime(1.0);
BENCHMARK(BM_ScanCountWeb)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond)->MinTime(1.0);
BENCHMARK(BM_OrientUpright)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(BM_TurboDecode)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(BM_OurEncode)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(BM_TurboEncode)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(BM_OurDecodeLarge)->DenseRange(0, int(std::size(kLarge)) - 1)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(BM_TurboDecodeLarge)->DenseRange(0, int(std::size(kLarge)) - 1)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(BM_CheckLarge)->DenseRange(0, int(std::size(kLarge)) - 1)->Unit(benchmark::kMillisecond)->MinTime(2.0);

// Keeps each benchmark's CPU time per iteration so the ratios can be
// printed (wall time swings with whatever else the machine runs).
class RatioReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override
    {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs)
            if (run.iterations > 0) {
                const std::string name = run.benchmark_name();
                times[name.substr(0, name.find("/min_time"))] = run.cpu_accumulated_time / double(run.iterations);
            }
    }
    std::map<std::string, double> times;
};

}  // namespace

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    auto ratio = [&](const char* ours, const char* theirs) {
        const auto a = reporter.times.find(ours), b = reporter.times.find(theirs);
        if (a != reporter.times.end() && b != reporter.times.end() && b->second > 0)
            std::printf("%s / %s = %.3f\n", ours, theirs, a->second / b->second);
    };
    ratio("BM_OurDecode", "BM_TurboDecode");
    ratio("BM_OurEncode", "BM_TurboEncode");
    ratio("BM_OrientUpright", "BM_OurDecode");
    for (const char* size : {"/0", "/1"}) {
        ratio((std::string("BM_OurDecodeWeb") + size).c_str(), (std::string("BM_TurboDecodeWeb") + size).c_str());
        ratio((std::string("BM_ScanCountWeb") + size).c_str(), (std::string("BM_OurDecodeWeb") + size).c_str());
    }
    for (std::size_t i = 0; i < std::size(kLarge); ++i) {
        const std::string n = "/" + std::to_string(i);
        ratio(("BM_OurDecodeLarge" + n).c_str(), ("BM_TurboDecodeLarge" + n).c_str());
        ratio(("BM_CheckLarge" + n).c_str(), ("BM_TurboDecodeLarge" + n).c_str());
    }
    if (sourceMade) std::remove(sourceFile().c_str());
    if (webMade)
        for (int i = 0; i < 2; ++i) std::remove(webFile(i).c_str());
    for (std::size_t i = 0; i < std::size(kLarge); ++i)
        if (largeMade[i]) std::remove(largeFile(int(i)).c_str());
    benchmark::Shutdown();
    return 0;
}
