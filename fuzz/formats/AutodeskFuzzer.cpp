// Feeds arbitrary bytes to the Autodesk loader.
#include "formats/ImageFormatsAutodesk.h"
#include "fuzz/FuzzGraphic.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    return FuzzGraphicLoad<TAutodeskGraphic>(data, size);
}
