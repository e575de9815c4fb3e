#include "LoaderCorpusSupport.h"

#include "formats/FormatCompressionTiff.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <unistd.h>

namespace corpus {

namespace {

// Reads one header token of a PNM file, skipping blanks and comments.
bool readToken(std::istream& in, std::string& token)
{
    token.clear();
    int c;
    while ((c = in.get()) != EOF) {
        if (c == '#') {
            while ((c = in.get()) != EOF && c != '\n') {
            }
            continue;
        }
        if (!std::isspace(c)) {
            token.push_back(static_cast<char>(c));
            break;
        }
    }
    while ((c = in.peek()) != EOF && !std::isspace(c) && c != '#') token.push_back(static_cast<char>(in.get()));
    return !token.empty();
}

}  // namespace

const std::string& ScratchDir()
{
    static const testsupport::TempDir scratch("pictavo-formats");
    static const std::string path = scratch.path.string();
    return path;
}

std::string ScratchPath(const std::string& name) { return ScratchDir() + "/" + name; }

RgbImage ReadNetpbm(const std::string& path, int* maxvalOut)
{
    std::ifstream in(path, std::ios::binary);
    std::string magic, token;
    RgbImage image;
    if (!readToken(in, magic)) return {};
    int width = 0, height = 0, maxval = 1, depth = 0;
    if (magic == "P7") {
        while (readToken(in, token) && token != "ENDHDR") {
            std::string value;
            if (token == "TUPLTYPE") {
                std::getline(in, value);
                continue;
            }
            readToken(in, value);
            if (token == "WIDTH")
                width = std::stoi(value);
            else if (token == "HEIGHT")
                height = std::stoi(value);
            else if (token == "DEPTH")
                depth = std::stoi(value);
            else if (token == "MAXVAL")
                maxval = std::stoi(value);
        }
        in.get();
    } else if (magic == "P4" || magic == "P5" || magic == "P6") {
        readToken(in, token);
        width = std::stoi(token);
        readToken(in, token);
        height = std::stoi(token);
        if (magic != "P4") {
            readToken(in, token);
            maxval = std::stoi(token);
        }
        in.get();
        depth = magic == "P6" ? 3 : 1;
    } else {
        return {};
    }
    if (width <= 0 || height <= 0 || depth <= 0 || maxval <= 0) return {};
    image.Width = width;
    image.Height = height;
    image.Rgb.resize(static_cast<std::size_t>(width) * height * 3);
    const int sampleBytes = maxval > 255 ? 2 : 1;
    for (int y = 0; y < height; ++y) {
        if (magic == "P4") {
            Bytes row((width + 7) / 8);
            in.read(reinterpret_cast<char*>(row.data()), static_cast<std::streamsize>(row.size()));
            for (int x = 0; x < width; ++x) {
                std::uint8_t v = (row[x / 8] >> (7 - x % 8)) & 1 ? 0 : 255;
                std::uint8_t* p = &image.Rgb[(static_cast<std::size_t>(y) * width + x) * 3];
                p[0] = p[1] = p[2] = v;
            }
            continue;
        }
        Bytes row(static_cast<std::size_t>(width) * depth * sampleBytes);
        in.read(reinterpret_cast<char*>(row.data()), static_cast<std::streamsize>(row.size()));
        if (!in) return {};
        for (int x = 0; x < width; ++x) {
            int samples[4] = {0, 0, 0, 0};
            for (int s = 0; s < depth && s < 4; ++s) {
                std::size_t at = (static_cast<std::size_t>(x) * depth + s) * sampleBytes;
                int v = sampleBytes == 2 ? (row[at] << 8) | row[at + 1] : row[at];
                samples[s] = maxval == 255 ? v : v * 255 / maxval;
            }
            std::uint8_t* p = &image.Rgb[(static_cast<std::size_t>(y) * width + x) * 3];
            if (depth >= 3) {
                p[0] = static_cast<std::uint8_t>(samples[0]);
                p[1] = static_cast<std::uint8_t>(samples[1]);
                p[2] = static_cast<std::uint8_t>(samples[2]);
            } else {
                p[0] = p[1] = p[2] = static_cast<std::uint8_t>(samples[0]);
            }
        }
    }
    if (maxvalOut) *maxvalOut = maxval;
    return image;
}

void WritePpm(const std::string& path, const RgbImage& image)
{
    std::ofstream out(path, std::ios::binary);
    out << "P6\n" << image.Width << " " << image.Height << "\n255\n";
    out.write(reinterpret_cast<const char*>(image.Rgb.data()), static_cast<std::streamsize>(image.Rgb.size()));
}

void CodePacker::put(int code, int width)
{
    if (msbFirst) {
        bits = (bits << width) | static_cast<std::uint32_t>(code);
        count += width;
        while (count >= 8) {
            out.push_back(static_cast<std::uint8_t>(bits >> (count - 8)));
            count -= 8;
        }
    } else {
        bits |= static_cast<std::uint32_t>(code) << count;
        count += width;
        while (count >= 8) {
            out.push_back(static_cast<std::uint8_t>(bits));
            bits >>= 8;
            count -= 8;
        }
    }
}

Bytes CodePacker::finish()
{
    if (count > 0) out.push_back(static_cast<std::uint8_t>(msbFirst ? bits << (8 - count) : bits));
    count = 0;
    return out;
}

Bytes PackCodes(const std::vector<std::pair<int, int>>& codesAndWidths, bool msbFirst)
{
    CodePacker packer;
    packer.msbFirst = msbFirst;
    for (auto [code, width] : codesAndWidths) packer.put(code, width);
    return packer.finish();
}

RgbImage MakePattern(int width, int height, int colours)
{
    RgbImage image;
    image.Width = width;
    image.Height = height;
    image.Rgb.resize(static_cast<std::size_t>(width) * height * 3);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            std::uint8_t* p = &image.Rgb[(static_cast<std::size_t>(y) * width + x) * 3];
            int r = width > 1 ? x * 255 / (width - 1) : 0;
            int g = height > 1 ? y * 255 / (height - 1) : 0;
            int b = ((x / 4 + y / 3) % 2) ? 200 : 30;
            if (x < width / 5) r = g = b = 128;  // a flat band for runs
            if (colours > 0) {
                // Pick one of `colours` fixed colours from the position.
                int index = (x * 7 + y * 3 + (x / 5) * (y / 4)) % colours;
                r = (index * 97) & 0xFF;
                g = (index * 57 + 31) & 0xFF;
                b = (index * 151 + 7) & 0xFF;
                if (colours == 2) {
                    r = g = b = index ? 255 : 0;
                }
            }
            p[0] = static_cast<std::uint8_t>(r);
            p[1] = static_cast<std::uint8_t>(g);
            p[2] = static_cast<std::uint8_t>(b);
        }
    return image;
}

