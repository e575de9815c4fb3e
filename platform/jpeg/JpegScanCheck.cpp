#include "platform/jpeg/JpegScanCheck.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <initializer_list>
#include <new>
#include <utility>

namespace {

constexpr std::size_t kPiece = std::size_t(1) << 16;
constexpr int kMaxBlocksInMcu = 10;  // libjpeg's limit for an interleaved scan

std::uint64_t ceilDiv(std::uint64_t a, std::uint64_t b) { return (a + b - 1) / b; }

// Bits set in a mask, without a library call where the processor's own
// instruction may not be used.
int ones(std::uint64_t v)
{
    v -= v >> 1 & 0x5555555555555555u;
    v = (v & 0x3333333333333333u) + (v >> 2 & 0x3333333333333333u);
    v = (v + (v >> 4)) & 0x0F0F0F0F0F0F0F0Fu;
    return int((v * 0x0101010101010101u) >> 56);
}

// A coefficient's value from its extra bits (the standard's EXTEND).
int extend(int bits, int size) { return bits < (1 << (size - 1)) ? bits - (1 << size) + 1 : bits; }

// Coefficients from..to (zigzag order) as a mask; none when from > to.
std::uint64_t band(int from, int to)
{
    return from > to ? 0 : (~std::uint64_t(0) >> (63 - to)) & (~std::uint64_t(0) << from);
}

// A reader over bytes in memory, which must outlive it.
TJpegScanCheck::TReader memoryReader(const std::uint8_t* data, std::size_t size)
{
    return [data, size](std::uint64_t offset, std::uint8_t* to, std::size_t count) -> std::size_t {
        if (!data || offset >= size) return 0;
        const std::size_t n = std::min<std::uint64_t>(count, size - offset);
        std::memcpy(to, data + offset, n);
        return n;
    };
}

}  // namespace

TJpegScanCheck::TJpegScanCheck(TReader stream, std::vector<std::uint8_t> tables, std::size_t historyBudget)
    : read_(std::move(stream)), tables_(std::move(tables)), budget_(historyBudget), buffer_(kPiece)
{
}

TJpegScanCheck::TVerdict TJpegScanCheck::Check(const std::uint8_t* data, std::size_t size, const std::uint8_t* tables,
                                               std::size_t tablesSize)
{
    std::vector<std::uint8_t> tableBytes;
    if (tables && tablesSize) tableBytes.assign(tables, tables + tablesSize);
    return TJpegScanCheck(memoryReader(data, size), std::move(tableBytes)).Run();
}

TJpegScanCheck::TVerdict TJpegScanCheck::Run()
{
    skippedScans_ = 0;
    history_ = {};
    // The structure: scan headers and the progression as libjpeg checks
    // them, and whether the stream ends before its last scan.
    TStep step = walk(false);
    if (step == TStep::Corrupt) return TVerdict::Corrupt;
    if (step == TStep::End && ranOut_ && multiScan_ && !wholeProgression()) return TVerdict::EndsEarly;
    // The coded data, as far as the structure could be followed.
    planHistory();
    step = walk(true);
    return step == TStep::Corrupt ? TVerdict::Corrupt : TVerdict::Sound;
}

// --- Bytes, markers and bits ----------------------------------------------------------

void TJpegScanCheck::start(const TReader& source)
{
    source_ = &source;
    offset_ = 0;
    at_ = size_ = 0;
    bitBuffer_ = 0;
    bitCount_ = 0;
    marker_ = 0;
}

// The next piece of the stream; false at its end.
bool TJpegScanCheck::refill()
{
    if (ranOut_) return false;
    size_ = std::min((*source_)(offset_, buffer_.data(), buffer_.size()), buffer_.size());
    offset_ += size_;
    at_ = 0;
    if (size_ == 0) ranOut_ = true;
    return size_ != 0;
}

int TJpegScanCheck::byte()
{
    if (at_ == size_ && !refill()) return -1;
    return buffer_[at_++];
}

int TJpegScanCheck::word()
{
    const int high = byte(), low = byte();
    return high < 0 || low < 0 ? -1 : high << 8 | low;
}

bool TJpegScanCheck::skip(std::uint32_t count)
{
    while (count > 0) {
        if (at_ == size_ && !refill()) return false;
        const std::size_t step = std::min<std::size_t>(count, size_ - at_);
        at_ += step;
        count -= std::uint32_t(step);
    }
    return true;
}

// libjpeg's search for the next marker: stray bytes and stuffed FF 00 pairs
// are passed over, fill bytes too. -1 at the end of the stream.
int TJpegScanCheck::nextMarker()
{
    for (;;) {
        for (;;) {
            if (at_ == size_ && !refill()) return -1;
            const auto* from = buffer_.data() + at_;
            const auto* found = static_cast<const std::uint8_t*>(std::memchr(from, 0xFF, size_ - at_));
            if (found) {
                at_ += std::size_t(found - from) + 1;
                break;
            }
            at_ = size_;
        }
        int c = 0;
        do c = byte();
        while (c == 0xFF);
        if (c < 0) return -1;
        if (c != 0) return c;
    }
}

