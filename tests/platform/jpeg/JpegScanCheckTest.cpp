// The check of a JPEG's coded data ahead of libjpeg: progressive files of
// every encoder at hand pass it, and whatever it refuses, libjpeg's own full
// decode refuses too (libjpeg, driven as our decoders drive it, is the
// oracle), over cuts, filler inside the scans and flipped bytes; single-scan
// files as well.

#include "platform/jpeg/JpegDecoding.h"
#include "platform/jpeg/JpegScanCheck.h"
#include "tests/support/RunCommand.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <csetjmp>
#include <cstring>
#include <memory>
#include <initializer_list>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include <jerror.h>
#include <jpeglib.h>

namespace {

using Bytes = std::vector<std::uint8_t>;
using testsupport::TempDir;
using Verdict = TJpegScanCheck::TVerdict;

// What libjpeg's full decode makes of a stream, as our decoders judge it.
enum class Oracle { Clean, Corrupt, EndsEarly, Fails, NoHeader };

struct OracleErrors {
    jpeg_error_mgr pub;
    std::jmp_buf jump;
    bool corrupt = false, endOfFile = false;
};

void oracleError(j_common_ptr cinfo) { std::longjmp(reinterpret_cast<OracleErrors*>(cinfo->err)->jump, 1); }
void oracleMessage(j_common_ptr cinfo, int level)
{
    auto* e = reinterpret_cast<OracleErrors*>(cinfo->err);
    if (level >= 0) return;
    e->corrupt = e->corrupt || JpegCorruptDataWarning(cinfo->err->msg_code);
    e->endOfFile = e->endOfFile || cinfo->err->msg_code == JWRN_JPEG_EOF;
}

struct OracleRun {
    jpeg_decompress_struct cinfo{};
    OracleErrors errors{};
    bool header = false;
    std::uint32_t width = 0, height = 0;
};

// Reads every scan (a multi-scan file's scans are all read as decoding starts).
Oracle oracle(const Bytes& data, std::uint32_t* width = nullptr, std::uint32_t* height = nullptr)
{
    auto run = std::make_unique<OracleRun>();
    OracleRun* r = run.get();
    r->cinfo.err = jpeg_std_error(&r->errors.pub);
    r->errors.pub.error_exit = oracleError;
    r->errors.pub.emit_message = oracleMessage;
    if (setjmp(r->errors.jump)) {
        jpeg_destroy_decompress(&r->cinfo);
        return r->errors.corrupt ? Oracle::Corrupt : r->header ? Oracle::Fails : Oracle::NoHeader;
    }
    jpeg_create_decompress(&r->cinfo);
    r->cinfo.mem->max_memory_to_use = 1L << 30;
    jpeg_mem_src(&r->cinfo, data.data(), static_cast<unsigned long>(data.size()));
    jpeg_read_header(&r->cinfo, TRUE);
    r->header = true;
    if (width) *width = r->cinfo.image_width;
    if (height) *height = r->cinfo.image_height;
    jpeg_start_decompress(&r->cinfo);
    const bool whole = JpegWholeImageRead(&r->cinfo, r->errors.endOfFile);
    // A single scan is read as its rows are.
    std::vector<std::uint8_t> row(std::size_t(r->cinfo.output_width) * std::size_t(r->cinfo.output_components));
    for (JSAMPROW rows[1] = {row.data()}; r->cinfo.output_scanline < r->cinfo.output_height;)
        jpeg_read_scanlines(&r->cinfo, rows, 1);
    jpeg_destroy_decompress(&r->cinfo);
    return r->errors.corrupt ? Oracle::Corrupt : whole ? Oracle::Clean : Oracle::EndsEarly;
}

// Where each scan's coded data lies: from the end of its header to the next
// marker that is not a restart marker.
struct ScanData {
    std::size_t from, to;
    int ss, ah;
};
std::vector<ScanData> scans(const Bytes& b)
{
    std::vector<ScanData> found;
    std::size_t i = 2;
    while (i + 4 <= b.size() && b[i] == 0xFF && b[i + 1] != 0xD9) {
        const std::size_t end = i + 2 + (std::size_t(b[i + 2]) << 8 | b[i + 3]);
        if (b[i + 1] != 0xDA) {
            i = end;
            continue;
        }
        std::size_t to = end;
        while (to + 1 < b.size() && !(b[to] == 0xFF && b[to + 1] != 0 && (b[to + 1] < 0xD0 || b[to + 1] > 0xD7))) ++to;
        found.push_back({end, to, b[end - 3], b[end - 1] >> 4});
        i = to;
    }
    return found;
}

// The file without its Huffman tables (as Motion JPEG frames come): libjpeg
// decodes a sequential one with the standard tables, which cjpeg writes
// unless it optimises.
Bytes withoutHuffmanTables(const Bytes& b)
{
    Bytes out(b.begin(), b.begin() + 2);
    std::size_t i = 2;
    while (i + 4 <= b.size() && b[i] == 0xFF && b[i + 1] != 0xDA) {
        const std::size_t end = std::min(b.size(), i + 2 + (std::size_t(b[i + 2]) << 8 | b[i + 3]));
        if (b[i + 1] != 0xC4) out.insert(out.end(), b.begin() + std::ptrdiff_t(i), b.begin() + std::ptrdiff_t(end));
        i = end;
    }
    out.insert(out.end(), b.begin() + std::ptrdiff_t(std::min(i, b.size())), b.end());
    return out;
}

// Broken variants of a file: `fillers` runs of zeros and as many of random
// bytes (up to `longest` each) inserted inside each of the scans, then 60
// copies with one to three bits flipped between flips.from and flips.to.
void addFillerAndFlips(std::vector<std::pair<std::string, Bytes>>& cases, const Bytes& base,
                       std::initializer_list<ScanData> into, int fillers, std::size_t longest, const ScanData& flips,
                       std::mt19937& random)
{
    for (const ScanData& scan : into)
        for (bool zeros : {true, false})
            for (int n = 0; n < fillers; ++n) {
                Bytes filler(1 + random() % longest);
                for (std::uint8_t& b : filler) b = zeros ? 0 : std::uint8_t(random());
                Bytes filled = base;
                const std::size_t at = scan.from + random() % (scan.to - scan.from);
                filled.insert(filled.begin() + std::ptrdiff_t(at), filler.begin(), filler.end());
                cases.push_back({zeros ? "zeros" : "random bytes", filled});
            }
    for (int n = 0; n < 60; ++n) {
        Bytes flipped = base;
        for (int k = 0; k <= n % 3; ++k)
            flipped[flips.from + random() % (flips.to - flips.from)] ^= std::uint8_t(1 << random() % 8);
        cases.push_back({"flipped", flipped});
    }
}

class JpegScanCheck : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!testsupport::HaveTool("cjpeg") || !testsupport::HaveTool("jpegtran") || !testsupport::HaveTool("convert"))
            GTEST_SKIP() << "libjpeg-turbo-progs or ImageMagick missing";
        ASSERT_TRUE(testsupport::ImageMagick("-size 120x90 -seed 4 plasma: " + dir / "a.ppm"));
        ASSERT_TRUE(testsupport::ImageMagick("-size 61x37 -seed 9 plasma: " + dir / "b.ppm"));
        // A scan script with refinements of every kind, interleaved DC and restarts welcome.
        write("refine.txt",
              "0,1,2: 0-0, 0, 2; 0: 1-5, 0, 2; 2: 1-63, 0, 1; 1: 1-63, 0, 1; 0: 6-63, 0, 2;"
              "0: 1-63, 2, 1; 0,1,2: 0-0, 2, 1; 0,1,2: 0-0, 1, 0; 2: 1-63, 1, 0; 1: 1-63, 1, 0;"
              "0: 1-63, 1, 0;");
        write("split.txt",
              "0: 0-0, 0, 1; 1: 0-0, 0, 1; 2: 0-0, 0, 1; 0: 1-9, 0, 3; 0: 10-63, 0, 3;"
              "1: 1-63, 0, 2; 2: 1-63, 0, 2; 0: 1-63, 3, 2; 0: 1-30, 2, 1; 0: 31-63, 2, 1;"
              "0: 1-63, 1, 0; 1: 1-63, 2, 1; 1: 1-63, 1, 0; 2: 1-63, 2, 1; 2: 1-63, 1, 0;"
              "0: 0-0, 1, 0; 1: 0-0, 1, 0; 2: 0-0, 1, 0;");
        write("sequential.txt", "0; 1; 2;");
        // Refinements of few coefficients, whose history takes a byte, two or four a block.
        write("narrow.txt",
              "0,1,2: 0-0, 0, 1; 0: 1-5, 0, 1; 0: 6-63, 0, 0; 1: 1-14, 0, 1; 1: 15-63, 0, 0; 2: 1-30, 0, 1;"
              "2: 31-63, 0, 0; 0: 1-5, 1, 0; 1: 1-14, 1, 0; 2: 1-30, 1, 0; 0,1,2: 0-0, 1, 0;");
    }
    void write(const std::string& name, const std::string& text) { dir.file(name, text); }
    // The file a command line of Debian's tools writes (each tool found where Debian puts it).
    Bytes make(const std::string& command)
    {
        std::string line;
        std::istringstream words(command);
        for (std::string word; words >> word;)
            line +=
                (word == "cjpeg" || word == "jpegtran" || word == "convert" ? testsupport::FindTool(word) : word) + " ";
        const std::string out = dir / "made.jpg";
        EXPECT_TRUE(testsupport::RunQuiet("cd " + dir.path.string() + " && " + line + "> " + out)) << command;
        return testsupport::ReadFileBytes(out);
    }

    TempDir dir;
};

