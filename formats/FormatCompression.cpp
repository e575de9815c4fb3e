#include "formats/FormatCompression.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <vector>

void CompressionError(const std::string& message) { throw EGraphicCompression(message); }

namespace {

const char* const InputOverrun = "Compressed data ends inside a packet.";
const char* const OutputOverrun = "Compressed data runs past the end of the row.";

// Bounded cursor over one compressed block and one output area. Every
// packet asks it for its input and output first, so no member can step
// outside either buffer whatever the data says.
class PacketCursor {
public:
    PacketCursor(const std::uint8_t* source, std::size_t packedSize, std::uint8_t* dest, std::size_t unpackedSize)
        : src_(source), srcSize_(packedSize), dst_(dest), dstSize_(unpackedSize)
    {
    }

    bool inputLeft() const { return in_ < srcSize_; }
    bool outputLeft() const { return out_ < dstSize_; }
    std::size_t in() const { return in_; }
    std::size_t out() const { return out_; }

    std::uint8_t takeByte()
    {
        if (in_ >= srcSize_) CompressionError(InputOverrun);
        return src_[in_++];
    }

    void skipInput(std::size_t count)
    {
        if (count > srcSize_ - in_) {
            in_ = srcSize_;
            CompressionError(InputOverrun);
        }
        in_ += count;
    }

    // Copies count bytes of input to the output; whatever fits is written
    // before a short input or a full output raises.
    void copy(std::size_t count)
    {
        std::size_t available = std::min(count, srcSize_ - in_);
        std::size_t fits = std::min(available, dstSize_ - out_);
        std::memcpy(dst_ + out_, src_ + in_, fits);
        out_ += fits;
        in_ += std::min(count, srcSize_ - in_);
        if (available < count) CompressionError(InputOverrun);
        if (fits < count) CompressionError(OutputOverrun);
    }

    // Writes count copies of one unit of unitSize bytes.
    void fill(const std::uint8_t* unit, std::size_t unitSize, std::size_t count)
    {
        for (std::size_t i = 0; i < count; ++i) {
            if (dstSize_ - out_ < unitSize) CompressionError(OutputOverrun);
            if (unitSize == 1)
                dst_[out_] = unit[0];
            else
                std::memcpy(dst_ + out_, unit, unitSize);
            out_ += unitSize;
        }
    }

    void fillByte(std::uint8_t value, std::size_t count)
    {
        std::size_t fits = std::min(count, dstSize_ - out_);
        std::memset(dst_ + out_, value, fits);
        out_ += fits;
        if (fits < count) CompressionError(OutputOverrun);
    }

private:
    const std::uint8_t* src_;
    std::size_t srcSize_;
    std::uint8_t* dst_;
    std::size_t dstSize_;
    std::size_t in_ = 0;
    std::size_t out_ = 0;
};

// Records what a run-length member used even when it leaves by an exception.
struct UsageRecorder {
    const PacketCursor& cursor;
    std::size_t& consumed;
    std::size_t& produced;
    ~UsageRecorder()
    {
        consumed = cursor.in();
        produced = cursor.out();
    }
};

}  // namespace

void TDecoder::Encode(const std::uint8_t*, std::uint8_t*, std::size_t, std::size_t& BytesStored) { BytesStored = 0; }

// ---------------------------------------------------------------- Targa

TTargaRLEDecoder::TTargaRLEDecoder(int ColorDepth)
{
    switch (ColorDepth) {
    case 8: bytesPerPixel_ = 1; break;
    case 15:
    case 16: bytesPerPixel_ = 2; break;
    case 24: bytesPerPixel_ = 3; break;
    case 32: bytesPerPixel_ = 4; break;
    default: CompressionError("Unsupported Targa pixel depth.");
    }
}

void TTargaRLEDecoder::Decode(const std::uint8_t*& Source, std::uint8_t*& Dest, std::size_t PackedSize,
                              std::size_t UnpackedSize)
{
    const std::size_t b = bytesPerPixel_;
    PacketCursor cursor(Source, PackedSize, Dest, UnpackedSize * b);
    struct Finish {
        TTargaRLEDecoder& self;
        PacketCursor& cursor;
        const std::uint8_t*& source;
        const std::uint8_t* start;
        ~Finish()
        {
            self.consumed_ = cursor.in();
            self.produced_ = cursor.out() / self.bytesPerPixel_;
            source = start + cursor.in();
        }
    } finish{*this, cursor, Source, Source};

    while (cursor.outputLeft() && cursor.inputLeft()) {
        std::uint8_t header = cursor.takeByte();
        std::size_t count = (header & 0x7F) + 1u;
        if (header & 0x80) {
            std::uint8_t pixel[4];
            for (std::size_t i = 0; i < b; ++i) pixel[i] = cursor.takeByte();
            cursor.fill(pixel, b, count);
        } else {
            cursor.copy(count * b);
        }
    }
}