// Coded data into the bit buffer, up to 57 bits or to a marker, which ends
// the data (the end of the stream shows as the end marker libjpeg supplies
// there). Past the data the buffer holds zeros, as libjpeg's does.
void TJpegScanCheck::fill()
{
    if (bitCount_ <= 56 && !marker_ && at_ + 8 <= size_) {
        // Eight bytes without an FF among them: as many as fit, at once.
        std::uint64_t word = 0;
        std::memcpy(&word, buffer_.data() + at_, 8);
        const std::uint64_t inverted = ~word;
        if (((inverted - 0x0101010101010101u) & ~inverted & 0x8080808080808080u) == 0) {
            if constexpr (std::endian::native == std::endian::little) word = __builtin_bswap64(word);
            const int n = (64 - bitCount_) >> 3;
            bitBuffer_ |= (word >> (64 - 8 * n)) << (64 - bitCount_ - 8 * n);
            bitCount_ += 8 * n;
            at_ += std::size_t(n);
            return;
        }
    }
    while (bitCount_ <= 56 && !marker_) {
        int c = 0;
        if (at_ < size_ && buffer_[at_] != 0xFF) {
            c = buffer_[at_++];
        } else {
            c = byte();
            if (c == 0xFF) {
                do c = byte();
                while (c == 0xFF);
                if (c != 0) {
                    marker_ = c < 0 ? 0xD9 : c;
                    return;
                }
                c = 0xFF;
            }
            if (c < 0) {
                marker_ = 0xD9;
                return;
            }
        }
        bitBuffer_ |= std::uint64_t(c) << (56 - bitCount_);
        bitCount_ += 8;
    }
}

// Passes over `count` bits (up to 32); false when they lie beyond the data:
// libjpeg warns only then, when a bit is needed that the data does not have.
[[gnu::always_inline]] inline bool TJpegScanCheck::take(int count)
{
    if (bitCount_ < count) {
        fill();
        if (bitCount_ < count) return false;
    }
    bitBuffer_ <<= count;
    bitCount_ -= count;
    return true;
}

// The next `count` bits (1 to 32) as a number, passed over; false when
// they lie beyond the data.
[[gnu::always_inline]] inline bool TJpegScanCheck::bits(int count, std::uint32_t& value)
{
    if (bitCount_ < count) {
        fill();
        if (bitCount_ < count) return false;
    }
    value = std::uint32_t(bitBuffer_ >> (64 - count));
    bitBuffer_ <<= count;
    bitCount_ -= count;
    return true;
}

// An end-of-band run of a progressive AC scan: 2^run blocks and `run` bits more.
[[gnu::always_inline]] inline bool TJpegScanCheck::eobRun(int run)
{
    std::uint32_t extra = 0;
    if (run != 0 && !bits(run, extra)) return false;
    eobRun_ = (1u << run) + extra;
    return true;
}

bool TJpegScanCheck::takeMany(std::uint64_t count)
{
    while (count > 0) {
        if (bitCount_ == 0) {
            fill();
            if (bitCount_ == 0) return false;
        }
        const int step = int(std::min<std::uint64_t>(count, std::uint64_t(bitCount_)));
        bitBuffer_ = step == 64 ? 0 : bitBuffer_ << step;
        bitCount_ -= step;
        count -= std::uint64_t(step);
    }
    return true;
}

// The next symbol; -1 for a code that runs beyond the data, -2 for bits that
// no code of up to 16 bits matches (libjpeg's bad code, not yet passed over).
[[gnu::always_inline]] inline int TJpegScanCheck::decode(const TDecoder& table)
{
    if (bitCount_ < 16) fill();
    const auto peek = std::uint32_t(bitBuffer_ >> 48);
    const std::uint16_t entry = table.look[peek >> (16 - LookBits)];
    int length = entry >> 8, symbol = entry & 0xFF;
    if (entry == 0) {
        length = LookBits + 1;
        while (length <= 16 && std::int32_t(peek >> (16 - length)) > table.maxCode[std::size_t(length)]) ++length;
        if (length > 16) return -2;
        const std::int32_t code = std::int32_t(peek >> (16 - length));
        symbol = (*table.values)[std::size_t(code + table.offset[std::size_t(length)]) & 0xFF];
    }
    if (length > bitCount_) return -1;
    bitBuffer_ <<= length;
    bitCount_ -= length;
    return symbol;
}

// A symbol of a sequential scan. A bad code costs libjpeg 17 bits and reads
// as 0; it warns of it only in its careful decoder, which it always uses
// with restart markers and elsewhere only where its buffer runs low.
[[gnu::always_inline]] inline int TJpegScanCheck::sequentialSymbol(const TDecoder& table)
{
    const int symbol = decode(table);
    if (symbol != -2) return symbol;
    if (restartInterval_ != 0) return -1;
    return take(16) && take(1) ? 0 : -1;
}

// --- The walk ----------------------------------------------------------------------