// Progressive (and sequential multi-scan) files from cjpeg, ImageMagick and
// jpegtran, grey and colour, subsampled or not, with restarts, optimised
// tables and scan scripts of our own, all pass the check.
const char* const kEncoders[] = {
    "cjpeg -quality Q -progressive a.ppm",
    "cjpeg -quality Q -progressive -grayscale a.ppm",
    "cjpeg -quality Q -progressive -sample 1x1 a.ppm",
    "cjpeg -quality Q -progressive -sample 2x1 b.ppm",
    "cjpeg -quality Q -progressive -sample 2x2 -restart 1 b.ppm",
    "cjpeg -quality Q -progressive -sample 1x1 -restart 3B b.ppm",
    "cjpeg -quality Q -progressive -optimize -grayscale -restart 2B b.ppm",
    "cjpeg -quality Q -scans refine.txt -restart 1 b.ppm",
    "cjpeg -quality Q -scans split.txt -sample 1x1 a.ppm",
    "cjpeg -quality Q -scans sequential.txt a.ppm",
    "cjpeg -quality Q -scans narrow.txt -sample 1x1 a.ppm",
    "convert a.ppm -quality Q -interlace plane jpg:-",
    "convert b.ppm -quality Q -interlace plane -sampling-factor 2x1 jpg:-",
    "convert a.ppm -quality Q -colorspace CMYK -interlace plane jpg:-",
    "cjpeg -quality Q a.ppm | jpegtran -progressive",
    "cjpeg -quality Q -restart 1 b.ppm | jpegtran -progressive -restart 2",
};

