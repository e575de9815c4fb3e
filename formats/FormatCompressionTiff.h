#pragma once
// The decoders only TIFF strips use: CCITT fax (modified Huffman rows with and
// without end-of-line codes), JPEG over libjpeg, and ThunderScan 4-bit data.
// Like the other members they work on caller-owned buffers and never read or
// write past PackedSize and UnpackedSize bytes.

#include "formats/FormatCompression.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

struct TImageProperties;

// A byte with its bits in the opposite order (TIFF fill order 2).
std::uint8_t ReverseBitOrder(std::uint8_t b);

// --- CCITT ----------------------------------------------------------------------

// Decoded rows are 1 bit per pixel, most significant bit first, 1 for black;
// every row starts on a byte of Dest. Neither Source nor Dest is advanced.
class TCCITTDecoder : public TDecoder {
public:
    // One node of a code tree: children by bit (0 = none; the root is never
    // a child) and the value of the code ending here.
    struct TreeNode {
        std::int32_t Zero = 0;
        std::int32_t One = 0;
        std::int32_t Value = 0;
    };
    // One code of ITU-T T.4: bits right-aligned, their count, and the run it codes.
    struct Code {
        std::uint16_t Bits;
        std::uint8_t Length;
        std::int16_t Run;
    };
    // Tree values of the end-of-line code, of the invalid codes T.4
    // reserves, and of twelve 0 bits (fill before an end of line).
    static constexpr std::int32_t EndOfLine = -1;
    static constexpr std::int32_t InvalidCode = -2;
    static constexpr std::int32_t FillBits = -3;

    TCCITTDecoder(std::uint32_t T4Options, bool SwapBits, bool WordAligned, std::uint32_t Width);

    std::uint32_t T4Options;  // kept, not consulted
    bool SwapBits;            // fill order 2: the block's bytes are bit-reversed in place first
    bool WordAligned;
    std::uint32_t Width;

    // The trees all decoders share (white and black).
    static const std::vector<TreeNode>& WhiteStates();
    static const std::vector<TreeNode>& BlackStates();
    // The terminating codes (runs 0..63) and the make-up codes (runs 64..2560)
    // of one colour, in that order.
    static const std::vector<Code>& CodeTable(bool white);

protected:
    // Bit reader over one block; Consumed() counts the bytes loaded so far.
    void startBlock(const std::uint8_t* source, std::size_t packedSize, std::uint8_t* dest, std::size_t unpackedSize);
    bool bitsLeft() const { return bitsLeft_ > 0 || consumed_ < packedSize_; }
    int NextBit();
    // How the last decoded run ended.
    enum class RunEnd { Terminated, EndOfLine, Invalid, Exhausted };
    // One run: the sum of its make-up codes and its terminating code. An end
    // of line or a bit pattern that is no T.4 code ends it early (with the
    // make-up codes read so far), as does the end of the block; a code that
    // ends on the block's last bit counts.
    std::uint32_t decodeRun(bool white);
    std::uint32_t DecodeWhiteRun() { return decodeRun(true); }
    std::uint32_t DecodeBlackRun() { return decodeRun(false); }
    std::uint32_t DecodeRun() { return IsWhite ? DecodeWhiteRun() : DecodeBlackRun(); }
    // Writes n pixels of the current colour; true when that completes the row.
    bool WriteRun(std::uint32_t n);
    // Moves the target to the start of the next row.
    void EndRow();
    // Drops the unread bits of the current byte; a byte not yet read from stays.
    void dropByteRest();
    bool rowsLeft() const { return rowStart_ < unpackedSize_; }

    bool IsWhite = true;
    RunEnd runEnd_ = RunEnd::Terminated;
    std::uint32_t RestWidth = 0;

private:
    const std::uint8_t* source_ = nullptr;
    std::size_t packedSize_ = 0;
    std::uint8_t current_ = 0;
    int bitsLeft_ = 0;
    std::uint8_t* dest_ = nullptr;
    std::size_t unpackedSize_ = 0;
    std::size_t rowStart_ = 0;
    std::size_t rowBytes_ = 0;
};

