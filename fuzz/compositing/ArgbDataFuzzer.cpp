// Any bytes as a bitmap's "Data" stream: a bad stream raises the reader's
// error and leaves the bitmap empty; it never crashes or over-allocates.
#include "compositing/Argb.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    TArgbBitmap bitmap;
    TByteViewStream stream(data, size);
    try {
        bitmap.ReadData(stream);
    } catch (const Exception&) {
        if (!bitmap.Empty()) std::abort();
    }
    return 0;
}