namespace {

bool samePixel(const std::uint8_t* a, const std::uint8_t* b, std::size_t size) { return std::memcmp(a, b, size) == 0; }

}  // namespace

void TTargaRLEDecoder::Encode(const std::uint8_t* Source, std::uint8_t* Dest, std::size_t Count,
                              std::size_t& BytesStored)
{
    const std::size_t b = bytesPerPixel_;
    BytesStored = 0;
    while (Count > 0) {
        // Pixels before the first pair of equal neighbours.
        std::size_t different;
        if (Count == 1)
            different = 1;
        else {
            different = 0;
            while (different + 1 < Count && !samePixel(Source + different * b, Source + (different + 1) * b, b))
                ++different;
            if (different + 1 == Count) different = Count;
        }
        std::size_t same = 1;
        while (same < Count && samePixel(Source, Source + same * b, b)) ++same;
        different = std::min<std::size_t>(different, 128);
        same = std::min<std::size_t>(same, 128);

        if (different > 0) {
            *Dest++ = static_cast<std::uint8_t>(different - 1);
            std::memcpy(Dest, Source, different * b);
            Dest += different * b;
            Source += different * b;
            Count -= different;
            BytesStored += different * b + 1;
        } else if (same >= 2) {
            *Dest++ = static_cast<std::uint8_t>((same - 1) | 0x80);
            std::memcpy(Dest, Source, b);
            Dest += b;
            Source += same * b;
            Count -= same;
            BytesStored += b + 1;
        }
    }
}

// ---------------------------------------------------------------- PackBits

void TPackbitsRLEDecoder::Decode(const std::uint8_t*& Source, std::uint8_t*& Dest, std::size_t PackedSize,
                                 std::size_t UnpackedSize)
{
    PacketCursor cursor(Source, PackedSize, Dest, UnpackedSize);
    UsageRecorder recorder{cursor, consumed_, produced_};
    while (cursor.outputLeft() && cursor.inputLeft()) {
        auto header = static_cast<std::int8_t>(cursor.takeByte());
        if (header >= 0)
            cursor.copy(static_cast<std::size_t>(header) + 1);
        else if (header != -128)
            cursor.fillByte(cursor.takeByte(), static_cast<std::size_t>(1 - header));
    }
}

// ---------------------------------------------------------------- PCX

void TPCXRLEDecoder::Decode(const std::uint8_t*& Source, std::uint8_t*& Dest, std::size_t PackedSize,
                            std::size_t UnpackedSize)
{
    PacketCursor cursor(Source, PackedSize, Dest, UnpackedSize);
    UsageRecorder recorder{cursor, consumed_, produced_};
    while (cursor.outputLeft() && cursor.inputLeft()) {
        std::uint8_t header = cursor.takeByte();
        if ((header & 0xC0) == 0xC0)
            cursor.fillByte(cursor.takeByte(), header & 0x3Fu);
        else
            cursor.fillByte(header, 1);
    }
}

// ---------------------------------------------------------------- SGI

TSGIRLEDecoder::TSGIRLEDecoder(int SampleSize) : sampleSize_(SampleSize)
{
    if (SampleSize != 8 && SampleSize != 16) CompressionError("Unsupported SGI sample size.");
}

void TSGIRLEDecoder::Decode(const std::uint8_t*& Source, std::uint8_t*& Dest, std::size_t PackedSize,
                            std::size_t UnpackedSize)
{
    PacketCursor cursor(Source, PackedSize, Dest, UnpackedSize);
    UsageRecorder recorder{cursor, consumed_, produced_};
    const std::size_t unit = sampleSize_ / 8;
    while (cursor.inputLeft()) {
        std::size_t header = cursor.takeByte();
        if (unit == 2) header = (header << 8) | cursor.takeByte();
        std::size_t count = header & 0x7F;
        if (count == 0) break;
        if (header & 0x80) {
            cursor.copy(count * unit);
        } else {
            std::uint8_t value[2];
            for (std::size_t i = 0; i < unit; ++i) value[i] = cursor.takeByte();
            cursor.fill(value, unit, count);
        }
    }
}

// ---------------------------------------------------------------- CUT

void TCUTRLEDecoder::Decode(const std::uint8_t*& Source, std::uint8_t*& Dest, std::size_t PackedSize,
                            std::size_t UnpackedSize)
{
    PacketCursor cursor(Source, PackedSize, Dest, UnpackedSize);
    struct Finish {
        TCUTRLEDecoder& self;
        PacketCursor& cursor;
        const std::uint8_t*& source;
        const std::uint8_t* start;
        ~Finish()
        {
            self.consumed_ = cursor.in();
            self.produced_ = cursor.out();
            source = start + cursor.in();
        }
    } finish{*this, cursor, Source, Source};

    cursor.skipInput(2);  // the row's length word
    while (cursor.inputLeft()) {
        std::uint8_t header = cursor.takeByte();
        std::size_t count = header & 0x7Fu;
        if (count == 0) break;
        if (header & 0x80)
            cursor.fillByte(cursor.takeByte(), count);
        else
            cursor.copy(count);
    }
}

