// Feeds arbitrary blocks to the CCITT decoders. The first four bytes choose
// the member, the fill order and the row width and Dest's size; the rest is
// the block, copied because a reversed fill order is undone in place.
#include "formats/FormatCompressionTiff.h"

#include <memory>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size < 4) return 0;
    const int member = data[0] % 3;  // Group 3, modified Huffman, word-aligned modified Huffman
    const bool swapBits = (data[0] & 4) != 0;
    const std::uint32_t width = 1 + (data[1] | (data[2] & 0x0F) << 8);
    const std::size_t unpacked = std::size_t(data[3]) * 17;
    std::vector<std::uint8_t> block(data + 4, data + size);
    std::vector<std::uint8_t> out(unpacked);
    std::unique_ptr<TDecoder> decoder;
    if (member == 0)
        decoder = std::make_unique<TCCITTFax3Decoder>(0, swapBits, width);
    else
        decoder = std::make_unique<TCCITTMHDecoder>(0, swapBits, member == 2, width);
    const std::uint8_t* source = block.data();
    std::uint8_t* dest = out.data();
    decoder->Decode(source, dest, block.size(), out.size());
    return 0;
}
