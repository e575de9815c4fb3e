// Any bytes as a JPEG checked ahead of libjpeg: the check walks
// markers, Huffman tables and coded data itself, so it must stay inside the
// bytes and its refinement history inside the budget, whatever it is given.
#include "platform/jpeg/JpegScanCheck.h"

#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    (void)TJpegScanCheck::Check(data, size);
    return 0;
}