RgbImage ToRgb(const TBitmap& bitmap)
{
    TBitmap copy;
    copy.Assign(bitmap);
    copy.SetPixelFormat(pf24bit);
    RgbImage image;
    image.Width = copy.Width();
    image.Height = copy.Height();
    image.Rgb.resize(static_cast<std::size_t>(image.Width) * image.Height * 3);
    for (int y = 0; y < image.Height; ++y) {
        const std::uint8_t* line = copy.ScanLine(y);
        for (int x = 0; x < image.Width; ++x) {
            std::uint8_t* p = &image.Rgb[(static_cast<std::size_t>(y) * image.Width + x) * 3];
            p[0] = line[3 * x + 2];
            p[1] = line[3 * x + 1];
            p[2] = line[3 * x];
        }
    }
    return image;
}

std::string Compare(const RgbImage& expected, const RgbImage& actual, int shift)
{
    std::ostringstream why;
    if (expected.Width != actual.Width || expected.Height != actual.Height) {
        why << "size " << actual.Width << "x" << actual.Height << ", expected " << expected.Width << "x"
            << expected.Height;
        return why.str();
    }
    for (int y = 0; y < expected.Height; ++y)
        for (int x = 0; x < expected.Width; ++x)
            for (int c = 0; c < 3; ++c) {
                int e = expected.pixel(x, y)[c] >> shift;
                int a = actual.pixel(x, y)[c] >> shift;
                if (e != a) {
                    why << "pixel (" << x << "," << y << ") channel " << c << ": " << int(actual.pixel(x, y)[c])
                        << ", expected " << int(expected.pixel(x, y)[c]);
                    return why.str();
                }
            }
    return "";
}

