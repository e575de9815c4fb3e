// GIF output for the "GIF" choice of the output format: the picture reduced
// to at most the "Colors" setting's number of colours (its own colours when it
// has no more, else an even colour cube), LZW-coded as GIF89a.

#include "gallery/pictures/pvutilsGif.h"
#include "raster/RasterDIB.h"

#include <unistd.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <fstream>
#include <unordered_map>
#include <vector>

namespace {

std::uint32_t packed(const TColorTriple& c)
{
    return std::uint32_t(c.Red) << 16 | std::uint32_t(c.Green) << 8 | c.Blue;
}

TColorTriple topDownPixel(const TRasterDIB& dib, int x, int y)
{
    TColorTriple c;
    dib.GetPixelColor(dib.RowFromTop(y), x, c);
    return c;
}

struct Indexed {
    std::vector<TColorTriple> palette;
    std::vector<std::uint8_t> pixels;  // rows from the top
};

// The picture's own colours, when it has no more than `limit`.
bool exactPalette(const TRasterDIB& dib, int limit, Indexed& out)
{
    const int width = dib.Width(), height = dib.AbsHeight;
    std::unordered_map<std::uint32_t, std::uint8_t> index;
    out.pixels.resize(std::size_t(width) * std::size_t(height));
    std::size_t at = 0;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const TColorTriple c = topDownPixel(dib, x, y);
            auto [it, added] = index.try_emplace(packed(c), std::uint8_t(out.palette.size()));
            if (added) {
                if (int(out.palette.size()) == limit) return false;
                out.palette.push_back(c);
            }
            out.pixels[at++] = it->second;
        }
    return true;
}

// Levels per channel whose product stays within limit, green finest.
std::array<int, 3> cubeLevels(int limit)
{
    int n = 1;
    while ((n + 1) * (n + 1) * (n + 1) <= limit) ++n;
    std::array<int, 3> levels{n, n, n};  // red, green, blue
    for (const int channel : {1, 0, 2})
        if ((levels[0] * levels[1] * levels[2]) / levels[channel] * (levels[channel] + 1) <= limit) ++levels[channel];
    return levels;
}

int levelOf(int value, int levels) { return levels == 1 ? 0 : (value * (levels - 1) + 127) / 255; }

int valueOf(int level, int levels) { return levels == 1 ? 128 : (level * 255 + (levels - 1) / 2) / (levels - 1); }

void cubePalette(const TRasterDIB& dib, int limit, Indexed& out)
{
    const std::array<int, 3> levels = cubeLevels(limit);
    out.palette.clear();
    for (int r = 0; r < levels[0]; ++r)
        for (int g = 0; g < levels[1]; ++g)
            for (int b = 0; b < levels[2]; ++b)
                out.palette.push_back(TColorTriple{std::uint8_t(valueOf(b, levels[2])),
                                                   std::uint8_t(valueOf(g, levels[1])),
                                                   std::uint8_t(valueOf(r, levels[0]))});
    const int width = dib.Width(), height = dib.AbsHeight;
    std::size_t at = 0;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const TColorTriple c = topDownPixel(dib, x, y);
            const int r = levelOf(c.Red, levels[0]), g = levelOf(c.Green, levels[1]), b = levelOf(c.Blue, levels[2]);
            out.pixels[at++] = std::uint8_t((r * levels[1] + g) * levels[2] + b);
        }
}

// Variable-length codes, least significant bit first, in sub-blocks of 255.
class CodeWriter {
public:
    explicit CodeWriter(std::vector<std::uint8_t>& out) : out_(out) {}
    void put(int code, int size)
    {
        bits_ |= std::uint32_t(code) << count_;
        count_ += size;
        while (count_ >= 8) {
            byte(std::uint8_t(bits_ & 0xFF));
            bits_ >>= 8;
            count_ -= 8;
        }
    }
    void finish()
    {
        if (count_ > 0) byte(std::uint8_t(bits_ & 0xFF));
        flushBlock();
        out_.push_back(0);  // the empty block that ends the data
    }

private:
    void byte(std::uint8_t b)
    {
        block_.push_back(b);
        if (block_.size() == 255) flushBlock();
    }
    void flushBlock()
    {
        if (block_.empty()) return;
        out_.push_back(std::uint8_t(block_.size()));
        out_.insert(out_.end(), block_.begin(), block_.end());
        block_.clear();
    }
    std::vector<std::uint8_t>& out_;
    std::vector<std::uint8_t> block_;
    std::uint32_t bits_ = 0;
    int count_ = 0;
};

