// Feeds arbitrary blocks to the ThunderScan decoder; the first two bytes
// choose the row width and Dest's size.
#include "formats/FormatCompressionTiff.h"

#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size < 2) return 0;
    TThunderDecoder decoder(data[0]);
    std::vector<std::uint8_t> out(std::size_t(data[1]) * 3);
    const std::uint8_t* source = data + 2;
    std::uint8_t* dest = out.data();
    decoder.Decode(source, dest, size - 2, out.size());
    return 0;
}
