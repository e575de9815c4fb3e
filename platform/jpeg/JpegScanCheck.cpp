#include "platform/jpeg/JpegScanCheck.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <new>
#include <utility>

namespace {

constexpr std::size_t kPiece = std::size_t(1) << 16;
constexpr int kMaxBlocksInMcu = 10;  // libjpeg's limit for an interleaved scan

std::uint64_t ceilDiv(std::uint64_t a, std::uint64_t b) { return (a + b - 1) / b; }

// A coefficient's value from its extra bits (the standard's EXTEND).
int extend(int bits, int size) { return bits < (1 << (size - 1)) ? bits - (1 << size) + 1 : bits; }

}  // namespace

TJpegScanCheck::TJpegScanCheck(TReader stream, std::vector<std::uint8_t> tables, std::size_t historyBudget)
    : read_(std::move(stream)), tables_(std::move(tables)), budget_(historyBudget), buffer_(kPiece)
{
}

TJpegScanCheck::TVerdict TJpegScanCheck::Check(const std::uint8_t* data, std::size_t size, const std::uint8_t* tables,
                                               std::size_t tablesSize)
{
    TReader read = [data, size](std::uint64_t offset, std::uint8_t* to, std::size_t count) -> std::size_t {
        if (!data || offset >= size) return 0;
        const std::size_t n = std::min<std::uint64_t>(count, size - offset);
        std::memcpy(to, data + offset, n);
        return n;
    };
    std::vector<std::uint8_t> tableBytes;
    if (tables && tablesSize) tableBytes.assign(tables, tables + tablesSize);
    return TJpegScanCheck(std::move(read), std::move(tableBytes)).Run();
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
    if (!progressive_) return TVerdict::Sound;
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

int TJpegScanCheck::byte()
{
    if (at_ == size_) {
        if (ranOut_) return -1;
        size_ = std::min((*source_)(offset_, buffer_.data(), buffer_.size()), buffer_.size());
        offset_ += size_;
        at_ = 0;
        if (size_ == 0) {
            ranOut_ = true;
            return -1;
        }
    }
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
        if (at_ == size_) {
            if (byte() < 0) return false;
            --count;
            continue;
        }
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
        int c = byte();
        while (c >= 0 && c != 0xFF) c = byte();
        do c = byte();
        while (c == 0xFF);
        if (c < 0) return -1;
        if (c != 0) return c;
    }
}

// One more byte of coded data into the bit buffer; false at a marker (the
// end of the stream shows as the end marker libjpeg supplies there).
bool TJpegScanCheck::fillBits()
{
    if (marker_) return false;
    int c = byte();
    if (c == 0xFF) {
        do c = byte();
        while (c == 0xFF);
        if (c != 0) {
            marker_ = c < 0 ? 0xD9 : c;
            return false;
        }
        c = 0xFF;
    }
    if (c < 0) {
        marker_ = 0xD9;
        return false;
    }
    bitBuffer_ = bitBuffer_ << 8 | std::uint32_t(c);
    bitCount_ += 8;
    return true;
}

// The next `count` bits (up to 16), or -1 when they lie beyond the data:
// libjpeg warns only then, when a bit is needed that the data does not have.
int TJpegScanCheck::bits(int count)
{
    while (bitCount_ < count)
        if (!fillBits()) return -1;
    bitCount_ -= count;
    return int(bitBuffer_ >> bitCount_ & ((1u << count) - 1));
}

