// Feeds arbitrary bytes to the Paint Shop Pro loader.
#include "formats/ImageFormatsPsp.h"
#include "fuzz/FuzzGraphic.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    return FuzzGraphicLoad<TPSPGraphic>(data, size);
}
