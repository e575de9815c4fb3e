// JPEG decode and encode of a 12-megapixel photo-like picture: ours next to
// plain libjpeg-turbo on the same file in the same run, with the ratios, and
// the cost of turning a decoded photo upright.

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

const std::string& sourceFile()
{
    static const std::string path = [] {
        sourceMade = true;
        // Smooth shading with edges and a little grain, like a photograph.
        TRasterDIB dib;
        dib.UseGDI = false;
        dib.SetSize(kWidth, kHeight, 24);
        std::uint32_t seed = 12345;
        for (int y = 0; y < kHeight; ++y) {
            std::uint8_t* p = dib.Rows[std::size_t(y)];
            for (int x = 0; x < kWidth; ++x, p += 3) {
                seed = seed * 1664525u + 1013904223u;
                const int grain = int(seed >> 28) - 8;
                const double fx = x / double(kWidth), fy = y / double(kHeight);
                const double sky = 120 + 100 * fy + 20 * std::sin(fx * 9.0 + fy * 4.0);
                const bool hill = fy < 0.4 + 0.1 * std::sin(fx * 7.0);
                auto clamp = [](double v) { return std::uint8_t(v < 0 ? 0 : v > 255 ? 255 : v); };
                p[0] = clamp((hill ? 40 + 30 * std::sin(x * 0.05) : sky + 40) + grain);
                p[1] = clamp((hill ? 110 + 40 * std::cos(y * 0.03) : sky) + grain);
                p[2] = clamp((hill ? 60 : sky - 50) + grain);
            }
        }
        const std::string file = "/tmp/pictavo-jpeg-bench-" + std::to_string(getpid()) + ".jpg";
        WriteJpegFile(dib, file, 90);
        return file;
    }();
    return path;
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

void turboEncode(const std::string& file, const std::vector<std::uint8_t>& pixels, int quality)
{
    std::FILE* f = std::fopen(file.c_str(), "wb");
    jpeg_compress_struct cinfo;
    jpeg_error_mgr err;
    cinfo.err = jpeg_std_error(&err);
    jpeg_create_compress(&cinfo);
    jpeg_stdio_dest(&cinfo, f);
    cinfo.image_width = kWidth;
    cinfo.image_height = kHeight;
    cinfo.input_components = 3;
    cinfo.in_color_space = JCS_EXT_BGR;
    jpeg_set_defaults(&cinfo);
    jpeg_set_quality(&cinfo, quality, TRUE);
    jpeg_start_compress(&cinfo, TRUE);
    while (cinfo.next_scanline < cinfo.image_height) {
        JSAMPROW row = const_cast<std::uint8_t*>(pixels.data()) + std::size_t(kWidth) * 3 * cinfo.next_scanline;
        jpeg_write_scanlines(&cinfo, &row, 1);
    }
    jpeg_finish_compress(&cinfo);
    jpeg_destroy_compress(&cinfo);
    std::fclose(f);
}

void BM_OurDecode(benchmark::State& state)
{
    const std::string& file = sourceFile();
    for (auto _ : state) {
        TRasterDIB dib;
        dib.UseGDI = false;
        ReadJpegFile(dib, file, 1);
        benchmark::DoNotOptimize(dib.Bits);
    }
}

void BM_TurboDecode(benchmark::State& state)
{
    const std::string& file = sourceFile();
    std::vector<std::uint8_t> pixels;
    for (auto _ : state) {
        std::vector<std::uint8_t>().swap(pixels);  // a fresh buffer each time, as ours gets
        turboDecode(file, pixels);
        benchmark::DoNotOptimize(pixels.data());
    }
}

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
    for (auto _ : state) turboEncode(out, pixels, 60);
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

BENCHMARK(BM_OurDecode)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(BM_OrientUpright)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(BM_TurboDecode)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(BM_OurEncode)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(BM_TurboEncode)->Unit(benchmark::kMillisecond)->MinTime(2.0);

// Keeps each benchmark's time per iteration so the ratios can be printed.
class RatioReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override
    {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs)
            if (run.iterations > 0) {
                const std::string name = run.benchmark_name();
                times[name.substr(0, name.find('/'))] = run.real_accumulated_time / double(run.iterations);
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
    if (sourceMade) std::remove(sourceFile().c_str());
    benchmark::Shutdown();
    return 0;
}
