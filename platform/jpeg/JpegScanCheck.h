#pragma once
// The coded data of a Huffman-coded JPEG checked ahead of libjpeg, without
// its coefficients or pixels. libjpeg keeps a whole multi-scan picture's
// coefficients while it reads the scans and touches them as the scans
// arrive, and writes a single scan's rows as it goes, so a corrupt file found
// only late has already cost them; this check reads the scans as libjpeg's
// decoders do, bit for bit, and says where libjpeg would warn that the data
// is corrupt, before any of that memory is spent. It reads only the codes, so
// it costs a fraction of the decode it guards.
//
// It claims only what libjpeg would do: a bad Huffman code, a marker met
// where more bits are needed (how data that runs out shows), a missing or
// wrong restart marker, a scan that does not fit the progression; and a
// multi-scan file that ends before its last scan, which our decoders refuse
// once libjpeg has read it (JpegWholeImageRead). What libjpeg
// would stop on with an error (a missing table, bad scan parameters, an
// unknown marker) ends the check, and so does anything it does not follow:
// the rest counts as sound and is libjpeg's to judge. Sequential scans are
// read too, the same bits as libjpeg reads, but a bad code there counts only
// where a restart interval is set: elsewhere libjpeg's fast decoder takes it
// as a zero without a warning (it reads the same 17 bits either way).
// Arithmetic-coded files are not checked at all.
//
// Refinement scans of AC coefficients need to know which coefficients are
// already nonzero: that history, a mask a block covering the coefficients
// the refinements refine, is kept only when it fits the budget (a component
// at a time, in zero-filled memory that costs only what is written); the
// refinement scans of a component that does not fit are passed over as sound.
//
// Codes are read as libjpeg reads them, through a table of their first bits;
// a block's refinement is counted from its mask, a word at a time.
//
// Plain bytes in, no libjpeg; every read is bounded by what the reader gives.

#include "platform/core/ZeroedBytes.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

class TJpegScanCheck {
public:
    // Reads up to `size` bytes of the stream from `offset` into `to` and
    // returns how many it read: fewer, or none, at the stream's end.
    using TReader = std::function<std::size_t(std::uint64_t offset, std::uint8_t* to, std::size_t size)>;

    enum class TVerdict {
        Sound,      // libjpeg reads it without a corrupt-data warning, as far as the check follows it
        Corrupt,    // libjpeg would warn that its coded data is corrupt
        EndsEarly,  // a multi-scan stream that ends before every coefficient had its last scan
    };

    // The most memory the history of refinement scans may take, so that the
    // whole check stays well under 64 MB.
    static constexpr std::size_t HistoryBudget = std::size_t(40) << 20;

    // `tables`, when given, is an abbreviated stream of tables read first (a
    // TIFF's JPEGTables), as libjpeg keeps them for the stream that follows.
    explicit TJpegScanCheck(TReader stream, std::vector<std::uint8_t> tables = {},
                            std::size_t historyBudget = HistoryBudget);
    // A stream in memory.
    static TVerdict Check(const std::uint8_t* data, std::size_t size, const std::uint8_t* tables = nullptr,
                          std::size_t tablesSize = 0);

    // The structure first (scan headers, the progression, where the stream
    // ends), then the coded data of every scan the structure let it follow.
    TVerdict Run();
    // Refinement scans passed over because their history did not fit.
    int SkippedScans() const { return skippedScans_; }

private:
    static constexpr int MaxComponents = 4;  // what a scan can hold; frames with more are left to libjpeg

