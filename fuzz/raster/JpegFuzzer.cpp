// Any bytes through the JPEG reader: a bad file gives an empty buffer.
#include "raster/RasterFiles.h"

#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static const std::string path = "/tmp/pictavo-jpeg-fuzz-" + std::to_string(getpid()) + ".jpg";
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (!file) return 0;
    std::fwrite(data, 1, size, file);
    std::fclose(file);
    TRasterDIB dib;
    try {
        ReadJpegFile(dib, path, 1);
    } catch (const Exception&) {
    }
    return 0;
}
