// Feeds the Photo-CD loader packs made from arbitrary bytes. A first byte
// with the top bit set hands the rest over as it is; otherwise the bytes
// become the image data of a pack whose kind and rotation the first byte
// chooses (bit 6 an image pack, else an overview pack; bits 0-1 the
// rotation), repeated to fill it and cut where the second byte says, so
// short inputs reach the rows.
#include "formats/ImageFormatsPcd.h"
#include "fuzz/FuzzGraphic.h"

#include <cstring>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size < 3) return 0;
    if (data[0] & 0x80) return FuzzGraphicLoad<TPCDGraphic>(data + 1, size - 1);
    const bool imagePack = data[0] & 0x40;
    const std::size_t sector = 2048, start = (imagePack ? 96 : 5) * sector;
    const std::size_t imageBytes = imagePack ? 768 * 512 * 3 / 2 : 192 * 128 * 3 / 2;
    std::vector<std::uint8_t> pack(start, 0);
    std::memcpy(imagePack ? pack.data() + sector : pack.data(), imagePack ? "PCD_IPI" : "PCD_OPA", 7);
    pack[3586] = data[0] & 3;
    // Cut short by up to 255 × 16 bytes when the second byte is not 0.
    const std::size_t cut = std::size_t(data[1]) * 16;
    for (std::size_t i = 0; i + cut < imageBytes; ++i) pack.push_back(data[2 + i % (size - 2)]);
    return FuzzGraphicLoad<TPCDGraphic>(pack.data(), pack.size());
}