TJpegScanCheck::TStep TJpegScanCheck::walk(bool decode)
{
    frameSeen_ = progressive_ = scanSeen_ = multiScan_ = false;
    components_.clear();
    dcTables_ = {};
    acTables_ = {};
    quantTables_ = {};
    ranOut_ = false;
    if (!tables_.empty()) {
        // The tables' stream holds tables only; libjpeg keeps them for the next.
        const TReader tables = memoryReader(tables_.data(), tables_.size());
        start(tables);
        if (walkStream(false) != TStep::End || frameSeen_) return TStep::Stop;
        ranOut_ = false;
    }
    start(read_);
    return walkStream(decode);
}

TJpegScanCheck::TStep TJpegScanCheck::walkStream(bool decode)
{
    if (byte() != 0xFF || byte() != 0xD8) return TStep::Stop;
    restartInterval_ = 0;
    for (;;) {
        const int marker = marker_ ? std::exchange(marker_, 0) : nextMarker();
        if (marker < 0) return TStep::End;  // libjpeg supplies the end marker
        TStep step = TStep::Go;
        switch (marker) {
        case 0xC0:
        case 0xC1:
        case 0xC2: step = frame(marker); break;
        case 0xC4: step = huffmanTables(); break;
        case 0xDB: step = quantisationTables(); break;
        case 0xDD: step = restartInterval(); break;
        case 0xCC: step = arithmeticTables(); break;
        case 0xDA: {
            TScan scan;
            TDecoders decoders;
            step = scanHeader(scan);
            if (step == TStep::Go) step = startScan(scan, decoders);
            if (step == TStep::Go && decode) {
                // A scan not decoded has its data passed over as stray bytes up to the next marker.
                const bool untracked = scan.ss > 0 && scan.ah > 0 && !history_[std::size_t(scan.component[0])].kept;
                skippedScans_ += untracked;
                if (!untracked) step = decodeScan(scan, decoders);
            }
            break;
        }
        case 0xD9: return TStep::End;
        case 0x01:
        case 0xD0:
        case 0xD1:
        case 0xD2:
        case 0xD3:
        case 0xD4:
        case 0xD5:
        case 0xD6:
        case 0xD7: break;  // markers without a segment
        default:
            if (marker == 0xDC || marker == 0xFE || (marker >= 0xE0 && marker <= 0xEF)) {
                const int length = word();
                if (length < 0 || !skip(std::uint32_t(std::max(length - 2, 0)))) return TStep::End;
                if (length < 2) return TStep::Stop;
            } else {
                return TStep::Stop;  // a second start of image, other frames, unknown markers
            }
        }
        if (ranOut_ && step == TStep::Go) return TStep::End;  // it ended inside a segment
        if (step != TStep::Go) return step;
    }
}

TJpegScanCheck::TStep TJpegScanCheck::frame(int marker)
{
    const int length = word(), precision = byte(), height = word(), width = word(), count = byte();
    if (count < 0) return TStep::End;
    if (frameSeen_ || length != 8 + 3 * count || precision != 8 || count < 1 || count > MaxComponents || width <= 0 ||
        height <= 0)
        return TStep::Stop;
    frameSeen_ = true;
    progressive_ = marker == 0xC2;
    width_ = std::uint32_t(width);
    height_ = std::uint32_t(height);
    maxH_ = maxV_ = 1;
    for (int i = 0; i < count; ++i) {
        TComponent c;
        c.id = byte();
        const int sampling = byte();
        c.quantTable = byte();
        if (c.quantTable < 0) return TStep::End;
        c.h = sampling >> 4;
        c.v = sampling & 15;
        if (c.h < 1 || c.h > 4 || c.v < 1 || c.v > 4) return TStep::Stop;
        for (const TComponent& other : components_)
            if (other.id == c.id) return TStep::Stop;
        c.coefBits.fill(-1);
        maxH_ = std::max(maxH_, c.h);
        maxV_ = std::max(maxV_, c.v);
        components_.push_back(c);
    }
    for (TComponent& c : components_) {
        // Sampling factors that do not divide the largest: libjpeg cannot upsample them.
        if (maxH_ % c.h != 0 || maxV_ % c.v != 0) return TStep::Stop;
        c.widthInBlocks = std::uint32_t(ceilDiv(std::uint64_t(width_) * c.h, 8 * std::uint64_t(maxH_)));
        c.heightInBlocks = std::uint32_t(ceilDiv(std::uint64_t(height_) * c.v, 8 * std::uint64_t(maxV_)));
    }
    return TStep::Go;
}

