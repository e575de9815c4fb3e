// Feeds arbitrary bytes to the registry's BMP class (the raster core's reader
// and the copy into the bitmap); errors are expected, crashes are not.
#include "formats/ImageFormatsBmp.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    TByteViewStream stream(data, size);
    TBmpBitmap picture;
    try {
        picture.LoadFromStream(stream);
        if (auto rendered = picture.RenderBitmap())
            rendered->SetPixelFormat(pf24bit);
    } catch (const Exception&) {
    }
    return 0;
}
