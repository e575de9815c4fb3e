// Feeds arbitrary bytes to the RLA loader.
#include "formats/ImageFormatsRla.h"
#include "fuzz/FuzzGraphic.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    return FuzzGraphicLoad<TRLAGraphic>(data, size);
}