// The standard's typical tables (luminance in the first place, chrominance
// in the second), which libjpeg puts where a sequential file defines none:
// Motion JPEG frames leave them out.
const TJpegScanCheck::THuffman& TJpegScanCheck::standardTable(bool dc, int slot)
{
    auto make = [](std::initializer_list<std::uint8_t> counts, std::initializer_list<std::uint8_t> values) {
        THuffman table;
        table.defined = true;
        std::copy(counts.begin(), counts.end(), table.counts.begin() + 1);
        std::copy(values.begin(), values.end(), table.values.begin());
        return table;
    };
    static const std::array<THuffman, 4> tables = {
        make({0, 1, 5, 1, 1, 1, 1, 1, 1, 0, 0, 0, 0, 0, 0, 0}, {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11}),
        make({0, 3, 1, 1, 1, 1, 1, 1, 1, 1, 1, 0, 0, 0, 0, 0}, {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11}),
        make({0, 2, 1, 3, 3, 2, 4, 3, 5, 5, 4, 4, 0, 0, 1, 0x7d},
             {0x01, 0x02, 0x03, 0x00, 0x04, 0x11, 0x05, 0x12, 0x21, 0x31, 0x41, 0x06, 0x13, 0x51, 0x61, 0x07, 0x22,
              0x71, 0x14, 0x32, 0x81, 0x91, 0xa1, 0x08, 0x23, 0x42, 0xb1, 0xc1, 0x15, 0x52, 0xd1, 0xf0, 0x24, 0x33,
              0x62, 0x72, 0x82, 0x09, 0x0a, 0x16, 0x17, 0x18, 0x19, 0x1a, 0x25, 0x26, 0x27, 0x28, 0x29, 0x2a, 0x34,
              0x35, 0x36, 0x37, 0x38, 0x39, 0x3a, 0x43, 0x44, 0x45, 0x46, 0x47, 0x48, 0x49, 0x4a, 0x53, 0x54, 0x55,
              0x56, 0x57, 0x58, 0x59, 0x5a, 0x63, 0x64, 0x65, 0x66, 0x67, 0x68, 0x69, 0x6a, 0x73, 0x74, 0x75, 0x76,
              0x77, 0x78, 0x79, 0x7a, 0x83, 0x84, 0x85, 0x86, 0x87, 0x88, 0x89, 0x8a, 0x92, 0x93, 0x94, 0x95, 0x96,
              0x97, 0x98, 0x99, 0x9a, 0xa2, 0xa3, 0xa4, 0xa5, 0xa6, 0xa7, 0xa8, 0xa9, 0xaa, 0xb2, 0xb3, 0xb4, 0xb5,
              0xb6, 0xb7, 0xb8, 0xb9, 0xba, 0xc2, 0xc3, 0xc4, 0xc5, 0xc6, 0xc7, 0xc8, 0xc9, 0xca, 0xd2, 0xd3, 0xd4,
              0xd5, 0xd6, 0xd7, 0xd8, 0xd9, 0xda, 0xe1, 0xe2, 0xe3, 0xe4, 0xe5, 0xe6, 0xe7, 0xe8, 0xe9, 0xea, 0xf1,
              0xf2, 0xf3, 0xf4, 0xf5, 0xf6, 0xf7, 0xf8, 0xf9, 0xfa}),
        make({0, 2, 1, 2, 4, 4, 3, 4, 7, 5, 4, 4, 0, 1, 2, 0x77},
             {0x00, 0x01, 0x02, 0x03, 0x11, 0x04, 0x05, 0x21, 0x31, 0x06, 0x12, 0x41, 0x51, 0x07, 0x61, 0x71, 0x13,
              0x22, 0x32, 0x81, 0x08, 0x14, 0x42, 0x91, 0xa1, 0xb1, 0xc1, 0x09, 0x23, 0x33, 0x52, 0xf0, 0x15, 0x62,
              0x72, 0xd1, 0x0a, 0x16, 0x24, 0x34, 0xe1, 0x25, 0xf1, 0x17, 0x18, 0x19, 0x1a, 0x26, 0x27, 0x28, 0x29,
              0x2a, 0x35, 0x36, 0x37, 0x38, 0x39, 0x3a, 0x43, 0x44, 0x45, 0x46, 0x47, 0x48, 0x49, 0x4a, 0x53, 0x54,
              0x55, 0x56, 0x57, 0x58, 0x59, 0x5a, 0x63, 0x64, 0x65, 0x66, 0x67, 0x68, 0x69, 0x6a, 0x73, 0x74, 0x75,
              0x76, 0x77, 0x78, 0x79, 0x7a, 0x82, 0x83, 0x84, 0x85, 0x86, 0x87, 0x88, 0x89, 0x8a, 0x92, 0x93, 0x94,
              0x95, 0x96, 0x97, 0x98, 0x99, 0x9a, 0xa2, 0xa3, 0xa4, 0xa5, 0xa6, 0xa7, 0xa8, 0xa9, 0xaa, 0xb2, 0xb3,
              0xb4, 0xb5, 0xb6, 0xb7, 0xb8, 0xb9, 0xba, 0xc2, 0xc3, 0xc4, 0xc5, 0xc6, 0xc7, 0xc8, 0xc9, 0xca, 0xd2,
              0xd3, 0xd4, 0xd5, 0xd6, 0xd7, 0xd8, 0xd9, 0xda, 0xe2, 0xe3, 0xe4, 0xe5, 0xe6, 0xe7, 0xe8, 0xe9, 0xea,
              0xf2, 0xf3, 0xf4, 0xf5, 0xf6, 0xf7, 0xf8, 0xf9, 0xfa}),
    };
    return tables[std::size_t((dc ? 0 : 2) + slot)];
}

