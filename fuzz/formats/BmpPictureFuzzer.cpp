// Feeds arbitrary bytes to the registry's BMP class (the raster core's reader and the copy into the bitmap).
#include "formats/ImageFormatsBmp.h"
#include "fuzz/FuzzGraphic.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    return FuzzGraphicLoad<TBmpBitmap>(data, size);
}