// The next symbol, bit by bit as the standard's decoding procedure reads it
// (libjpeg's tables are a faster way to the same bits); -1 for a code that
// runs beyond the data or that no code of up to 16 bits matches.
int TJpegScanCheck::decode(const TDecoder& table)
{
    std::int32_t code = 0;
    for (int length = 1; length <= 16; ++length) {
        const int bit = bits(1);
        if (bit < 0) return -1;
        code = code << 1 | bit;
        if (code <= table.maxCode[length]) return (*table.values)[std::size_t(code + table.offset[length]) & 0xFF];
    }
    return -1;
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
        const TReader tables = [this](std::uint64_t offset, std::uint8_t* to, std::size_t count) -> std::size_t {
            if (offset >= tables_.size()) return 0;
            const std::size_t n = std::min<std::uint64_t>(count, tables_.size() - offset);
            std::memcpy(to, tables_.data() + offset, n);
            return n;
        };
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
                const bool untracked = scan.ss > 0 && scan.ah > 0 && !history_[std::size_t(scan.component[0])].kept;
                if (untracked)
                    ++skippedScans_;  // its data is passed over as stray bytes up to the next marker
                else
                    step = decodeScan(scan, decoders);
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
        // Sequential scans are judged by their parameters alone (libjpeg
        // warns before it derives the tables; where a frame has none in the
        // first two places, it puts the standard ones there).
        if (scan.ss != 0 || scan.se != 63 || scan.ah != 0 || scan.al != 0) return TStep::Corrupt;
        for (int i = 0; i < scan.count; ++i)
            for (bool dc : {true, false}) {
                const int slot = dc ? scan.dcTable[std::size_t(i)] : scan.acTable[std::size_t(i)];
                const THuffman& table = (dc ? dcTables_ : acTables_)[std::size_t(std::min(slot, 3))];
                TDecoder unused;
                if (slot >= 4 || (!(slot < 2 && !table.defined) && !derive(table, dc, unused))) return TStep::Stop;
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
        if (!dcBand && scan.ah > 0)
            history_[std::size_t(index)].refined |=
                (~std::uint64_t(0) >> (63 - scan.se)) & (~std::uint64_t(0) << scan.ss);
    }
    // The tables the scan decodes with, derived as libjpeg derives them;
    // one it would refuse ends the check.
    for (int i = 0; i < scan.count && !(dcBand && scan.ah != 0); ++i) {  // DC refinement uses none
        const int slot = dcBand ? scan.dcTable[std::size_t(i)] : scan.acTable[std::size_t(i)];
        if (slot >= 4 || !derive((dcBand ? dcTables_ : acTables_)[std::size_t(slot)], dcBand, decoders[std::size_t(i)]))
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
        h.slots = std::popcount(h.refined);
        h.slot.fill(-1);
        for (int k = 0, slot = 0; k < 64; ++k)
            if (h.refined >> k & 1) h.slot[std::size_t(k)] = std::int8_t(slot++);
        const TComponent& c = components_[i];
        const std::uint64_t bytes = ceilDiv(std::uint64_t(c.widthInBlocks) * c.heightInBlocks * h.slots, 8);
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

bool TJpegScanCheck::nonzero(int component, std::uint64_t block, int k) const
{
    const THistory& h = history_[std::size_t(component)];
    const std::uint64_t bit = block * std::uint64_t(h.slots) + std::uint64_t(h.slot[std::size_t(k)]);
    return (h.bits.data()[bit >> 3] >> (bit & 7) & 1) != 0;
}

// How many of up to `blocks` blocks from `block` on have no nonzero
// coefficient in their history (in a flat picture's runs, all of them).
std::uint64_t TJpegScanCheck::clearBlocks(int component, std::uint64_t block, std::uint64_t blocks) const
{
    const THistory& h = history_[std::size_t(component)];
    const std::uint64_t slots = std::uint64_t(h.slots), from = block * slots, to = (block + blocks) * slots;
    const std::uint8_t* bytes = h.bits.data();
    std::uint64_t bit = from;
    while (bit < to) {
        if ((bit & 7) == 0 && bit + 8 <= to) {
            // Whole zero bytes at once.
            const std::uint8_t* end = bytes + (to >> 3);
            const std::uint8_t* set = std::find_if(bytes + (bit >> 3), end, [](std::uint8_t b) { return b != 0; });
            bit = std::uint64_t(set - bytes) * 8;
            if (set == end) continue;
        }
        if (bytes[bit >> 3] >> (bit & 7) & 1) break;
        ++bit;
    }
    return (std::min(bit, to) - from) / slots;
}

// A coefficient written, where libjpeg writes it: position k of the band, or
// past its end (libjpeg's order table sends every k past 63 to 63).
void TJpegScanCheck::note(int component, std::uint64_t block, int k, bool isNonzero)
{
    THistory& h = history_[std::size_t(component)];
    if (!h.kept) return;
    const int slot = h.slot[std::size_t(std::min(k, 63))];
    if (slot < 0) return;
    const std::uint64_t bit = block * std::uint64_t(h.slots) + std::uint64_t(slot);
    std::uint8_t& at = h.bits.data()[bit >> 3];
    at = std::uint8_t(isNonzero ? at | 1u << (bit & 7) : at & ~(1u << (bit & 7)));
}

// At a restart point libjpeg drops the bits left and expects the next
// restart marker in turn; any other marker (or none) makes it warn.
bool TJpegScanCheck::restart()
{
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
    std::array<int, kMaxBlocksInMcu> member{};
    int blocks = 0;
    if (scan.count == 1) {
        const TComponent& c = components_[std::size_t(scan.component[0])];
        mcus = std::uint64_t(c.widthInBlocks) * c.heightInBlocks;
        blocks = 1;
    } else {
        mcus = ceilDiv(width_, 8 * std::uint64_t(maxH_)) * ceilDiv(height_, 8 * std::uint64_t(maxV_));
        for (int i = 0; i < scan.count; ++i) {
            const TComponent& c = components_[std::size_t(scan.component[std::size_t(i)])];
            for (int b = 0; b < c.h * c.v; ++b) member[std::size_t(blocks++)] = i;
        }
    }
    bitCount_ = 0;
    eobRun_ = 0;
    std::uint32_t toGo = restartInterval_;
    const bool dcBand = scan.ss == 0;
    for (std::uint64_t mcu = 0; mcu < mcus;) {
        if (restartInterval_ != 0 && toGo == 0) {
            if (!restart()) return TStep::Corrupt;
            toGo = restartInterval_;
        }
        // Blocks of an end-of-band run with nothing in the band, and, in a
        // refinement, nothing nonzero to correct, are passed over at once.
        const std::uint64_t passed = dcBand || eobRun_ == 0 ? 0 : runBlocks(scan, mcu, mcus - mcu, toGo);
        const std::uint64_t done = std::max<std::uint64_t>(passed, 1);
        if (passed > 0) {
            eobRun_ -= std::uint32_t(passed);
        } else if (dcBand && scan.ah == 0) {
            for (int b = 0; b < blocks; ++b) {
                const int size = decode(decoders[std::size_t(member[std::size_t(b)])]);
                if (size < 0 || (size > 0 && bits(size) < 0)) return TStep::Corrupt;
            }
        } else if (dcBand) {
            for (int b = 0; b < blocks; ++b)
                if (bits(1) < 0) return TStep::Corrupt;
        } else if (!(scan.ah == 0 ? acFirst(scan, decoders[0], mcu) : acRefine(scan, decoders[0], mcu))) {
            return TStep::Corrupt;
        }
        mcu += done;
        if (restartInterval_ != 0) toGo -= std::uint32_t(done);
    }
    bitCount_ = 0;  // what is left up to the next marker, libjpeg passes over
    return TStep::Go;
}

// How many blocks of an end-of-band run can be passed over without reading
// bits: the whole run in a first scan (up to the scan's end or the next
// restart), in a refinement those before the first with a nonzero coefficient.
std::uint64_t TJpegScanCheck::runBlocks(const TScan& scan, std::uint64_t block, std::uint64_t left,
                                        std::uint32_t toGo) const
{
    std::uint64_t blocks = std::min<std::uint64_t>(eobRun_, left);
    if (restartInterval_ != 0) blocks = std::min<std::uint64_t>(blocks, toGo);
    return scan.ah == 0 ? blocks : clearBlocks(scan.component[0], block, blocks);
}

// One block of a first AC scan (libjpeg's decode_mcu_AC_first).
bool TJpegScanCheck::acFirst(const TScan& scan, const TDecoder& table, std::uint64_t block)
{
    for (int k = scan.ss; k <= scan.se; ++k) {
        const int symbol = decode(table);
        if (symbol < 0) return false;
        int run = symbol >> 4;
        const int size = symbol & 15;
        if (size) {
            k += run;
            const int extra = bits(size);
            if (extra < 0) return false;
            // Stored as a 16-bit coefficient, shifted by Al.
            note(scan.component[0], block, k, std::uint16_t(unsigned(extend(extra, size)) << scan.al) != 0);
        } else if (run == 15) {
            k += 15;
        } else {
            eobRun_ = 1u << run;
            if (run) {
                const int extra = bits(run);
                if (extra < 0) return false;
                eobRun_ += std::uint32_t(extra);
            }
            --eobRun_;
            break;
        }
    }
    return true;
}

// One block of an AC refinement scan (libjpeg's decode_mcu_AC_refine): a
// correction bit for each coefficient already nonzero, new ones of size 1.
bool TJpegScanCheck::acRefine(const TScan& scan, const TDecoder& table, std::uint64_t block)
{
    const int component = scan.component[0];
    int k = scan.ss;
    if (eobRun_ == 0) {
        for (; k <= scan.se; ++k) {
            const int symbol = decode(table);
            if (symbol < 0) return false;
            int run = symbol >> 4;
            const int size = symbol & 15;
            if (size) {
                if (size != 1 || bits(1) < 0) return false;  // libjpeg warns of a bad code for another size
            } else if (run != 15) {
                eobRun_ = 1u << run;
                if (run) {
                    const int extra = bits(run);
                    if (extra < 0) return false;
                    eobRun_ += std::uint32_t(extra);
                }
                break;
            }
            do {
                if (nonzero(component, block, k)) {
                    if (bits(1) < 0) return false;
                } else if (--run < 0) {
                    break;
                }
                ++k;
            } while (k <= scan.se);
            if (size) note(component, block, k, true);
        }
    }
    if (eobRun_ > 0) {
        for (; k <= scan.se; ++k)
            if (nonzero(component, block, k) && bits(1) < 0) return false;
        --eobRun_;
    }
    return true;
}
