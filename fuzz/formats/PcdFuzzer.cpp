// Feeds arbitrary bytes to the Photo-CD loader.
#include "formats/ImageFormatsPcd.h"
#include "fuzz/FuzzGraphic.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    return FuzzGraphicLoad<TPCDGraphic>(data, size);
}
