#include "widgets/kitutils.h"

#include "platform/system/System.h"

#include <algorithm>
#include <array>

TKitRect AspectFitRect(const TKitRect& picture, const TKitRect& target)
{
    const int pw = picture.Width(), ph = picture.Height();
    TKitRect result{target.Left, target.Top, target.Left, target.Top};
    if (pw <= 0 || ph <= 0) return result;  // nothing to scale; never divide by zero
    // scale = min(tw / pw, th / ph), kept in integers so truncation is exact.
    const long long tw = target.Width(), th = target.Height();
    if (tw * ph <= th * pw) {
        result.Right = target.Left + static_cast<int>(tw);
        result.Bottom = target.Top + static_cast<int>(ph * tw / pw);
    } else {
        result.Right = target.Left + static_cast<int>(pw * th / ph);
        result.Bottom = target.Top + static_cast<int>(th);
    }
    return result;
}

bool IsBlank(const std::string& text)
{
    return std::all_of(text.begin(), text.end(), [](char c) { return c == ' '; });
}

std::string AddBackSlash(const std::string& path)
{
    if (IsBlank(path)) return "/";
    if (path.back() == '/') return path;
    return path + '/';
}

std::string RemoveBackSlash(const std::string& path)
{
    if (IsBlank(path) || path.back() != '/') return path;
    return path.substr(0, path.size() - 1);
}

namespace {
std::string WithDelimiter(const std::string& folder, bool trailing)
{
    return trailing ? AddBackSlash(folder) : RemoveBackSlash(folder);
}
}  // namespace

std::string KitWindowsFolder(bool trailingDelimiter) { return WithDelimiter("/etc", trailingDelimiter); }
std::string KitSystemFolder(bool trailingDelimiter) { return WithDelimiter("/usr/lib", trailingDelimiter); }
std::string KitProgramFolder(bool trailingDelimiter) { return WithDelimiter(ProgramFolder(), trailingDelimiter); }

// ---------------------------------------------------------------------------
// Block compressor. Items: literal (1 byte), copy (2 bytes: distance * 16 +
// length - 3), run (4 bytes: 0, length - 16 as 16 bits, the byte). One control
// word (high byte first, first item in the top bit) precedes each 16 items.

namespace {
constexpr std::size_t HashSize = 4096;
constexpr std::uint16_t HashEmpty = 0xFFFF;
constexpr std::size_t MaxDistance = 4095;
constexpr std::size_t MaxCopyLength = 18;
constexpr std::size_t MinCopyLength = 3;
constexpr std::size_t MinRunLength = 16;
constexpr std::size_t MaxRunLength = 4095;

std::size_t HashOf(const std::uint8_t* p)
{
    // 32-bit unsigned arithmetic: the product exceeds 31 bits, and the shift is logical.
    const std::uint32_t mixed = ((((static_cast<std::uint32_t>(p[0]) << 4) ^ p[1]) << 4) ^ p[2]);
    return ((mixed * 40543u) >> 4) & 0x0FFFu;
}
}  // namespace