TJpegScanCheck::TStep TJpegScanCheck::huffmanTables()
{
    int length = word();
    if (length < 0) return TStep::End;
    length -= 2;
    while (length > 16) {
        THuffman table;
        const int index = byte();
        int count = 0;
        for (int i = 1; i <= 16; ++i) {
            const int n = byte();
            table.counts[std::size_t(i)] = std::uint8_t(n);
            count += n;
        }
        if (ranOut_) return TStep::End;
        length -= 17;
        if (count > 256 || count > length) return TStep::Stop;
        for (int i = 0; i < count; ++i) table.values[std::size_t(i)] = std::uint8_t(byte());
        if (ranOut_) return TStep::End;
        length -= count;
        const bool ac = (index & 0x10) != 0;
        const int slot = index - (ac ? 0x10 : 0);
        if (slot >= 4) return TStep::Stop;
        table.defined = true;
        (ac ? acTables_ : dcTables_)[std::size_t(slot)] = table;
    }
    return length == 0 ? TStep::Go : TStep::Stop;
}

TJpegScanCheck::TStep TJpegScanCheck::quantisationTables()
{
    int length = word();
    if (length < 0) return TStep::End;
    length -= 2;
    while (length > 0) {
        const int index = byte();
        if (index < 0) return TStep::End;
        const int size = 1 + ((index >> 4) ? 128 : 64);
        if ((index & 15) >= 4 || size > length) return TStep::Stop;
        if (!skip(std::uint32_t(size - 1))) return TStep::End;
        quantTables_[std::size_t(index & 15)] = true;
        length -= size;
    }
    return length == 0 ? TStep::Go : TStep::Stop;
}

// Arithmetic coding's conditioning tables mean nothing to Huffman data, but
// libjpeg reads them all the same, and refuses bad ones.
TJpegScanCheck::TStep TJpegScanCheck::arithmeticTables()
{
    int length = word();
    if (length < 0) return TStep::End;
    length -= 2;
    while (length > 0) {
        const int index = byte(), value = byte();
        if (value < 0) return TStep::End;
        length -= 2;
        if (index >= 32 || (index < 16 && (value & 15) > (value >> 4))) return TStep::Stop;
    }
    return length == 0 ? TStep::Go : TStep::Stop;
}

TJpegScanCheck::TStep TJpegScanCheck::restartInterval()
{
    const int length = word(), interval = word();
    if (interval < 0) return TStep::End;
    if (length != 4) return TStep::Stop;
    restartInterval_ = std::uint32_t(interval);
    return TStep::Go;
}

TJpegScanCheck::TStep TJpegScanCheck::scanHeader(TScan& scan)
{
    const int length = word(), count = byte();
    if (count < 0) return TStep::End;
    if (!frameSeen_ || length != 6 + 2 * count || count < 1 || count > MaxComponents) return TStep::Stop;
    scan.count = count;
    for (int i = 0; i < count; ++i) {
        const int id = byte(), tables = byte();
        if (tables < 0) return TStep::End;
        const auto found =
            std::find_if(components_.begin(), components_.end(), [id](const TComponent& c) { return c.id == id; });
        if (found == components_.end()) return TStep::Stop;
        scan.component[std::size_t(i)] = int(found - components_.begin());
        for (int j = 0; j < i; ++j)
            if (scan.component[std::size_t(j)] == scan.component[std::size_t(i)]) return TStep::Stop;
        scan.dcTable[std::size_t(i)] = tables >> 4;
        scan.acTable[std::size_t(i)] = tables & 15;
    }
    scan.ss = byte();
    scan.se = byte();
    const int approximation = byte();
    if (approximation < 0) return TStep::End;
    scan.ah = approximation >> 4;
    scan.al = approximation & 15;
    nextRestart_ = 0;
    if (!scanSeen_) multiScan_ = progressive_ || count < int(components_.size());
    scanSeen_ = true;
    return TStep::Go;
}

