#include "GalleryBuildBenchJpeg.h"

#include "raster/RasterFiles.h"

#include <chrono>
#include <cmath>
#include <cstdio>
#include <stdexcept>
#include <vector>

#include <jpeglib.h>

namespace {

std::uint8_t Clamp(double v) { return std::uint8_t(v < 0 ? 0 : v > 255 ? 255 : v); }

// Encodes RGB rows into memory; the buffer keeps the floor honest (no disk).
void EncodeToMemory(const std::vector<std::uint8_t>& rgb, int width, int height, int quality)
{
    jpeg_compress_struct info{};
    jpeg_error_mgr errors{};
    info.err = jpeg_std_error(&errors);
    jpeg_create_compress(&info);
    unsigned char* out = nullptr;
    unsigned long outSize = 0;
    jpeg_mem_dest(&info, &out, &outSize);
    info.image_width = JDIMENSION(width);
    info.image_height = JDIMENSION(height);
    info.input_components = 3;
    info.in_color_space = JCS_RGB;
    jpeg_set_defaults(&info);
    jpeg_set_quality(&info, quality, TRUE);
    jpeg_start_compress(&info, TRUE);
    while (info.next_scanline < info.image_height) {
        JSAMPROW row = const_cast<JSAMPROW>(&rgb[std::size_t(info.next_scanline) * std::size_t(width) * 3]);
        jpeg_write_scanlines(&info, &row, 1);
    }
    jpeg_finish_compress(&info);
    jpeg_destroy_compress(&info);
    free(out);
}

// Nearest-neighbour reduction, only to have pixels of the output size to encode (not timed).
std::vector<std::uint8_t> Reduce(const std::vector<std::uint8_t>& rgb, int width, int height, int newWidth,
                                 int newHeight)
{
    std::vector<std::uint8_t> out(std::size_t(newWidth) * std::size_t(newHeight) * 3);
    for (int y = 0; y < newHeight; ++y)
        for (int x = 0; x < newWidth; ++x) {
            const std::size_t from =
                (std::size_t(y) * std::size_t(height) / std::size_t(newHeight) * std::size_t(width) +
                 std::size_t(x) * std::size_t(width) / std::size_t(newWidth)) *
                3;
            const std::size_t to = (std::size_t(y) * std::size_t(newWidth) + std::size_t(x)) * 3;
            for (int c = 0; c < 3; ++c) out[to + std::size_t(c)] = rgb[from + std::size_t(c)];
        }
    return out;
}

std::vector<std::uint8_t>& FloorBuffer()
{
    static std::vector<std::uint8_t> buffer;
    return buffer;
}

}  // namespace

void ReleaseFloorBuffer() { std::vector<std::uint8_t>().swap(FloorBuffer()); }

void WritePhotoJpeg(const std::string& path, int width, int height, unsigned seed)
{
    // Smooth shading with edges and grain, so it compresses like a photograph.
    std::vector<std::uint8_t> rgb(std::size_t(width) * std::size_t(height) * 3);
    std::uint32_t state = seed;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            state = state * 1664525u + 1013904223u;
            const int grain = int(state >> 28) - 8;
            const double fx = x / double(width), fy = y / double(height);
            const double sky = 120 + 100 * fy + 20 * std::sin(fx * 9.0 + fy * 4.0 + seed);
            const bool hill = fy > 0.6 + 0.1 * std::sin(fx * 7.0 + seed);
            std::uint8_t* p = &rgb[(std::size_t(y) * std::size_t(width) + std::size_t(x)) * 3];
            p[0] = Clamp((hill ? 60 + 30 * std::sin(x * 0.05) : sky - 40) + grain);
            p[1] = Clamp((hill ? 110 + 40 * std::cos(y * 0.03) : sky) + grain);
            p[2] = Clamp((hill ? 50 : sky + 50) + grain);
        }
    FILE* file = std::fopen(path.c_str(), "wb");
    if (!file) throw std::runtime_error("cannot write " + path);
    jpeg_compress_struct info{};
    jpeg_error_mgr errors{};
    info.err = jpeg_std_error(&errors);
    jpeg_create_compress(&info);
    jpeg_stdio_dest(&info, file);
    info.image_width = JDIMENSION(width);
    info.image_height = JDIMENSION(height);
    info.input_components = 3;
    info.in_color_space = JCS_RGB;
    jpeg_set_defaults(&info);
    jpeg_set_quality(&info, 90, TRUE);
    jpeg_start_compress(&info, TRUE);
    while (info.next_scanline < info.image_height) {
        JSAMPROW row = &rgb[std::size_t(info.next_scanline) * std::size_t(width) * 3];
        jpeg_write_scanlines(&info, &row, 1);
    }
    jpeg_finish_compress(&info);
    jpeg_destroy_compress(&info);
    std::fclose(file);
}

double FloorSeconds(const std::string& path, int imageWidth, int imageHeight, int imageQuality, int thumbWidth,
                    int thumbHeight, int thumbQuality)
{
    using Clock = std::chrono::steady_clock;
    const auto start = Clock::now();
    FILE* file = std::fopen(path.c_str(), "rb");
    if (!file) throw std::runtime_error("cannot read " + path);
    jpeg_decompress_struct info{};
    jpeg_error_mgr errors{};
    info.err = jpeg_std_error(&errors);
    jpeg_create_decompress(&info);
    jpeg_stdio_src(&info, file);
    jpeg_read_header(&info, TRUE);
    info.out_color_space = JCS_RGB;
    jpeg_start_decompress(&info);
    const int width = int(info.output_width), height = int(info.output_height);
    // One buffer for every call: the floor counts decoding, not faulting in fresh memory.
    std::vector<std::uint8_t>& rgb = FloorBuffer();
    rgb.resize(std::size_t(width) * std::size_t(height) * 3);
    while (info.output_scanline < info.output_height) {
        JSAMPROW row = &rgb[std::size_t(info.output_scanline) * std::size_t(width) * 3];
        jpeg_read_scanlines(&info, &row, 1);
    }
    jpeg_finish_decompress(&info);
    jpeg_destroy_decompress(&info);
    std::fclose(file);
    const auto decoded = Clock::now();

    const auto image = Reduce(rgb, width, height, imageWidth, imageHeight);
    const auto thumb = Reduce(rgb, width, height, thumbWidth, thumbHeight);
    const auto encodeStart = Clock::now();
    EncodeToMemory(image, imageWidth, imageHeight, imageQuality);
    EncodeToMemory(thumb, thumbWidth, thumbHeight, thumbQuality);
    const auto end = Clock::now();
    return std::chrono::duration<double>(decoded - start).count() +
           std::chrono::duration<double>(end - encodeStart).count();
}

bool LoadOurJpegLibrary(const std::string& buildFolder)
{
    if (JpegLibraryPresent()) return true;
    return ReloadJpegLibrary(buildFolder + "/libijl15.so");
}
