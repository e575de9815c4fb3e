// Feeds arbitrary bytes to the PNG loader.
#include "formats/ImageFormatsLoaders.h"
#include "fuzz/FuzzGraphic.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    return FuzzGraphicLoad<TPNGGraphic>(data, size);
}