std::string withQuality(std::string command, int quality)
{
    command.replace(command.find('Q'), 1, std::to_string(quality));
    return command;
}

TEST_F(JpegScanCheck, RealProgressiveFilesPass)
{
    for (const char* encoder : kEncoders)
        for (int quality : {20, 75, 98}) {
            const std::string command = withQuality(encoder, quality);
            SCOPED_TRACE(command);
            const Bytes file = make(command);
            ASSERT_EQ(oracle(file), Oracle::Clean);
            TJpegScanCheck check([&](std::uint64_t at, std::uint8_t* to, std::size_t size) -> std::size_t {
                size = at < file.size() ? std::min<std::size_t>(size, file.size() - at) : 0;
                std::memcpy(to, file.data() + at, size);
                return size;
            });
            EXPECT_EQ(check.Run(), Verdict::Sound);
            EXPECT_EQ(check.SkippedScans(), 0);
        }
}

// Whatever the check refuses libjpeg refuses too: what it calls corrupt,
// libjpeg warns about; a file it says ends before its last scan, libjpeg
// warns about or fails on, or our decoders refuse after it (decision 23).
// A cut file, with or without an end marker added, is refused by both or by
// neither.
TEST_F(JpegScanCheck, RefusesOnlyWhatLibjpegRefuses)
{
    std::mt19937 random(85);
    int variants = 0, refused = 0;
    for (const char* encoder : kEncoders) {
        const Bytes base = make(withQuality(encoder, 80));
        std::uint32_t width = 0, height = 0;
        ASSERT_EQ(oracle(base, &width, &height), Oracle::Clean);
        const std::vector<ScanData> data = scans(base);
        ASSERT_GE(data.size(), 2u) << encoder;
        const Bytes frame = {0xFF, 0xC2};
        const bool progressive = std::search(base.begin(), base.end(), frame.begin(), frame.end()) < base.end();
        std::vector<std::pair<std::string, Bytes>> cases;
        for (int i = 1; i < 60; ++i) {
            Bytes cut(base.begin(), base.begin() + std::ptrdiff_t(base.size() * i / 60));
            cases.push_back({"cut", cut});
            cut.insert(cut.end(), {0xFF, 0xD9});
            cases.push_back({"cut and ended", cut});
        }
        // Filler inside the first (DC) scan and inside an AC scan, flipped bytes.
        addFillerAndFlips(cases, base, {data.front(), data[1]}, 8, 600, {2, base.size(), 0, 0}, random);
        for (const auto& [kind, bytes] : cases) {
            std::uint32_t w = 0, h = 0;
            const Oracle truth = oracle(bytes, &w, &h);
            // The callers check only files whose header libjpeg read; a frame
            // made larger is the size checks' business.
            if (truth == Oracle::NoHeader || w != width || h != height) continue;
            const Verdict verdict = TJpegScanCheck::Check(bytes.data(), bytes.size());
            SCOPED_TRACE(std::string(encoder) + ", " + kind + ", " + std::to_string(bytes.size()) + " bytes");
            ++variants;
            refused += verdict != Verdict::Sound;
            if (verdict == Verdict::Corrupt) {
                EXPECT_EQ(truth, Oracle::Corrupt);
            }
            if (verdict == Verdict::EndsEarly) {
                EXPECT_NE(truth, Oracle::Clean);
            }
            // Sequential scans are judged by their structure alone.
            if (kind.rfind("cut", 0) == 0 && progressive && truth != Oracle::Fails) {
                EXPECT_EQ(verdict == Verdict::Sound, truth == Oracle::Clean);
            }
        }
    }
    EXPECT_GT(variants, 2500);
    EXPECT_GT(refused, variants / 2);
    std::printf("%d of %d variants refused\n", refused, variants);
}

