// Any bytes through the BMP reader: it may raise its error, never crash.
#include "raster/RasterFiles.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    TRasterDIB dib;
    dib.UseGDI = (size & 1) != 0;  // both kinds of pixel memory
    TByteViewStream stream(data, size);
    try {
        ReadBmpStream(dib, stream);
    } catch (const Exception&) {
    }
    return 0;
}
