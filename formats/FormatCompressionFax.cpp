// CCITT fax decoders: one-dimensional modified Huffman rows (ITU-T T.4), with
// end-of-line codes (Group 3) or byte- and word-aligned without them.

#include "formats/FormatCompressionTiff.h"

#include <algorithm>
#include <cstring>

namespace {

// ITU-T T.4 code words, by run length.
const char* const WhiteTerminating[64] = {
    "00110101", "000111",   "0111",     "1000",     "1011",     "1100",     "1110",     "1111",
    "10011",    "10100",    "00111",    "01000",    "001000",   "000011",   "110100",   "110101",
    "101010",   "101011",   "0100111",  "0001100",  "0001000",  "0010111",  "0000011",  "0000100",
    "0101000",  "0101011",  "0010011",  "0100100",  "0011000",  "00000010", "00000011", "00011010",
    "00011011", "00010010", "00010011", "00010100", "00010101", "00010110", "00010111", "00101000",
    "00101001", "00101010", "00101011", "00101100", "00101101", "00000100", "00000101", "00001010",
    "00001011", "01010010", "01010011", "01010100", "01010101", "00100100", "00100101", "01011000",
    "01011001", "01011010", "01011011", "01001010", "01001011", "00110010", "00110011", "00110100"};

const char* const BlackTerminating[64] = {
    "0000110111",   "010",          "11",           "10",           "011",          "0011",         "0010",
    "00011",        "000101",       "000100",       "0000100",      "0000101",      "0000111",      "00000100",
    "00000111",     "000011000",    "0000010111",   "0000011000",   "0000001000",   "00001100111",  "00001101000",
    "00001101100",  "00000110111",  "00000101000",  "00000010111",  "00000011000",  "000011001010", "000011001011",
    "000011001100", "000011001101", "000001101000", "000001101001", "000001101010", "000001101011", "000011010010",
    "000011010011", "000011010100", "000011010101", "000011010110", "000011010111", "000001101100", "000001101101",
    "000011011010", "000011011011", "000001010100", "000001010101", "000001010110", "000001010111", "000001100100",
    "000001100101", "000001010010", "000001010011", "000000100100", "000000110111", "000000111000", "000000100111",
    "000000101000", "000001011000", "000001011001", "000000101011", "000000101100", "000001011010", "000001100110",
    "000001100111"};

// Runs 64, 128, ... 1728.
const char* const WhiteMakeUp[27] = {"11011",     "10010",     "010111",    "0110111",   "00110110",  "00110111",
                                     "01100100",  "01100101",  "01101000",  "01100111",  "011001100", "011001101",
                                     "011010010", "011010011", "011010100", "011010101", "011010110", "011010111",
                                     "011011000", "011011001", "011011010", "011011011", "010011000", "010011001",
                                     "010011010", "011000",    "010011011"};

const char* const BlackMakeUp[27] = {
    "0000001111",    "000011001000",  "000011001001",  "000001011011",  "000000110011",  "000000110100",
    "000000110101",  "0000001101100", "0000001101101", "0000001001010", "0000001001011", "0000001001100",
    "0000001001101", "0000001110010", "0000001110011", "0000001110100", "0000001110101", "0000001110110",
    "0000001110111", "0000001010010", "0000001010011", "0000001010100", "0000001010101", "0000001011010",
    "0000001011011", "0000001100100", "0000001100101"};

// Runs 1792 .. 2560, the same for both colours.
const char* const ExtendedMakeUp[13] = {"00000001000",  "00000001100",  "00000001101",  "000000010010", "000000010011",
                                        "000000010100", "000000010101", "000000010110", "000000010111", "000000011100",
                                        "000000011101", "000000011110", "000000011111"};

TCCITTDecoder::Code makeCode(const char* text, int run)
{
    std::uint16_t bits = 0;
    std::uint8_t length = 0;
    for (; text[length] != 0; ++length) bits = static_cast<std::uint16_t>((bits << 1) | (text[length] == '1'));
    return {bits, length, static_cast<std::int16_t>(run)};
}

std::vector<TCCITTDecoder::Code> buildCodeTable(bool white)
{
    std::vector<TCCITTDecoder::Code> codes;
    for (int run = 0; run < 64; ++run)
        codes.push_back(makeCode((white ? WhiteTerminating : BlackTerminating)[run], run));
    for (int k = 1; k <= 40; ++k)
        codes.push_back(
            makeCode(k <= 27 ? (white ? WhiteMakeUp : BlackMakeUp)[k - 1] : ExtendedMakeUp[k - 28], 64 * k));
    return codes;
}

void AddCode(std::vector<TCCITTDecoder::TreeNode>& tree, const TCCITTDecoder::Code& code)
{
    std::size_t node = 0;
    for (int bit = code.Length - 1; bit >= 0; --bit) {
        std::int32_t& child = ((code.Bits >> bit) & 1) ? tree[node].One : tree[node].Zero;
        if (child == 0) {
            child = static_cast<std::int32_t>(tree.size());
            tree.emplace_back();  // invalidates child, which is not used again
        }
        node = static_cast<std::size_t>(((code.Bits >> bit) & 1) ? tree[node].One : tree[node].Zero);
    }
    tree[node].Value = code.Run;
}

std::vector<TCCITTDecoder::TreeNode> BuildCodeTree(bool white)
{
    std::vector<TCCITTDecoder::TreeNode> tree(1);
    for (const TCCITTDecoder::Code& code : TCCITTDecoder::CodeTable(white)) AddCode(tree, code);
    AddCode(tree, makeCode("000000000001", TCCITTDecoder::EndOfLine));
    for (const char* invalid : {"000000001", "0000000001", "00000000001"})
        AddCode(tree, makeCode(invalid, TCCITTDecoder::InvalidCode));
    AddCode(tree, makeCode("000000000000", TCCITTDecoder::FillBits));
    return tree;
}

}  // namespace

