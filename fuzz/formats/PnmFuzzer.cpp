// Feeds arbitrary bytes to the portable-map loader.
#include "formats/ImageFormatsPnm.h"
#include "fuzz/FuzzGraphic.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    return FuzzGraphicLoad<TPPMGraphic>(data, size);
}