// Single-scan files are read bit for bit as libjpeg reads them: one cut
// inside its scan (with an end marker added or not) is refused exactly where
// libjpeg refuses it, and whatever else the check refuses (filler inside the
// scan, flipped bytes), libjpeg refuses too. A bad code counts only with
// restart markers: elsewhere libjpeg's fast decoder may pass it in silence.
TEST_F(JpegScanCheck, SingleScansAreReadAsLibjpegReadsThem)
{
    const std::pair<const char*, bool> encoders[] = {
        {"cjpeg -quality 80 a.ppm", false},
        {"cjpeg -quality 30 -grayscale b.ppm", false},
        {"cjpeg -quality 95 -sample 1x1 -optimize b.ppm", false},
        {"cjpeg -quality 80 -sample 2x1 -restart 1 a.ppm", false},
        {"cjpeg -quality 60 -restart 2B b.ppm", false},
        {"convert a.ppm -quality 80 -colorspace CMYK jpg:-", false},
        {"cjpeg -quality 80 -restart 1 a.ppm", true},  // without its tables
    };
    std::mt19937 random(23);
    int variants = 0, refused = 0, cutsRefused = 0;
    for (const auto& [encoder, tablesLeftOut] : encoders) {
        SCOPED_TRACE(encoder + std::string(tablesLeftOut ? ", tables left out" : ""));
        const Bytes base = tablesLeftOut ? withoutHuffmanTables(make(encoder)) : make(encoder);
        std::uint32_t width = 0, height = 0;
        ASSERT_EQ(oracle(base, &width, &height), Oracle::Clean);
        ASSERT_EQ(TJpegScanCheck::Check(base.data(), base.size()), Verdict::Sound);
        const std::vector<ScanData> data = scans(base);
        ASSERT_EQ(data.size(), 1u);
        const ScanData scan = data.front();
        std::vector<std::pair<std::string, Bytes>> cases;
        for (int i = 1; i < 40; ++i) {
            Bytes cut(base.begin(), base.begin() + std::ptrdiff_t(scan.from + (scan.to - scan.from) * i / 40));
            cases.push_back({"cut", cut});
            cut.insert(cut.end(), {0xFF, 0xD9});
            cases.push_back({"cut and ended", cut});
        }
        addFillerAndFlips(cases, base, {scan}, 20, 300, scan, random);
        for (const auto& [kind, bytes] : cases) {
            SCOPED_TRACE(kind + ", " + std::to_string(bytes.size()) + " bytes");
            const Oracle truth = oracle(bytes);
            const Verdict verdict = TJpegScanCheck::Check(bytes.data(), bytes.size());
            ++variants;
            refused += verdict != Verdict::Sound;
            EXPECT_NE(verdict, Verdict::EndsEarly);
            if (verdict == Verdict::Corrupt) {
                EXPECT_EQ(truth, Oracle::Corrupt);
            }
            if (kind.rfind("cut", 0) == 0) {
                EXPECT_EQ(verdict == Verdict::Corrupt, truth == Oracle::Corrupt);
                cutsRefused += verdict == Verdict::Corrupt;
            }
        }
    }
    EXPECT_GT(cutsRefused, 7 * 70);
    EXPECT_GT(refused, variants / 2);
    std::printf("%d of %d variants refused\n", refused, variants);
}

