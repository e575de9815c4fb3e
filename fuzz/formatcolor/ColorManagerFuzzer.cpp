// Arbitrary descriptions, masks and buffer sizes: the colour manager must
// refuse what does not fit and never touch memory outside the rows it is given.
#include "formats/FormatColor.h"

#include <cstddef>
#include <cstdint>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size < 10) return 0;
    TColorManager m;
    try {
        m.SetSourceColorScheme(TColorScheme(data[0] % 14));
        m.SetTargetColorScheme(TColorScheme(data[1] % 14));
        m.SetSourceBitsPerSample(std::uint8_t(data[2] % 18));
        m.SetTargetBitsPerSample(std::uint8_t(data[3] % 18));
        m.SetSourceSamplesPerPixel(std::uint8_t(data[4] % 6));
        m.SetTargetSamplesPerPixel(std::uint8_t(data[5] % 6));
        m.SourceOptions = data[6];
        m.TargetOptions = data[6];
        std::uint32_t count = data[7];
        std::uint8_t mask = data[8];
        std::size_t planes = data[9] % 5;
        std::vector<std::uint8_t> target(data[9]);
        std::vector<std::uint8_t> rest(data + 10, data + size);
        if (planes <= 1) {
            m.ConvertRow({rest}, target, count, mask);
        } else {
            std::vector<std::span<const std::uint8_t>> split;
            std::size_t part = rest.size() / planes;
            for (std::size_t i = 0; i < planes; ++i) split.emplace_back(rest.data() + i * part, part);
            m.ConvertRow(split, target, count, mask);
        }
        m.CreateColorPalette({rest}, TPaletteDataFormat(data[7] % 8), data[8], data[9] & 1);
        m.CreateGrayscalePalette(data[9] & 2);
    } catch (const Exception&) {
    }
    return 0;
}