// Group 3 one-dimensional data: every row begins after an end-of-line code.
class TCCITTFax3Decoder : public TCCITTDecoder {
public:
    TCCITTFax3Decoder(std::uint32_t T4Options, bool SwapBits, std::uint32_t Width)
        : TCCITTDecoder(T4Options, SwapBits, false, Width)
    {
    }
    void Decode(const std::uint8_t*& Source, std::uint8_t*& Dest, std::size_t PackedSize,
                std::size_t UnpackedSize) override;

private:
    void SynchronizeOnEOL();
    int EOLCount = 0;
};

// Modified Huffman rows without end-of-line codes, each beginning on a byte
// (or, word-aligned, on a 16-bit) boundary of the block.
class TCCITTMHDecoder : public TCCITTDecoder {
public:
    TCCITTMHDecoder(std::uint32_t T4Options, bool SwapBits, bool WordAligned, std::uint32_t Width)
        : TCCITTDecoder(T4Options, SwapBits, WordAligned, Width)
    {
    }
    void Decode(const std::uint8_t*& Source, std::uint8_t*& Dest, std::size_t PackedSize,
                std::size_t UnpackedSize) override;
};

// --- ThunderScan ------------------------------------------------------------------

// ThunderScan 4-bit data into packed 4-bit samples (first in the high
// nibble). Each row holds RowWidth samples in (RowWidth + 1) / 2 bytes and
// starts from a last sample of 0. Neither Source nor Dest is advanced.
class TThunderDecoder : public TDecoder {
public:
    explicit TThunderDecoder(std::uint32_t RowWidth) : RowWidth(RowWidth) {}
    void Decode(const std::uint8_t*& Source, std::uint8_t*& Dest, std::size_t PackedSize,
                std::size_t UnpackedSize) override;

    std::uint32_t RowWidth;
};

// --- JPEG ------------------------------------------------------------------------------

// Shown when a JPEG strip's data ends before its image does: caption
// "Warning" and the text. The default shows nothing; the program puts its
// warning box here. Each decoder calls it at most once (once per file).
using TJPEGWarningHook = std::function<void(const std::string& caption, const std::string& text)>;
void SetJPEGWarningHook(TJPEGWarningHook hook);

// JPEG-compressed TIFF strips through libjpeg. The strip's rows come out as
// the loader stores them: grey as one byte, colour as blue, green, red, CMYK
// as four bytes. Libjpeg's fatal errors raise EInvalidGraphic "JPEG error #%d".
class TTIFFJPEGDecoder : public TDecoder {
public:
    // Properties is the loader's record, read at every strip (CurrentRow,
    // CurrentStrip, RowsPerStrip, ...); it must outlive the decoder.
    explicit TTIFFJPEGDecoder(const TImageProperties& Properties);
    ~TTIFFJPEGDecoder() override;
    TTIFFJPEGDecoder(const TTIFFJPEGDecoder&) = delete;
    TTIFFJPEGDecoder& operator=(const TTIFFJPEGDecoder&) = delete;

    void DecodeInit() override;
    // One strip: Source holds PackedSize bytes of one JPEG image, Dest
    // UnpackedSize bytes of rows. Neither is advanced.
    void Decode(const std::uint8_t*& Source, std::uint8_t*& Dest, std::size_t PackedSize,
                std::size_t UnpackedSize) override;
    void DecodeEnd() override;

    // Whether a strip's data ran out before its image ended (the rows not
    // decoded are left as Dest held them).
    bool DataRanOut() const { return dataRanOut_; }

    struct State;  // libjpeg's objects, kept in one place the error jump cannot skip

private:
    std::unique_ptr<State> state_;
    const TImageProperties& properties_;
    bool dataRanOut_ = false;
};
