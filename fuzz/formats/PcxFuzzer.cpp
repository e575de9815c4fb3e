// Feeds arbitrary bytes to the PCX loader; its own errors are expected.

#include "formats/ImageFormatsLoaders.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    TByteViewStream stream(data, size);
    try {
        TPCXGraphic graphic;
        graphic.LoadFromStream(stream);
    } catch (const Exception&) {
    }
    return 0;
}