std::uint8_t ReverseBitOrder(std::uint8_t b)
{
    b = static_cast<std::uint8_t>((b & 0xF0) >> 4 | (b & 0x0F) << 4);
    b = static_cast<std::uint8_t>((b & 0xCC) >> 2 | (b & 0x33) << 2);
    return static_cast<std::uint8_t>((b & 0xAA) >> 1 | (b & 0x55) << 1);
}

const std::vector<TCCITTDecoder::Code>& TCCITTDecoder::CodeTable(bool white)
{
    static const std::vector<Code> whiteCodes = buildCodeTable(true);
    static const std::vector<Code> blackCodes = buildCodeTable(false);
    return white ? whiteCodes : blackCodes;
}

const std::vector<TCCITTDecoder::TreeNode>& TCCITTDecoder::WhiteStates()
{
    static const std::vector<TreeNode> tree = BuildCodeTree(true);
    return tree;
}

const std::vector<TCCITTDecoder::TreeNode>& TCCITTDecoder::BlackStates()
{
    static const std::vector<TreeNode> tree = BuildCodeTree(false);
    return tree;
}

TCCITTDecoder::TCCITTDecoder(std::uint32_t T4Options, bool SwapBits, bool WordAligned, std::uint32_t Width)
    : T4Options(T4Options), SwapBits(SwapBits), WordAligned(WordAligned), Width(Width)
{
    (void)WhiteStates();
    (void)BlackStates();
}

void TCCITTDecoder::startBlock(const std::uint8_t* source, std::size_t packedSize, std::uint8_t* dest,
                               std::size_t unpackedSize)
{
    if (unpackedSize > 0) std::memset(dest, 0, unpackedSize);
    // Fill order 2: the caller's block is reversed in place, as the format's
    // readers have always done; the loader hands over its own strip buffer.
    if (SwapBits)
        for (std::size_t i = 0; i < packedSize; ++i) {
            auto* byte = const_cast<std::uint8_t*>(source + i);
            *byte = ReverseBitOrder(*byte);
        }
    source_ = source;
    packedSize_ = packedSize;
    consumed_ = 0;
    bitsLeft_ = 0;
    dest_ = dest;
    unpackedSize_ = unpackedSize;
    rowStart_ = 0;
    rowBytes_ = (std::size_t(Width) + 7) / 8;
    produced_ = 0;
    RestWidth = Width;
    IsWhite = true;
    runEnd_ = RunEnd::Terminated;
}

int TCCITTDecoder::NextBit()
{
    if (bitsLeft_ == 0) {
        if (consumed_ >= packedSize_) return 0;  // past the block everything reads as 0
        current_ = source_[consumed_++];
        bitsLeft_ = 8;
    }
    --bitsLeft_;
    return (current_ >> bitsLeft_) & 1;
}