// ---------------------------------------------------------------- PSP

void TPSPRLEDecoder::Decode(const std::uint8_t*& Source, std::uint8_t*& Dest, std::size_t PackedSize,
                            std::size_t UnpackedSize)
{
    PacketCursor cursor(Source, PackedSize, Dest, UnpackedSize);
    UsageRecorder recorder{cursor, consumed_, produced_};
    while (cursor.inputLeft()) {
        std::uint8_t header = cursor.takeByte();
        if (header < 128)
            cursor.copy(header);
        else
            cursor.fillByte(cursor.takeByte(), header - 128u);
    }
}

// ---------------------------------------------------------------- RLA

void TRLADecoder::Decode(const std::uint8_t*& Source, std::uint8_t*& Dest, std::size_t PackedSize,
                         std::size_t UnpackedSize)
{
    PacketCursor cursor(Source, PackedSize, Dest, UnpackedSize);
    UsageRecorder recorder{cursor, consumed_, produced_};
    while (cursor.inputLeft()) {
        auto header = static_cast<std::int8_t>(cursor.takeByte());
        if (header < 0)
            cursor.copy(static_cast<std::size_t>(-header));
        else
            cursor.fillByte(cursor.takeByte(), static_cast<std::size_t>(header) + 1);
    }
}

// ---------------------------------------------------------------- LZW

namespace {

// String table shared by both LZW orders. Every entry's prefix is a smaller
// code than the entry itself, so emitting a string always terminates.
class LzwTable {
public:
    static constexpr int Size = 4096;

    explicit LzwTable(int literalCount)
    {
        for (int code = 0; code < literalCount; ++code) {
            prefix_[code] = -1;
            last_[code] = static_cast<std::uint8_t>(code);
            first_[code] = static_cast<std::uint8_t>(code);
            length_[code] = 1;
        }
    }

    // Adds previous's string plus one byte at code; refuses anything that
    // could refer to itself.
    void add(int code, int previous, std::uint8_t byte)
    {
        if (code >= Size || previous >= code) return;
        prefix_[code] = previous;
        last_[code] = byte;
        first_[code] = first_[previous];
        length_[code] = static_cast<std::uint16_t>(std::min(length_[previous] + 1, Size));
    }

    std::uint8_t first(int code) const { return first_[code]; }

    // Writes the string of code to the output; whatever fits is written
    // before a full output raises.
    void emit(int code, std::uint8_t* dest, std::size_t& out, std::size_t capacity) const
    {
        std::size_t length = length_[code];
        if (length <= capacity - out) {
            // The whole string fits: walk back from its end without checks.
            std::uint8_t* at = dest + out + length;
            for (int c = code; at > dest + out; c = prefix_[c]) *--at = last_[c];
            out += length;
            return;
        }
        std::size_t fits = std::min(length, capacity - out);
        // Walk from the end of the string back to its start.
        std::size_t position = length;
        for (int c = code; c >= 0 && position > 0; c = prefix_[c]) {
            --position;
            if (position < fits) dest[out + position] = last_[c];
        }
        out += fits;
        if (fits < length) CompressionError(OutputOverrun);
    }

private:
    std::array<int, Size> prefix_{};
    std::array<std::uint8_t, Size> last_{};
    std::array<std::uint8_t, Size> first_{};
    std::array<std::uint16_t, Size> length_{};
};

}  // namespace