// An AC refinement scan needs the history of which coefficients are nonzero;
// without room for it the scan is passed over as sound. A TIFF's tables come
// in a stream of their own.
TEST_F(JpegScanCheck, RefinementHistoryAndSeparateTables)
{
    const Bytes base = make(withQuality("cjpeg -quality Q -scans refine.txt b.ppm", 90));
    const std::vector<ScanData> data = scans(base);
    // The last scan refines the luma's AC coefficients; lose the middle of its data.
    const ScanData last = data.back();
    ASSERT_GT(last.ss, 0);
    ASSERT_GT(last.ah, 0);
    ASSERT_GT(last.to - last.from, 20u);
    Bytes broken = base;
    broken.erase(broken.begin() + std::ptrdiff_t(last.from + 4), broken.begin() + std::ptrdiff_t(last.to - 4));
    ASSERT_EQ(oracle(broken), Oracle::Corrupt);
    auto run = [](const Bytes& bytes, std::size_t budget, int* skipped = nullptr) {
        TJpegScanCheck check(
            [&](std::uint64_t at, std::uint8_t* to, std::size_t size) -> std::size_t {
                size = at < bytes.size() ? std::min<std::size_t>(size, bytes.size() - at) : 0;
                std::memcpy(to, bytes.data() + at, size);
                return size;
            },
            {}, budget);
        const Verdict verdict = check.Run();
        if (skipped) *skipped = check.SkippedScans();
        return verdict;
    };
    int skipped = 0;
    EXPECT_EQ(run(broken, TJpegScanCheck::HistoryBudget, &skipped), Verdict::Corrupt);
    EXPECT_EQ(skipped, 0);
    EXPECT_EQ(run(broken, 0, &skipped), Verdict::Sound);
    EXPECT_EQ(skipped, 4);  // the luma's two refinements and the chroma's one each

    // The tables moved into a stream of their own, as a TIFF keeps them.
    Bytes tables = {0xFF, 0xD8}, stream = {0xFF, 0xD8}, brokenStream;
    for (std::size_t i = 2; i < data.front().from;) {
        const std::size_t end = i + 2 + (std::size_t(base[i + 2]) << 8 | base[i + 3]);
        Bytes& to = base[i + 1] == 0xC4 || base[i + 1] == 0xDB ? tables : stream;
        to.insert(to.end(), base.begin() + std::ptrdiff_t(i), base.begin() + std::ptrdiff_t(end));
        i = end;
    }
    tables.insert(tables.end(), {0xFF, 0xD9});
    brokenStream = stream;
    stream.insert(stream.end(), base.begin() + std::ptrdiff_t(data.front().from), base.end());
    brokenStream.insert(brokenStream.end(), broken.begin() + std::ptrdiff_t(data.front().from), broken.end());
    EXPECT_EQ(TJpegScanCheck::Check(stream.data(), stream.size(), tables.data(), tables.size()), Verdict::Sound);
    EXPECT_EQ(TJpegScanCheck::Check(brokenStream.data(), brokenStream.size(), tables.data(), tables.size()),
              Verdict::Corrupt);
}

}  // namespace