std::uint32_t TCCITTDecoder::decodeRun(bool white)
{
    const std::vector<TreeNode>& tree = white ? WhiteStates() : BlackStates();
    std::uint32_t sum = 0;
    std::size_t node = 0;
    // A complete code: a make-up code adds to the run, anything else ends it.
    auto complete = [&](std::int32_t value) {
        if (value >= 64) {
            sum += static_cast<std::uint32_t>(value);
            node = 0;
            return false;
        }
        if (value >= 0) {
            sum += static_cast<std::uint32_t>(value);
            runEnd_ = RunEnd::Terminated;
        } else if (value == FillBits) {
            // More zeros than an end of line has are fill before one (T.4
            // allows them): the 1 that follows ends the line, as libtiff reads it.
            bool one = false;
            while (!one && bitsLeft()) one = NextBit() == 1;
            runEnd_ = one ? RunEnd::EndOfLine : RunEnd::Exhausted;
        } else {
            runEnd_ = value == EndOfLine ? RunEnd::EndOfLine : RunEnd::Invalid;
        }
        return true;
    };
    for (;;) {
        if (!bitsLeft()) {
            runEnd_ = RunEnd::Exhausted;
            return sum;
        }
        if (bitsLeft_ == 0) {
            current_ = source_[consumed_++];
            bitsLeft_ = 8;
        }
        const int bit = (current_ >> (bitsLeft_ - 1)) & 1;
        const std::int32_t child = bit ? tree[node].One : tree[node].Zero;
        if (child == 0) {
            // No T.4 code goes on this way; the bit stays unread.
            runEnd_ = RunEnd::Invalid;
            return sum;
        }
        --bitsLeft_;
        node = static_cast<std::size_t>(child);
        const TreeNode& reached = tree[node];
        // A leaf is a complete code without looking at the next bit.
        if (reached.Zero == 0 && reached.One == 0 && complete(reached.Value)) return sum;
    }
}

bool TCCITTDecoder::WriteRun(std::uint32_t n)
{
    const bool complete = n >= RestWidth;
    if (n > RestWidth) n = RestWidth;
    const std::size_t done = Width - RestWidth;  // pixels of this row already written
    RestWidth -= n;
    produced_ = std::min(unpackedSize_, rowStart_ + (done + n + 7) / 8);
    if (IsWhite) return complete;
    // Black: set bits done .. done + n - 1 of the row, inside Dest.
    std::size_t first = done;
    const std::size_t last = done + n;
    while (first < last) {
        const std::size_t byte = rowStart_ + first / 8;
        if (byte >= unpackedSize_) break;
        const unsigned bit = static_cast<unsigned>(first % 8);
        if (bit == 0 && last - first >= 8) {
            const std::size_t whole = std::min((last - first) / 8, unpackedSize_ - byte);
            std::memset(dest_ + byte, 0xFF, whole);
            first += whole * 8;
            continue;
        }
        const unsigned count = static_cast<unsigned>(std::min<std::size_t>(8 - bit, last - first));
        dest_[byte] |= static_cast<std::uint8_t>((0xFFu >> bit) & ~(0xFFu >> (bit + count)));
        first += count;
    }
    return complete;
}

void TCCITTDecoder::EndRow()
{
    rowStart_ += rowBytes_;
    produced_ = std::min(unpackedSize_, rowStart_);
    RestWidth = Width;
}

void TCCITTDecoder::dropByteRest()
{
    if (bitsLeft_ == 8) --consumed_;
    bitsLeft_ = 0;
}

// --- Group 3 ---------------------------------------------------------------------------

void TCCITTFax3Decoder::SynchronizeOnEOL()
{
    int zeros = 0;
    while (zeros < 11 && bitsLeft()) zeros = NextBit() ? 0 : zeros + 1;
    while (bitsLeft() && NextBit() == 0) {
    }
}

void TCCITTFax3Decoder::Decode(const std::uint8_t*& Source, std::uint8_t*& Dest, std::size_t PackedSize,
                               std::size_t UnpackedSize)
{
    startBlock(Source, PackedSize, Dest, UnpackedSize);
    EOLCount = 0;
    while (bitsLeft() && rowsLeft()) {
        // A row that follows an end of line met inside the previous row
        // starts right after it (so libtiff reads such rows too).
        if (EOLCount == 0) SynchronizeOnEOL();
        EOLCount = 0;
        if (!bitsLeft()) break;
        IsWhite = true;
        for (;;) {
            const std::uint32_t run = DecodeRun();
            // A row cut short keeps what it got and is white after it.
            const bool rowComplete = WriteRun(run);
            if (runEnd_ == RunEnd::Exhausted) return;
            if (runEnd_ == RunEnd::EndOfLine) ++EOLCount;
            if (runEnd_ != RunEnd::Terminated || rowComplete) break;
            IsWhite = !IsWhite;
        }
        EndRow();
    }
}

// --- Modified Huffman ----------------------------------------------------------------

void TCCITTMHDecoder::Decode(const std::uint8_t*& Source, std::uint8_t*& Dest, std::size_t PackedSize,
                             std::size_t UnpackedSize)
{
    startBlock(Source, PackedSize, Dest, UnpackedSize);
    IsWhite = true;
    while (bitsLeft() && rowsLeft()) {
        // Invalid codes and end-of-line codes are passed over.
        const std::uint32_t run = DecodeRun();
        if (run > 0 && WriteRun(run)) {
            EndRow();
            IsWhite = false;  // the switch below makes the next row start white
            dropByteRest();
            if (WordAligned && consumed_ % 2 == 1 && consumed_ < PackedSize) ++consumed_;
        }
        if (runEnd_ == RunEnd::Exhausted) break;
        IsWhite = !IsWhite;
    }
}
