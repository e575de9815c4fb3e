// Any line through the tag-attribute and field helpers, never outside the text.
#include "gallery/records/pvutils.h"
#include "gallery/text/srutilsFiles.h"

#include <cstdint>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string text(reinterpret_cast<const char*>(data), size);
    std::string html = text;
    GetTagAttribute(html, "<img", "src");
    html = text;
    SetTagAttribute(html, "<body", "bgcolor", "#FFFFFF");
    html = text;
    SetTagAttribute(html, "<body", "link", "");
    for (int n = 0; n < 5; ++n) (void)GetField(0, text, n);
    (void)ConvertCase(static_cast<int>(size % 6), text);
    (void)WildcardMatch(text, text.substr(0, size / 2) + "*?");
    try {
        (void)RenumberFileName(text, 1);
    } catch (const EConvertError&) {
    }
    return 0;
}