std::vector<std::uint8_t> CompressBlock(const std::uint8_t* source, std::size_t size)
{
    if (size > KitMaxBlockInput || (size > 0 && !source)) throw ELzrwError();
    std::vector<std::uint16_t> hash;
    try {
        hash.assign(HashSize, HashEmpty);
    } catch (const std::bad_alloc&) {
        throw ELzrwError();
    }

    std::vector<std::uint8_t> out;
    out.reserve(size + 8);
    out.push_back(KitBlockCompressed);
    std::size_t controlSlot = out.size();
    out.push_back(0);
    out.push_back(0);
    std::uint32_t control = 0;
    int bits = 0;

    auto storeControl = [&]() {
        out[controlSlot] = static_cast<std::uint8_t>(control >> 8);
        out[controlSlot + 1] = static_cast<std::uint8_t>(control);
    };

    std::size_t pos = 0;
    while (pos < size && out.size() <= size) {
        if (bits == 16) {
            storeControl();
            controlSlot = out.size();
            out.push_back(0);
            out.push_back(0);
            control = 0;
            bits = 0;
        }
        std::size_t run = 1;
        while (pos + run < size && run < MaxRunLength && source[pos + run] == source[pos]) ++run;

        control <<= 1;
        ++bits;
        if (run >= MinRunLength) {
            const std::size_t stored = run - MinRunLength;
            out.push_back(0);
            out.push_back(static_cast<std::uint8_t>(stored >> 8));
            out.push_back(static_cast<std::uint8_t>(stored));
            out.push_back(source[pos]);
            control |= 1;
            pos += run;
            continue;
        }

        // A copy needs three bytes to hash; fewer left can only be literals.
        std::size_t matched = 0, distance = 0;
        if (size - pos >= MinCopyLength) {
            const std::size_t slot = HashOf(source + pos);
            const std::uint16_t candidate = hash[slot];
            if (candidate != HashEmpty && pos - candidate <= MaxDistance) {
                const std::size_t limit = std::min(MaxCopyLength, size - pos);
                while (matched < limit && source[candidate + matched] == source[pos + matched]) ++matched;
                distance = pos - candidate;
            }
            hash[slot] = static_cast<std::uint16_t>(pos);
        }
        if (matched >= MinCopyLength) {
            const std::size_t word = distance * 16 + (matched - MinCopyLength);
            out.push_back(static_cast<std::uint8_t>(word >> 8));
            out.push_back(static_cast<std::uint8_t>(word));
            control |= 1;
            pos += matched;
        } else {
            out.push_back(source[pos]);
            ++pos;
        }
    }
    control <<= (16 - bits);
    storeControl();

    if (out.size() > size) {
        out.assign(1, KitBlockStored);
        out.insert(out.end(), source, source + size);
    }
    return out;
}

std::vector<std::uint8_t> DecompressBlock(const std::uint8_t* block, std::size_t size, std::size_t maxOutput)
{
    if (size == 0 || !block) throw ELzrwError();
    if (block[0] == KitBlockStored) {
        if (size - 1 > maxOutput) throw ELzrwError();
        return std::vector<std::uint8_t>(block + 1, block + size);
    }
    if (block[0] != KitBlockCompressed) throw ELzrwError();

    std::vector<std::uint8_t> out;
    std::size_t pos = 1;
    std::uint32_t control = 0;
    int bitsLeft = 0;
    auto need = [&](std::size_t count) {
        if (size - pos < count) throw ELzrwError();
    };
    auto room = [&](std::size_t count) {
        if (count > maxOutput - out.size()) throw ELzrwError();
    };
    while (pos < size) {
        if (bitsLeft == 0) {
            need(2);
            control = (static_cast<std::uint32_t>(block[pos]) << 8) | block[pos + 1];
            pos += 2;
            bitsLeft = 16;
            continue;  // a control word may close the block with no items after it
        }
        const bool special = (control & 0x8000u) != 0;
        control = (control << 1) & 0xFFFFu;
        --bitsLeft;
        if (!special) {
            room(1);
            out.push_back(block[pos++]);
            continue;
        }
        need(2);
        const std::uint8_t high = block[pos], low = block[pos + 1];
        if (high == 0 && (low >> 4) == 0) {
            need(4);
            const std::size_t length = ((static_cast<std::size_t>(low) << 8) | block[pos + 2]) + MinRunLength;
            room(length);
            out.insert(out.end(), length, block[pos + 3]);
            pos += 4;
            continue;
        }
        const std::size_t word = (static_cast<std::size_t>(high) << 8) | low;
        const std::size_t distance = word >> 4;
        const std::size_t length = (word & 0x0F) + MinCopyLength;
        if (distance == 0 || distance > out.size()) throw ELzrwError();
        room(length);
        // Byte by byte: an overlapping copy repeats its pattern.
        std::size_t from = out.size() - distance;
        for (std::size_t i = 0; i < length; ++i) {
            const std::uint8_t value = out[from + i];
            out.push_back(value);
        }
        pos += 2;
    }
    return out;
}
