// ThunderScan 4-bit data (TIFF compression 32809).

#include "formats/FormatCompressionTiff.h"

#include <algorithm>

namespace {

// Deltas of the 2-bit and 3-bit fields; the marked value means "no sample".
constexpr int NoSample = 99;
constexpr int TwoBitDeltas[4] = {0, 1, NoSample, -1};
constexpr int ThreeBitDeltas[8] = {0, 1, 2, 3, NoSample, -3, -2, -1};

}  // namespace

void TThunderDecoder::Decode(const std::uint8_t*& Source, std::uint8_t*& Dest, std::size_t PackedSize,
                             std::size_t UnpackedSize)
{
    consumed_ = produced_ = 0;
    if (RowWidth == 0) return;
    const std::size_t rowBytes = (std::size_t(RowWidth) + 1) / 2;
    std::size_t in = 0;
    for (std::size_t rowStart = 0; rowStart < UnpackedSize && in < PackedSize; rowStart += rowBytes) {
        // Samples past the row's end (a run or deltas that run over) are dropped.
        const std::size_t samples = std::min<std::size_t>(RowWidth, (UnpackedSize - rowStart) * 2);
        std::uint8_t* row = Dest + rowStart;
        std::size_t n = 0;
        int last = 0;
        auto PutPixel = [&](int value) {
            last = value & 15;
            if (n >= samples) return;
            if (n % 2 == 0)
                row[n / 2] = static_cast<std::uint8_t>(last << 4);
            else
                row[n / 2] = static_cast<std::uint8_t>(row[n / 2] | last);
            ++n;
        };
        while (in < PackedSize && n < samples) {
            const std::uint8_t c = Source[in++];
            switch (c >> 6) {
            case 0:
                for (int k = c & 63; k > 0 && n < samples; --k) PutPixel(last);
                break;
            case 1:
                for (int shift = 4; shift >= 0; shift -= 2)
                    if (int delta = TwoBitDeltas[(c >> shift) & 3]; delta != NoSample) PutPixel(last + delta);
                break;
            case 2:
                for (int shift = 3; shift >= 0; shift -= 3)
                    if (int delta = ThreeBitDeltas[(c >> shift) & 7]; delta != NoSample) PutPixel(last + delta);
                break;
            default: PutPixel(c & 15); break;
            }
        }
        produced_ = rowStart + (n + 1) / 2;
    }
    consumed_ = in;
}