// What libjpeg does as a scan starts: the MCU's size, the quantisation
// tables, the scan's parameters and the progression (a scan that does not fit
// it is only a warning, so corrupt), and the Huffman tables it derives.
TJpegScanCheck::TStep TJpegScanCheck::startScan(const TScan& scan, TDecoders& decoders)
{
    if (scan.count > 1) {
        int blocks = 0;
        for (int i = 0; i < scan.count; ++i) {
            const TComponent& c = components_[std::size_t(scan.component[std::size_t(i)])];
            blocks += c.h * c.v;
        }
        if (blocks > kMaxBlocksInMcu) return TStep::Stop;
    }
    for (int i = 0; i < scan.count; ++i) {
        TComponent& c = components_[std::size_t(scan.component[std::size_t(i)])];
        if (!c.latched && (c.quantTable >= 4 || !quantTables_[std::size_t(c.quantTable)])) return TStep::Stop;
        c.latched = true;
    }
    const bool dcBand = scan.ss == 0;
    if (!progressive_) {
        // A sequential scan's parameters are judged before its tables
        // (libjpeg warns before it derives them; where a frame has none in
        // the first two places, it puts the standard ones there).
        if (scan.ss != 0 || scan.se != 63 || scan.ah != 0 || scan.al != 0) return TStep::Corrupt;
        for (int i = 0; i < scan.count; ++i)
            for (bool dc : {true, false}) {
                const int slot = dc ? scan.dcTable[std::size_t(i)] : scan.acTable[std::size_t(i)];
                if (slot >= 4) return TStep::Stop;
                const THuffman& given = (dc ? dcTables_ : acTables_)[std::size_t(slot)];
                const THuffman& table = given.defined || slot >= 2 ? given : standardTable(dc, slot);
                if (!derive(table, dc, (dc ? decoders.dc : decoders.ac)[std::size_t(i)])) return TStep::Stop;
            }
        return TStep::Go;
    }
    bool bad = dcBand ? scan.se != 0 : scan.ss > scan.se || scan.se > 63 || scan.count != 1;
    bad = bad || (scan.ah != 0 && scan.al != scan.ah - 1) || scan.al > 13;
    if (bad) return TStep::Stop;
    for (int i = 0; i < scan.count; ++i) {
        const int index = scan.component[std::size_t(i)];
        TComponent& c = components_[std::size_t(index)];
        if (!dcBand && c.coefBits[0] < 0) return TStep::Corrupt;  // AC before any DC scan
        for (int k = scan.ss; k <= scan.se; ++k) {
            if (scan.ah != std::max(c.coefBits[std::size_t(k)], 0)) return TStep::Corrupt;
            c.coefBits[std::size_t(k)] = scan.al;
        }
        if (!dcBand && scan.ah > 0) history_[std::size_t(index)].refined |= band(scan.ss, scan.se);
    }
    // The tables the scan decodes with, derived as libjpeg derives them;
    // one it would refuse ends the check.
    for (int i = 0; i < scan.count && !(dcBand && scan.ah != 0); ++i) {  // DC refinement uses none
        const int slot = dcBand ? scan.dcTable[std::size_t(i)] : scan.acTable[std::size_t(i)];
        if (slot >= 4 || !derive((dcBand ? dcTables_ : acTables_)[std::size_t(slot)], dcBand,
                                 (dcBand ? decoders.dc : decoders.ac)[std::size_t(i)]))
            return TStep::Stop;
    }
    return TStep::Go;
}

// libjpeg's derived table: the last code of each length and where its values
// start. It refuses a table that is missing, overfills the code space (no
// code may be all ones) or gives a DC table a symbol past 15.
bool TJpegScanCheck::derive(const THuffman& table, bool dc, TDecoder& decoder)
{
    if (!table.defined) return false;
    std::int32_t code = 0;
    int symbols = 0;
    for (int length = 1; length <= 16; ++length) {
        const int n = table.counts[std::size_t(length)];
        decoder.offset[std::size_t(length)] = symbols - code;
        decoder.maxCode[std::size_t(length)] = n ? code + n - 1 : -1;
        symbols += n;
        code += n;
        if (symbols > 256 || code >= (std::int32_t(1) << length)) return false;
        code <<= 1;
    }
    for (int s = 0; dc && s < symbols; ++s)
        if (table.values[std::size_t(s)] > 15) return false;
    decoder.values = &table.values;
    // Every code of up to LookBits bits fills the entries it begins.
    decoder.look.fill(0);
    decoder.withBits.fill(0);
    code = 0;
    symbols = 0;
    for (int length = 1; length <= LookBits; ++length) {
        const int n = table.counts[std::size_t(length)];
        const int spread = 1 << (LookBits - length);
        for (int i = 0; i < n; ++i, ++code, ++symbols) {
            const int symbol = table.values[std::size_t(symbols)], whole = length + (symbol & 15);
            std::fill_n(decoder.look.begin() + std::ptrdiff_t(code) * spread, spread,
                        std::uint16_t(length << 8 | symbol));
            if (whole <= LookBits)
                std::fill_n(decoder.withBits.begin() + std::ptrdiff_t(code) * spread, spread,
                            std::uint16_t(whole << 8 | symbol));
        }
        code <<= 1;
    }
    return true;
}

bool TJpegScanCheck::wholeProgression() const
{
    if (!progressive_) return false;
    for (const TComponent& c : components_)
        for (int bitsLeft : c.coefBits)
            if (bitsLeft != 0) return false;
    return true;
}

// The refinement scans' history, a component at a time while the budget lasts.
void TJpegScanCheck::planHistory()
{
    std::size_t used = 0;
    for (std::size_t i = 0; i < components_.size(); ++i) {
        THistory& h = history_[i];
        if (!h.refined) continue;
        h.low = std::countr_zero(h.refined);
        const int span = 64 - std::countl_zero(h.refined) - h.low;
        h.width = span <= 8 ? 1 : span <= 16 ? 2 : span <= 32 ? 4 : 8;
        const TComponent& c = components_[i];
        const std::uint64_t bytes = std::uint64_t(c.widthInBlocks) * c.heightInBlocks * std::uint64_t(h.width);
        if (bytes > budget_ - used) continue;
        try {
            h.bits = TZeroedBytes(std::size_t(bytes));
        } catch (const std::bad_alloc&) {
            continue;
        }
        h.kept = true;
        used += std::size_t(bytes);
    }
}

