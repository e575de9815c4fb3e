#include "platform/gui/Gui.h"
#include "platform/core/AsciiCase.h"
#include "platform/core/Utf8.h"

#include <QString>

#include <algorithm>
#include <cstdio>

// A byte that is not part of valid UTF-8 (a name on a disk of another
// encoding) travels through Qt as the lone surrogate U+DC80..U+DCFF and comes
// back as that byte, so a text put into a control and read out again is the
// same bytes, and no U+FFFD ever takes a byte's place.
namespace {
constexpr char16_t EscapedByteBase = 0xDC00;

bool isEscapedByte(char16_t unit) { return unit >= EscapedByteBase + 0x80 && unit <= EscapedByteBase + 0xFF; }
}  // namespace

QString ToQString(const std::string& text)
{
    QString out;
    out.reserve(static_cast<qsizetype>(text.size()));
    for (std::size_t at = 0; at < text.size();) {
        char32_t c = 0;
        const std::size_t length = DecodeUtf8(text, at, c);
        if (length == 0) {
            out += QChar(static_cast<char16_t>(EscapedByteBase + static_cast<unsigned char>(text[at])));
            ++at;
            continue;
        }
        if (c >= 0x10000) {
            out += QChar(static_cast<char16_t>(0xD800 + ((c - 0x10000) >> 10)));
            out += QChar(static_cast<char16_t>(0xDC00 + ((c - 0x10000) & 0x3FF)));
        } else {
            out += QChar(static_cast<char16_t>(c));
        }
        at += length;
    }
    return out;
}

std::string FromQString(const QString& text)
{
    std::string out;
    out.reserve(static_cast<std::size_t>(text.size()));
    const qsizetype n = text.size();
    for (qsizetype i = 0; i < n; ++i) {
        const char16_t unit = text[i].unicode();
        const char16_t next = i + 1 < n ? text[i + 1].unicode() : 0;
        if (unit >= 0xD800 && unit <= 0xDBFF && next >= 0xDC00 && next <= 0xDFFF) {
            AppendUtf8(out, 0x10000 + ((char32_t(unit) - 0xD800) << 10) + (next - 0xDC00));
            ++i;
        } else if (isEscapedByte(unit)) {
            out += static_cast<char>(unit - EscapedByteBase);
        } else if (unit >= 0xD800 && unit <= 0xDFFF) {
            AppendUtf8(out, 0xFFFD);  // a lone surrogate no byte of ours became: UTF-8 cannot hold it
        } else {
            AppendUtf8(out, unit);
        }
    }
    return out;
}

// ---------------------------------------------------------------------------

TComponent::TComponent(TComponent* owner, std::string name) : Name(std::move(name)), owner_(owner) {}

TComponent::~TComponent()
{
    destroying_ = true;
    // Owned components go last to first, the reverse of their creation.
    while (!components_.empty()) components_.pop_back();
}

TComponent* TComponent::FindComponent(const std::string& name) const
{
    if (name.empty()) return nullptr;
    for (const auto& child : components_) {
        if (SameText(child->Name, name)) return child.get();
    }
    for (const auto& child : components_) {
        if (TComponent* found = child->FindComponent(name)) return found;
    }
    return nullptr;
}

bool TComponent::Destroying() const
{
    for (const TComponent* c = this; c; c = c->owner_)
        if (c->destroying_) return true;
    return false;
}

void TComponent::MarkDestroying() { destroying_ = true; }

void TComponent::Dispatch(const std::function<void()>& handler)
{
    if (!handler || Destroying()) return;
    try {
        handler();
    } catch (const EAbort&) {
        // A quiet end of an operation: nothing to show.
    } catch (const std::exception& error) {
        if (Application)
            Application->HandleException(error);
        else
            std::fprintf(stderr, "%s\n", error.what());
    }
}

// ---------------------------------------------------------------------------

void TStrings::CheckIndex(int index, int limit) const
{
    if (index < 0 || index >= limit) throw EListError("List index out of bounds (" + std::to_string(index) + ")");
}

void TStrings::Put(int index, const std::string& text)
{
    CheckIndex(index, Count());
    Delete(index);
    Insert(index, text);
}

int TStrings::Add(const std::string& text)
{
    const int index = Count();
    Insert(index, text);
    // A sorted list may have put it elsewhere.
    for (int i = 0; i < Count(); ++i)
        if (Get(i) == text) return i;
    return index;
}

int TStrings::IndexOf(const std::string& text) const
{
    for (int i = 0; i < Count(); ++i)
        if (SameText(Get(i), text)) return i;
    return -1;
}

void TStrings::Assign(const std::vector<std::string>& lines)
{
    Clear();
    for (const auto& line : lines) Add(line);
}

std::vector<std::string> TStrings::ToVector() const
{
    std::vector<std::string> out;
    out.reserve(static_cast<std::size_t>(Count()));
    for (int i = 0; i < Count(); ++i) out.push_back(Get(i));
    return out;
}