// The string table as an open-addressed hash of (prefix code, byte) keys.
class StringTable {
public:
    StringTable() : keys_(size, -1), codes_(size, 0) {}
    void clear() { std::fill(keys_.begin(), keys_.end(), -1); }
    int find(std::int32_t key) const
    {
        for (std::size_t slot = hash(key);; slot = (slot + 1) & (size - 1)) {
            if (keys_[slot] == -1) return -1;
            if (keys_[slot] == key) return codes_[slot];
        }
    }
    void add(std::int32_t key, int code)
    {
        std::size_t slot = hash(key);
        while (keys_[slot] != -1) slot = (slot + 1) & (size - 1);
        keys_[slot] = key;
        codes_[slot] = std::int16_t(code);
    }

private:
    static constexpr std::size_t size = 8192;  // twice the 4096 codes, a power of two
    static std::size_t hash(std::int32_t key) { return (std::uint32_t(key) * 2654435761u >> 19) & (size - 1); }
    std::vector<std::int32_t> keys_;
    std::vector<std::int16_t> codes_;
};

void encodeLzw(const std::vector<std::uint8_t>& pixels, int minCodeSize, std::vector<std::uint8_t>& out)
{
    out.push_back(std::uint8_t(minCodeSize));
    CodeWriter writer(out);
    const int clearCode = 1 << minCodeSize, endCode = clearCode + 1;
    StringTable table;
    int next = endCode + 1;
    int size = minCodeSize + 1;
    // A decoder reads each code at the width that holds the codes it has
    // assigned so far, which trails ours by one entry.
    auto emit = [&](int code) {
        while (next > (1 << size) && size < 12) ++size;
        writer.put(code, size);
    };
    auto restart = [&]() {
        table.clear();
        next = endCode + 1;
        size = minCodeSize + 1;
    };
    emit(clearCode);
    int prefix = pixels[0];
    for (std::size_t i = 1; i < pixels.size(); ++i) {
        const std::int32_t key = std::int32_t(prefix) << 8 | pixels[i];
        const int found = table.find(key);
        if (found >= 0) {
            prefix = found;
            continue;
        }
        emit(prefix);
        table.add(key, next);
        if (++next == 4096) {
            emit(clearCode);
            restart();
        }
        prefix = pixels[i];
    }
    emit(prefix);
    ++next;
    emit(endCode);
    writer.finish();
}

void checkGifSize(int width, int height, bool hasRows, const std::string& fileName)
{
    if (width <= 0 || height <= 0 || !hasRows)
        throw ESaveImageError("Cannot write " + fileName + ": the picture is empty");
    if (width > 65535 || height > 65535)
        throw ESaveImageError("Cannot write " + fileName + ": a GIF picture is at most 65535 pixels wide and high");
}

// The global colour table, padded with black to its power-of-two size.
void appendColorTable(const Indexed& indexed, int tableBits, std::vector<std::uint8_t>& file)
{
    for (int i = 0; i < (1 << tableBits); ++i) {
        const TColorTriple c = i < int(indexed.palette.size()) ? indexed.palette[std::size_t(i)] : BlackTriple;
        file.push_back(c.Red);
        file.push_back(c.Green);
        file.push_back(c.Blue);
    }
}

}  // namespace

void WriteGifFile(const TRasterDIB& dib, const std::string& fileName, int colors)
{
    const int width = dib.Width(), height = dib.AbsHeight;
    checkGifSize(width, height, !dib.Rows.empty(), fileName);
    const int limit = std::clamp(colors, 2, 256);

    Indexed indexed;
    if (!exactPalette(dib, limit, indexed)) cubePalette(dib, limit, indexed);
    int tableBits = 1;
    while ((1 << tableBits) < int(indexed.palette.size())) ++tableBits;

    std::vector<std::uint8_t> file = {'G', 'I', 'F', '8', '9', 'a'};
    auto word = [&file](int v) {
        file.push_back(std::uint8_t(v & 0xFF));
        file.push_back(std::uint8_t(v >> 8));
    };
    word(width);
    word(height);
    file.push_back(std::uint8_t(0x80 | (7 << 4) | (tableBits - 1)));  // global table, 8-bit colour resolution
    file.push_back(0);                                                // background index
    file.push_back(0);                                                // no aspect ratio
    appendColorTable(indexed, tableBits, file);
    file.push_back(0x2C);
    word(0);
    word(0);
    word(width);
    word(height);
    file.push_back(0);  // no local table, not interlaced
    encodeLzw(indexed.pixels, std::max(2, tableBits), file);
    file.push_back(0x3B);

    std::ofstream out(fileName, std::ios::binary | std::ios::trunc);
    if (!out) throw ESaveImageError("Cannot create file \"" + fileName + "\"");
    out.write(reinterpret_cast<const char*>(file.data()), std::streamsize(file.size()));
    out.close();
    if (!out) {
        ::unlink(fileName.c_str());
        throw ESaveImageError("Cannot write " + fileName);
    }
}
