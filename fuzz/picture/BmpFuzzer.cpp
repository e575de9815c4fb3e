// Feeds arbitrary bytes to the TBitmap reader; errors are expected, crashes are not.
#include "platform/picture/Picture.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    TByteViewStream stream(data, size);
    TBitmap picture;
    try {
        picture.LoadFromStream(stream);
        if (auto rendered = picture.RenderBitmap())
            rendered->SetPixelFormat(pf24bit);
    } catch (const Exception&) {
    }
    return 0;
}