namespace {

// What tells the TIFF and GIF flavours of LZW apart, besides the bit order
// (TIFF packs codes from the high bit of each byte, GIF from the low bit).
struct LzwVariant {
    int codeSize;      // literals are 0 .. 2^codeSize - 1, then the clear and end codes
    bool earlyChange;  // TIFF widens the codes one entry before the table needs it
    bool stopAtEnd;    // GIF passes over the end code: some writers put data behind it,
                       // and the output size bounds the decode anyway
};

// Decodes into dest; in and out count the bytes read and written as it goes,
// so they are right also when a full output raises.
template <bool MsbFirst>
void decodeLzw(const LzwVariant& variant, const std::uint8_t* source, std::uint8_t* dest, std::size_t packedSize,
               std::size_t unpackedSize, std::size_t& in, std::size_t& out)
{
    const int clearCode = 1 << variant.codeSize;
    const int endCode = clearCode + 1;
    const int firstFree = clearCode + 2;
    const int widen = variant.earlyChange ? 1 : 0;
    auto table = std::make_unique<LzwTable>(clearCode);
    int width = variant.codeSize + 1;
    int nextFree = firstFree;
    int previous = -1;
    std::uint32_t bits = 0;
    int bitCount = 0;
    in = out = 0;

    while (out < unpackedSize) {
        while (bitCount < width && in < packedSize) {
            if constexpr (MsbFirst)
                bits = (bits << 8) | source[in++];
            else
                bits |= static_cast<std::uint32_t>(source[in++]) << bitCount;
            bitCount += 8;
        }
        if (bitCount < width) break;
        const std::uint32_t mask = (1u << width) - 1;
        int code;
        if constexpr (MsbFirst) {
            code = static_cast<int>((bits >> (bitCount - width)) & mask);
        } else {
            code = static_cast<int>(bits & mask);
            bits >>= width;
        }
        bitCount -= width;

        if (code == clearCode) {
            width = variant.codeSize + 1;
            nextFree = firstFree;
            previous = -1;
            continue;
        }
        if (code == endCode) {
            if (variant.stopAtEnd) break;
            continue;
        }
        if (previous < 0) {
            if (code >= clearCode) continue;  // no string to continue from
            table->emit(code, dest, out, unpackedSize);
            previous = code;
            continue;
        }
        if (code > nextFree || (code == nextFree && nextFree >= LzwTable::Size)) continue;
        std::uint8_t firstByte = code == nextFree ? table->first(previous) : table->first(code);
        // A full table takes no more entries until the next clear code.
        if (nextFree < LzwTable::Size) {
            table->add(nextFree, previous, firstByte);
            ++nextFree;
            if (nextFree == (1 << width) - widen && width < 12) ++width;
        }
        table->emit(code, dest, out, unpackedSize);
        previous = code;
    }
}

}  // namespace

void TTIFFLZWDecoder::Decode(const std::uint8_t*& Source, std::uint8_t*& Dest, std::size_t PackedSize,
                             std::size_t UnpackedSize)
{
    decodeLzw<true>({8, true, true}, Source, Dest, PackedSize, UnpackedSize, consumed_, produced_);
}

TGIFLZWDecoder::TGIFLZWDecoder(int InitialCodeSize) : initialCodeSize_(InitialCodeSize)
{
    if (InitialCodeSize < 2 || InitialCodeSize > 8) CompressionError("Invalid LZW code size.");
}

void TGIFLZWDecoder::Decode(const std::uint8_t*& Source, std::uint8_t*& Dest, std::size_t PackedSize,
                            std::size_t UnpackedSize)
{
    decodeLzw<false>({initialCodeSize_, false, false}, Source, Dest, PackedSize, UnpackedSize, consumed_, produced_);
}

// ---------------------------------------------------------------- deflate

TLZ77Decoder::TLZ77Decoder(int FlushMode, bool AutoReset) : flushMode_(FlushMode), autoReset_(AutoReset) {}

TLZ77Decoder::~TLZ77Decoder()
{
    if (initialised_) inflateEnd(&stream_);
}

void TLZ77Decoder::DecodeInit()
{
    if (initialised_) {
        inflateEnd(&stream_);
        initialised_ = false;
    }
    stream_ = z_stream{};
    zlibResult_ = inflateInit2(&stream_, 15);
    if (zlibResult_ < 0) CompressionError("LZ77 decompression error.");
    initialised_ = true;
}

void TLZ77Decoder::Decode(const std::uint8_t*& Source, std::uint8_t*& Dest, std::size_t PackedSize,
                          std::size_t UnpackedSize)
{
    consumed_ = produced_ = 0;
    if (!initialised_) CompressionError("LZ77 decompression error.");
    stream_.next_in = const_cast<Bytef*>(Source);
    stream_.avail_in = static_cast<uInt>(std::min<std::size_t>(PackedSize, 0x7FFFFFFF));
    if (autoReset_) zlibResult_ = inflateReset(&stream_);
    if (zlibResult_ != Z_OK) return;
    // Nothing to move: inflate would only report that it made no progress.
    if (stream_.avail_in == 0 || UnpackedSize == 0) return;
    stream_.next_out = Dest;
    stream_.avail_out = static_cast<uInt>(std::min<std::size_t>(UnpackedSize, 0x7FFFFFFF));
    zlibResult_ = inflate(&stream_, flushMode_);
    consumed_ = static_cast<std::size_t>(stream_.next_in - Source);
    produced_ = static_cast<std::size_t>(stream_.next_out - Dest);
    Source = stream_.next_in;
    Dest = stream_.next_out;
}

void TLZ77Decoder::DecodeEnd()
{
    if (!initialised_) return;
    initialised_ = false;
    if (inflateEnd(&stream_) < 0) CompressionError("LZ77 decompression error.");
}