    struct TComponent {
        int id = 0, h = 1, v = 1, quantTable = 0;
        bool latched = false;  // its quantisation table was taken at its first scan
        std::uint32_t widthInBlocks = 0, heightInBlocks = 0;
        std::array<int, 64> coefBits{};  // the progression: the last Al of each coefficient, -1 before any
    };
    // Which AC coefficients of a component are nonzero, for its refinement
    // scans: a mask a block of `width` bytes, bit 0 for coefficient `low`
    // (zigzag order), up to the last coefficient the refinements cover.
    struct THistory {
        std::uint64_t refined = 0;  // the coefficients refinement scans cover
        int low = 0, width = 0;
        TZeroedBytes bits;
        bool kept = false;
        // A block's mask, bit k for coefficient k.
        std::uint64_t Load(std::uint64_t block) const;
        void Store(std::uint64_t block, std::uint64_t mask);
    };
    struct THuffman {
        bool defined = false;
        std::array<std::uint8_t, 17> counts{};  // codes of each length 1..16
        std::array<std::uint8_t, 256> values{};
    };
    static constexpr int LookBits = 10;  // codes up to this long are found by one look-up
    struct TDecoder {  // a table as libjpeg derives it: the last code of each length, where its values start
        std::array<std::int32_t, 17> maxCode{}, offset{};
        const std::array<std::uint8_t, 256>* values = nullptr;
        std::array<std::uint16_t, 1 << LookBits> look{};  // length << 8 | symbol; 0 for a longer code
        // The same for a code and its extra bits (symbol & 15 of them) together, where they fit.
        std::array<std::uint16_t, 1 << LookBits> withBits{};
    };
    struct TScan {
        int count = 0;
        std::array<int, MaxComponents> component{}, dcTable{}, acTable{};
        int ss = 0, se = 0, ah = 0, al = 0;
    };
    struct TDecoders {  // a scan's tables, a pair for each of its components
        std::array<TDecoder, MaxComponents> dc, ac;
    };
    enum class TStep { Go, End, Corrupt, Stop };  // Stop: libjpeg fails there, or the check cannot follow

    // One walk over the tables and the stream: the markers, and each scan's
    // coded data decoded (or, when `decode` is false, skipped to the next
    // marker as stray bytes are).
    TStep walk(bool decode);
    TStep walkStream(bool decode);
    TStep frame(int marker);
    TStep huffmanTables();
    TStep quantisationTables();
    TStep arithmeticTables();
    TStep restartInterval();
    TStep scanHeader(TScan& scan);
    TStep startScan(const TScan& scan, TDecoders& decoders);
    static bool derive(const THuffman& table, bool dc, TDecoder& decoder);
    static const THuffman& standardTable(bool dc, int slot);
    TStep decodeScan(const TScan& scan, const TDecoders& decoders);
    bool sequentialMcus(const TDecoders& decoders, const std::uint8_t* member, int blocks, std::uint64_t mcus);
    bool acFirst(const TScan& scan, const TDecoder& table, std::uint64_t& mask);
    bool acRefine(const TScan& scan, const TDecoder& table, std::uint64_t& mask);
    bool restart();
    bool wholeProgression() const;
    void planHistory();

    // Bytes, markers and bits, as libjpeg reads them.
    void start(const TReader& source);
    bool refill();
    int byte();
    int word();
    bool skip(std::uint32_t count);
    int nextMarker();
    void fill();
    bool take(int count);
    bool bits(int count, std::uint32_t& value);
    bool eobRun(int run);
    bool takeMany(std::uint64_t count);
    int decode(const TDecoder& table);
    int sequentialSymbol(const TDecoder& table);

    TReader read_;
    std::vector<std::uint8_t> tables_;
    std::size_t budget_;
    int skippedScans_ = 0;
    std::array<THistory, MaxComponents> history_;

    // Where the walk is.
    const TReader* source_ = nullptr;
    std::vector<std::uint8_t> buffer_;
    std::uint64_t offset_ = 0;
    std::size_t at_ = 0, size_ = 0;
    bool ranOut_ = false;          // the stream ended before its end marker
    std::uint64_t bitBuffer_ = 0;  // the next bit at the top, zeros below the real ones
    int bitCount_ = 0;             // real bits in it
    int marker_ = 0;               // the marker that ended the coded data, not yet taken

    // What the stream said so far.
    bool frameSeen_ = false, progressive_ = false, scanSeen_ = false, multiScan_ = false;
    std::uint32_t width_ = 0, height_ = 0;
    int maxH_ = 1, maxV_ = 1;
    std::vector<TComponent> components_;
    std::array<THuffman, 4> dcTables_{}, acTables_{};
    std::array<bool, 4> quantTables_{};
    std::uint32_t restartInterval_ = 0;
    int nextRestart_ = 0;
    std::uint32_t eobRun_ = 0;
};
