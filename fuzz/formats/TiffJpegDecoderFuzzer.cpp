// Feeds arbitrary strips to the JPEG-strip decoder. The first four bytes
// choose the picture's size, samples and subsampling and how many of the
// bytes that follow are the tables field; the rest is one strip.
#include "formats/FormatCompressionTiff.h"
#include "formats/ImageFormats.h"

#include <algorithm>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size < 4) return 0;
    TImageProperties p;
    p.Width = 1 + data[0] % 64;
    p.Height = 1 + data[1] % 64;
    p.SamplesPerPixel = (data[2] & 1) ? 3 : 1;
    p.BitsPerSample = 8;
    p.ColorScheme = p.SamplesPerPixel == 3 ? ((data[2] & 2) ? csYCbCr : csRGB) : csG;
    if (p.ColorScheme == csYCbCr) p.YCbCrSubSampling = {std::uint8_t(1 << (data[2] >> 2 & 1)), 1};
    p.RowsPerStrip = {p.Height};
    p.BytesPerLine = p.Width * p.SamplesPerPixel;
    const std::size_t tables = std::min<std::size_t>(data[3], size - 4);
    p.JPEGTables.assign(data + 4, data + 4 + tables);
    std::vector<std::uint8_t> strip(data + 4 + tables, data + size);
    std::vector<std::uint8_t> out(std::size_t(p.BytesPerLine) * p.Height);
    try {
        TTIFFJPEGDecoder decoder(p);
        decoder.DecodeInit();
        const std::uint8_t* source = strip.data();
        std::uint8_t* dest = out.data();
        decoder.Decode(source, dest, strip.size(), out.size());
        decoder.DecodeEnd();
    } catch (const Exception&) {
    }
    return 0;
}