[[gnu::always_inline]] inline std::uint64_t TJpegScanCheck::THistory::Load(std::uint64_t block) const
{
    const std::uint8_t* at = bits.data() + block * std::uint64_t(width);
    std::uint64_t mask = 0;
    switch (width) {
    case 1: mask = *at; break;
    case 2: {
        std::uint16_t v = 0;
        std::memcpy(&v, at, 2);
        mask = v;
        break;
    }
    case 4: {
        std::uint32_t v = 0;
        std::memcpy(&v, at, 4);
        mask = v;
        break;
    }
    default: std::memcpy(&mask, at, 8);
    }
    return mask << low;
}

[[gnu::always_inline]] inline void TJpegScanCheck::THistory::Store(std::uint64_t block, std::uint64_t mask)
{
    std::uint8_t* at = bits.data() + block * std::uint64_t(width);
    mask >>= low;
    switch (width) {
    case 1: *at = std::uint8_t(mask); break;
    case 2: {
        const auto v = std::uint16_t(mask);
        std::memcpy(at, &v, 2);
        break;
    }
    case 4: {
        const auto v = std::uint32_t(mask);
        std::memcpy(at, &v, 4);
        break;
    }
    default: std::memcpy(at, &mask, 8);
    }
}

// At a restart point libjpeg drops the bits left and expects the next
// restart marker in turn; any other marker (or none) makes it warn.
bool TJpegScanCheck::restart()
{
    bitBuffer_ = 0;
    bitCount_ = 0;
    if (!marker_) {
        const int marker = nextMarker();
        marker_ = marker < 0 ? 0xD9 : marker;
    }
    if (marker_ != 0xD0 + nextRestart_) return false;
    marker_ = 0;
    nextRestart_ = (nextRestart_ + 1) & 7;
    eobRun_ = 0;
    return true;
}

// The blocks of a scan in libjpeg's order: a lone component's own blocks
// row by row, or the MCUs of an interleaved scan, each its components'
// blocks in turn.
TJpegScanCheck::TStep TJpegScanCheck::decodeScan(const TScan& scan, const TDecoders& decoders)
{
    std::uint64_t mcus = 0;
    std::array<std::uint8_t, kMaxBlocksInMcu> member{};
    int blocks = 0;
    if (scan.count == 1) {
        const TComponent& c = components_[std::size_t(scan.component[0])];
        mcus = std::uint64_t(c.widthInBlocks) * c.heightInBlocks;
        blocks = 1;
    } else {
        mcus = ceilDiv(width_, 8 * std::uint64_t(maxH_)) * ceilDiv(height_, 8 * std::uint64_t(maxV_));
        for (int i = 0; i < scan.count; ++i) {
            const TComponent& c = components_[std::size_t(scan.component[std::size_t(i)])];
            for (int b = 0; b < c.h * c.v; ++b) member[std::size_t(blocks++)] = std::uint8_t(i);
        }
    }
    bitBuffer_ = 0;
    bitCount_ = 0;
    eobRun_ = 0;
    const bool dcBand = scan.ss == 0;
    THistory& history = history_[std::size_t(scan.component[0])];
    const bool tracked = progressive_ && !dcBand && history.kept;
    const std::uint64_t bandMask = band(scan.ss, scan.se);
    std::uint32_t toGo = restartInterval_;
    for (std::uint64_t mcu = 0; mcu < mcus;) {
        if (restartInterval_ != 0 && toGo == 0) {
            if (!restart()) return TStep::Corrupt;
            toGo = restartInterval_;
        }
        // The MCUs up to the next restart point or the scan's end that can be
        // taken at once: a DC refinement's bits, an end-of-band run's blocks.
        std::uint64_t ahead = mcus - mcu;
        if (restartInterval_ != 0) ahead = std::min<std::uint64_t>(ahead, toGo);
        std::uint64_t done = 1;
        if (!progressive_) {
            done = ahead;
            if (!sequentialMcus(decoders, member.data(), blocks, done)) return TStep::Corrupt;
        } else if (dcBand && scan.ah == 0) {
            for (int b = 0; b < blocks; ++b) {
                const int size = decode(decoders.dc[std::size_t(member[std::size_t(b)])]);
                if (size < 0 || !take(size)) return TStep::Corrupt;
            }
        } else if (dcBand) {
            done = ahead;  // a bit a block
            if (!takeMany(done * std::uint64_t(blocks))) return TStep::Corrupt;
        } else if (eobRun_ > 0) {
            // Blocks of an end-of-band run: nothing in a first scan, in a
            // refinement a correction bit for each coefficient already nonzero.
            done = std::min<std::uint64_t>(eobRun_, ahead);
            if (tracked && scan.ah > 0) {
                std::uint64_t corrections = 0;
                for (std::uint64_t b = mcu; b < mcu + done; ++b)
                    if (const std::uint64_t nonzero = history.Load(b) & bandMask)
                        corrections += std::uint64_t(ones(nonzero));
                if (!takeMany(corrections)) return TStep::Corrupt;
            }
            eobRun_ -= std::uint32_t(done);
        } else {
            std::uint64_t mask = tracked ? history.Load(mcu) : 0;
            if (!(scan.ah == 0 ? acFirst(scan, decoders.ac[0], mask) : acRefine(scan, decoders.ac[0], mask)))
                return TStep::Corrupt;
            if (tracked) history.Store(mcu, mask);
        }
        mcu += done;
        if (restartInterval_ != 0) toGo -= std::uint32_t(done);
    }
    bitBuffer_ = 0;  // what is left up to the next marker, libjpeg passes over
    bitCount_ = 0;
    return TStep::Go;
}

