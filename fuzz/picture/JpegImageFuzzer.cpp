// Feeds arbitrary bytes to the TJPEGImage reader.
#include "platform/picture/JPEGImage.h"
#include "fuzz/FuzzGraphic.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    return FuzzGraphicLoad<TJPEGImage>(data, size);
}
