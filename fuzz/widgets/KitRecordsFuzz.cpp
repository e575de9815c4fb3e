// The kit's readers of untrusted bytes: a compressed block, a compressed
// stream, a DIB record and a container file. Errors are expected; crashes,
// reads outside the input and runaway allocations are not.
#include "platform/strings/StringList.h"
#include "widgets/kitcont.h"
#include "widgets/kitprocs.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    try {
        DecompressBlock(data, size);
    } catch (const Exception&) {
    }
    try {
        TByteViewStream stream(data, size);
        TMemoryStream out;
        ReadCompressedStream(stream, out);
    } catch (const Exception&) {
    }
    try {
        ParseDIBRecord(std::vector<std::uint8_t>(data, data + size));
    } catch (const Exception&) {
    }
    try {
        TByteViewStream stream(data, size);
        TKitImageList list(nullptr, "Fuzz");
        TMemoryStream withSignature;
        WriteShortStringRecord(withSignature, KitContainerSignature(TKitContainerKind::ImageList));
        withSignature.WriteBuffer(data, size);
        withSignature.SetPosition(0);
        list.LoadFromStream(withSignature, "fuzz");
    } catch (const Exception&) {
    }
    return 0;
}