// MCUs of a sequential scan (libjpeg's decode_mcu): each block's DC
// difference, then its AC coefficients up to the end of the block.
bool TJpegScanCheck::sequentialMcus(const TDecoders& decoders, const std::uint8_t* member, int blocks,
                                    std::uint64_t mcus)
{
    // The bits in registers; filling them and the long way (long and bad
    // codes) go through the members.
    std::uint64_t buffer = bitBuffer_;
    int count = bitCount_;
    for (std::uint64_t mcu = 0; mcu < mcus; ++mcu)
        for (int b = 0; b < blocks; ++b) {
            const TDecoder* table = &decoders.dc[member[b]];
            for (int k = 0; k < 64; ++k) {
                if (count < 32) {
                    bitBuffer_ = buffer;
                    bitCount_ = count;
                    fill();
                    buffer = bitBuffer_;
                    count = bitCount_;
                }
                // A symbol and its extra bits (symbol & 15 of them in both tables).
                const unsigned entry = table->withBits[buffer >> (64 - LookBits)];
                int symbol = int(entry & 0xFF);
                if (entry != 0) {
                    const int length = int(entry >> 8);
                    if (length > count) return false;
                    buffer <<= length;
                    count -= length;
                } else {
                    bitBuffer_ = buffer;
                    bitCount_ = count;
                    symbol = sequentialSymbol(*table);
                    if (symbol < 0 || !take(symbol & 15)) return false;
                    buffer = bitBuffer_;
                    count = bitCount_;
                }
                if (k == 0) {  // the DC difference, then the AC coefficients
                    table = &decoders.ac[member[b]];
                    continue;
                }
                const int run = symbol >> 4;
                if (symbol & 15)
                    k += run;
                else if (run == 15)
                    k += 15;
                else
                    break;
            }
        }
    bitBuffer_ = buffer;
    bitCount_ = count;
    return true;
}

// One block of a first AC scan (libjpeg's decode_mcu_AC_first). `mask` holds
// the block's nonzero coefficients; libjpeg writes each coefficient at its
// position k, or past the band's end (its order table sends every k past 63
// to 63), as a 16-bit value shifted by Al.
bool TJpegScanCheck::acFirst(const TScan& scan, const TDecoder& table, std::uint64_t& mask)
{
    for (int k = scan.ss; k <= scan.se; ++k) {
        const int symbol = decode(table);
        if (symbol < 0) return false;
        const int run = symbol >> 4, size = symbol & 15;
        if (size) {
            k += run;
            bool nonzero = true;
            if (size + scan.al <= 15) {
                if (!take(size)) return false;
            } else {  // a value that may lose every bit to the shift
                std::uint32_t extra = 0;
                if (!bits(size, extra)) return false;
                nonzero = std::uint16_t(unsigned(extend(int(extra), size)) << scan.al) != 0;
            }
            const std::uint64_t bit = std::uint64_t(1) << std::min(k, 63);
            mask = nonzero ? mask | bit : mask & ~bit;
        } else if (run == 15) {
            k += 15;
        } else {
            if (!eobRun(run)) return false;
            --eobRun_;
            break;
        }
    }
    return true;
}

// One block of an AC refinement scan (libjpeg's decode_mcu_AC_refine): a
// correction bit for each coefficient already nonzero, new ones of size 1.
bool TJpegScanCheck::acRefine(const TScan& scan, const TDecoder& table, std::uint64_t& mask)
{
    int k = scan.ss;
    for (; k <= scan.se; ++k) {
        const int symbol = decode(table);
        if (symbol < 0) return false;
        int run = symbol >> 4;
        const int size = symbol & 15;
        if (size != 1 && size != 0) return false;  // libjpeg warns of a bad code for another size
        if (size == 0 && run != 15) {
            if (!eobRun(run)) return false;
            break;
        }
        // Up to the (run + 1)th coefficient still zero, or past the band: a
        // correction bit for each nonzero one passed, after a new one's sign.
        const std::uint64_t nonzero = mask & band(k, scan.se);
        int to = k + run, bits = size;
        if (nonzero == 0 || std::countr_zero(nonzero) > to) {
            to = std::min(to, scan.se + 1);  // none passed: the run's own zeros
        } else {
            std::uint64_t zeros = ~mask & band(k, scan.se);
            for (; run > 0 && zeros; --run) zeros &= zeros - 1;
            to = zeros ? std::countr_zero(zeros) : scan.se + 1;
            bits += ones(nonzero & band(k, to - 1));
        }
        if (bits <= 32 ? !take(bits) : !takeMany(std::uint64_t(bits))) return false;
        k = to;
        if (size) mask |= std::uint64_t(1) << std::min(k, 63);
    }
    if (eobRun_ > 0) {
        const std::uint64_t nonzero = mask & band(k, scan.se);
        if (nonzero && !takeMany(std::uint64_t(ones(nonzero)))) return false;
        --eobRun_;
    }
    return true;
}
