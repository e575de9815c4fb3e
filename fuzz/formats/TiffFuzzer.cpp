// Feeds arbitrary bytes to the TIFF loader.
#include "formats/ImageFormatsTiff.h"
#include "fuzz/FuzzGraphic.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    return FuzzGraphicLoad<TTIFFGraphic>(data, size);
}
