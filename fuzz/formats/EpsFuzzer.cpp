// Feeds arbitrary bytes to the EPS loader (a binary header and its TIFF preview).
#include "formats/ImageFormatsTiff.h"
#include "fuzz/FuzzGraphic.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    return FuzzGraphicLoad<TEPSGraphic>(data, size);
}
