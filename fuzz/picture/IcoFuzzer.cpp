// Feeds arbitrary bytes to the TIcon reader.
#include "platform/picture/Icon.h"
#include "fuzz/FuzzGraphic.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    return FuzzGraphicLoad<TIcon>(data, size);
}