std::string FaxRunBits(std::uint32_t run, bool white)
{
    const auto& table = TCCITTDecoder::CodeTable(white);
    std::string bits;
    auto put = [&](const TCCITTDecoder::Code& c) {
        for (int i = c.Length - 1; i >= 0; --i) bits += (c.Bits >> i) & 1 ? '1' : '0';
    };
    // Terminating codes are entries 0..63, the make-up code of 64 k is entry 63 + k.
    for (; run >= 2560 + 64; run -= 2560) put(table[63 + 40]);
    if (run >= 64) {
        put(table[63 + run / 64]);
        run %= 64;
    }
    put(table[run]);
    return bits;
}

Bytes PackBitString(const std::string& bits)
{
    Bytes out((bits.size() + 7) / 8, 0);
    for (std::size_t i = 0; i < bits.size(); ++i)
        if (bits[i] == '1') out[i / 8] |= static_cast<std::uint8_t>(0x80 >> (i % 8));
    return out;
}

double Psnr(const RgbImage& expected, const RgbImage& actual)
{
    if (expected.Width != actual.Width || expected.Height != actual.Height || expected.Rgb.empty()) return 0;
    double sum = 0;
    for (std::size_t i = 0; i < expected.Rgb.size(); ++i) {
        const double d = double(expected.Rgb[i]) - actual.Rgb[i];
        sum += d * d;
    }
    if (sum == 0) return 1000;
    return 10 * std::log10(255.0 * 255.0 / (sum / double(expected.Rgb.size())));
}

int MaxDifference(const RgbImage& expected, const RgbImage& actual)
{
    if (expected.Width != actual.Width || expected.Height != actual.Height) return 256;
    int most = 0;
    for (std::size_t i = 0; i < expected.Rgb.size(); ++i)
        most = std::max(most, std::abs(int(expected.Rgb[i]) - int(actual.Rgb[i])));
    return most;
}

void PutLE16(Bytes& out, std::uint32_t v) { out.insert(out.end(), {std::uint8_t(v), std::uint8_t(v >> 8)}); }

void PutLE32(Bytes& out, std::uint32_t v)
{
    PutLE16(out, v & 0xFFFF);
    PutLE16(out, v >> 16);
}

void PutBE16(Bytes& out, std::uint32_t v) { out.insert(out.end(), {std::uint8_t(v >> 8), std::uint8_t(v)}); }

void PutBE32(Bytes& out, std::uint32_t v)
{
    PutBE16(out, v >> 16);
    PutBE16(out, v & 0xFFFF);
}

Bytes PackRuns(const std::uint8_t* data, std::size_t size, std::size_t minRun, std::size_t longest,
               std::uint8_t (*runHeader)(std::size_t), std::uint8_t (*literalHeader)(std::size_t))
{
    // Whether a run worth a run packet starts at i.
    auto runAt = [&](std::size_t i) {
        if (i + minRun > size) return false;
        for (std::size_t k = 1; k < minRun; ++k)
            if (data[i + k] != data[i]) return false;
        return true;
    };
    Bytes out;
    for (std::size_t i = 0; i < size;) {
        std::size_t run = 1;
        while (i + run < size && run < longest && data[i + run] == data[i]) ++run;
        if (run >= minRun) {
            out.push_back(runHeader(run));
            out.push_back(data[i]);
            i += run;
            continue;
        }
        std::size_t literal = 0;
        while (i + literal < size && literal < longest && !runAt(i + literal)) ++literal;
        out.push_back(literalHeader(literal));
        out.insert(out.end(), data + i, data + i + literal);
        i += literal;
    }
    return out;
}

std::string Substitute(const std::string& command, const Substitutions& values)
{
    // One pass from left to right: a value put in is never searched again,
    // so a path that happens to hold a key ("/tmp/pictavo-formats-xINy2k")
    // stays as it is instead of being replaced forever.
    std::string out;
    for (std::size_t at = 0; at < command.size();) {
        const auto key = std::find_if(values.begin(), values.end(), [&](const auto& pair) {
            return !pair.first.empty() && command.compare(at, pair.first.size(), pair.first) == 0;
        });
        if (key == values.end()) {
            out += command[at++];
        } else {
            out += key->second;
            at += key->first.size();
        }
    }
    return out;
}

}  // namespace corpus
