// Feeds arbitrary bytes to the TJPEGImage reader; errors are expected, crashes are not.
#include "platform/picture/JPEGImage.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    TByteViewStream stream(data, size);
    TJPEGImage picture;
    try {
        picture.LoadFromStream(stream);
        if (auto rendered = picture.RenderBitmap())
            rendered->SetPixelFormat(pf24bit);
    } catch (const Exception&) {
    }
    return 0;
}
