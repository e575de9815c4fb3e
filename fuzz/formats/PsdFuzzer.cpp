// Feeds arbitrary bytes to the Photoshop loader.
#include "formats/ImageFormatsPsd.h"
#include "fuzz/FuzzGraphic.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    return FuzzGraphicLoad<TPSDGraphic>(data, size);
}
