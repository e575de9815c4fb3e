// Feeds arbitrary coded data to the Photo-CD residual decoder; the first two
// bytes choose the plane width (one or three tables) and the row count. The
// decoder reads whole sectors, so the data is padded with zeros to one.
#include "formats/FormatCompressionPcd.h"
#include "platform/core/Exception.h"

#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size < 2) return 0;
    const std::size_t width = std::size_t(8) << (data[0] % 10);
    const std::size_t rows = std::size_t(data[1] % 64) + 1;
    std::vector<std::uint8_t> luma(width * rows, 128), chroma1(width * (rows / 2 + 1), 128),
        chroma2(chroma1.size(), 128);
    std::vector<std::uint8_t> coded(data + 2, data + size);
    coded.resize((coded.size() / 2048 + 1) * 2048, 0);
    TByteViewStream stream(coded.data(), coded.size());
    TPCDDecoder decoder(stream);
    TPCDPlanes planes{luma.data(), chroma1.data(), chroma2.data(), luma.size(), chroma1.size()};
    try {
        decoder.DecodePlanes(planes, width, rows);
    } catch (const Exception&) {
    }
    return 0;
}
