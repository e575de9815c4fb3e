// Feeds arbitrary bytes to the SGI loader.
#include "formats/ImageFormatsSgi.h"
#include "fuzz/FuzzGraphic.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    return FuzzGraphicLoad<TSGIGraphic>(data, size);
}
