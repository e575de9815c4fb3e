// What a JPEG says besides its pixels: the EXIF orientation read from good and
// hostile segments, the segments kept for an upright copy, the bound on how
// many blocks a file's data can fill, and how much of a file is scan data.

#include "platform/core/ByteOrder.h"
#include "platform/jpeg/JpegMetadata.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using Bytes = std::vector<std::uint8_t>;

struct Entry {
    std::uint16_t tag, type;
    std::uint32_t count, value;
};

// An EXIF segment: IFD0 at offset 8 with the given entries, then the link to
// the next directory; a SHORT value sits in the first half of its field.
Bytes exif(bool bigEndian, const std::vector<Entry>& entries, std::uint32_t next = 0, std::size_t extra = 0)
{
    Bytes b = {'E', 'x', 'i', 'f', 0, 0};
    auto put16 = [&](std::uint16_t v) {
        std::uint8_t p[2];
        bigEndian ? PutBE16(p, v) : PutLE16(p, v);
        b.insert(b.end(), p, p + 2);
    };
    auto put32 = [&](std::uint32_t v) {
        std::uint8_t p[4];
        bigEndian ? PutBE32(p, v) : PutLE32(p, v);
        b.insert(b.end(), p, p + 4);
    };
    b.push_back(bigEndian ? 'M' : 'I');
    b.push_back(bigEndian ? 'M' : 'I');
    put16(42);
    put32(8);
    put16(std::uint16_t(entries.size()));
    for (const Entry& e : entries) {
        put16(e.tag);
        put16(e.type);
        put32(e.count);
        if (e.type == 3) {
            put16(std::uint16_t(e.value));
            put16(0);
        } else {
            put32(e.value);
        }
    }
    put32(next);
    b.resize(b.size() + extra);
    return b;
}

TEST(ExifOrientation, ReadInBothByteOrders)
{
    for (bool big : {false, true})
        for (int o = 1; o <= 8; ++o) {
            EXPECT_EQ(ExifOrientation(exif(big, {{0x010F, 2, 4, 0}, {0x0112, 3, 1, std::uint32_t(o)}})), o);
            EXPECT_EQ(ExifOrientation(exif(big, {{0x0112, 4, 1, std::uint32_t(o)}})), o) << "as a LONG";
        }
}

// Hostile or malformed segments: never a read outside the bytes, always 1.
TEST(ExifOrientation, MalformedSegmentsGiveOne)
{
    Bytes cutEntry = exif(false, {{0x0112, 3, 1, 6}});
    cutEntry.resize(6 + 8 + 2 + 10);  // the entry's value lies past the end
    Bytes farIfd = exif(false, {{0x0112, 3, 1, 6}});
    PutLE32(farIfd.data() + 10, 0xFFFFFFF0u);  // IFD0 offset near 2^32
    Bytes manyEntries = exif(true, {{0x0112, 3, 1, 6}});
    PutBE16(manyEntries.data() + 14, 0xFFFF);  // claims 65535 entries; the one there is still found
    Bytes wrongMagic = exif(false, {{0x0112, 3, 1, 6}});
    wrongMagic[8] = 43;
    Bytes noSignature = exif(false, {{0x0112, 3, 1, 6}});
    noSignature[0] = 'e';
    const struct {
        const char* what;
        Bytes bytes;
        int expected;
    } cases[] = {
        {"empty", {}, 1},
        {"signature only", {'E', 'x', 'i', 'f', 0, 0}, 1},
        {"no signature", noSignature, 1},
        {"not a TIFF header", wrongMagic, 1},
        {"entry cut short", cutEntry, 1},
        {"directory far away", farIfd, 1},
        {"entry count past the end", manyEntries, 6},
        {"value 0", exif(false, {{0x0112, 3, 1, 0}}), 1},
        {"value 9", exif(false, {{0x0112, 3, 1, 9}}), 1},
        {"text type", exif(false, {{0x0112, 2, 1, 6}}), 1},
        {"count 0", exif(false, {{0x0112, 3, 0, 6}}), 1},
        {"no orientation", exif(false, {{0x0110, 2, 4, 0}}), 1},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ExifOrientation(c.bytes), c.expected) << c.what;
        // The upright copy's rewrite walks the same structure and must hold too.
        const auto kept = SegmentsForUprightCopy({{0xE1, c.bytes}}, 10, 20, false);
        ASSERT_EQ(kept.size(), 1u) << c.what;
        EXPECT_EQ(ExifOrientation(kept[0].Data), 1) << c.what;
    }
}

TEST(UprightCopy, ExifIsMadeUprightAndForeignSegmentsGo)
{
    // IFD0: orientation 6 and the EXIF directory at 38; then IFD1 (a thumbnail) linked.
    Bytes app1 = exif(false, {{0x0112, 3, 1, 6}, {0x8769, 4, 1, 38}}, 60, 40);
    const std::size_t exifIfd = 6 + 38;
    PutLE16(&app1[exifIfd], 2);
    const std::uint8_t dims[2][12] = {{0x02, 0xA0, 3, 0, 1, 0, 0, 0, 0xB0, 0x04, 0, 0},   // width 1200, SHORT
                                      {0x03, 0xA0, 4, 0, 1, 0, 0, 0, 0xEE, 0x02, 0, 0}};  // height 750, LONG
    std::copy(dims[0], dims[0] + 12, &app1[exifIfd + 2]);
    std::copy(dims[1], dims[1] + 12, &app1[exifIfd + 14]);
    const Bytes xmp = {'h', 't', 't', 'p', ':', '/', '/', 'n', 's'};
    auto icc = [](const char* space) {
        Bytes b(14 + 128, 0);
        std::copy_n("ICC_PROFILE", 11, b.begin());
        b[12] = 1;
        b[13] = 1;
        std::copy_n(space, 4, b.begin() + 14 + 16);
        return b;
    };
    const std::vector<TJpegSegment> all = {
        {0xE0, {'J', 'F', 'I', 'F', 0}},   {0xE1, app1},      {0xE1, xmp}, {0xE2, icc("RGB ")},
        {0xEE, {'A', 'd', 'o', 'b', 'e'}}, {0xFE, {'h', 'i'}}};
    const auto kept = SegmentsForUprightCopy(all, 750, 1200, false);
    ASSERT_EQ(kept.size(), 4u);
    EXPECT_EQ(kept[0].Marker, 0xE1);
    EXPECT_EQ(ExifOrientation(kept[0].Data), 1);
    EXPECT_EQ(GetLE32(&kept[0].Data[6 + 8 + 2 + 2 * 12]), 0u) << "the old thumbnail is unlinked";
    EXPECT_EQ(GetLE16(&kept[0].Data[exifIfd + 2 + 8]), 750);
    EXPECT_EQ(GetLE32(&kept[0].Data[exifIfd + 14 + 8]), 1200u);
    EXPECT_EQ(kept[1].Data, xmp);
    EXPECT_EQ(kept[2].Marker, 0xE2);
    EXPECT_EQ(kept[3].Marker, 0xFE);
    // A profile for another colour space would mislabel the new pixels.
    EXPECT_EQ(SegmentsForUprightCopy({{0xE2, icc("CMYK")}}, 1, 1, false).size(), 0u);
    EXPECT_EQ(SegmentsForUprightCopy({{0xE2, icc("GRAY")}}, 1, 1, true).size(), 1u);
}

TEST(Segments, PackAndUnpackStopAtAFault)
{
    const std::vector<TJpegSegment> segments = {{0xE1, {1, 2, 3}}, {0xFE, {}}, {0xE2, {9}}};
    Bytes packed = PackSegments(segments);
    auto back = UnpackSegments(packed.data(), packed.size());
    ASSERT_EQ(back.size(), 3u);
    EXPECT_EQ(back[0].Data, Bytes({1, 2, 3}));
    EXPECT_EQ(back[2].Marker, 0xE2);
    packed.pop_back();
    EXPECT_EQ(UnpackSegments(packed.data(), packed.size()).size(), 2u);
    PutLE32(&packed[1], 0xFFFFFFFFu);
    EXPECT_TRUE(UnpackSegments(packed.data(), packed.size()).empty());
}

TEST(JpegDataCanFill, OneBitPerBlockWithHuffmanCoding)
{
    TJpegFrameShape colour;
    colour.Width = 16000;
    colour.Height = 16000;
    colour.Components = 3;
    colour.HorizontalSampling[0] = colour.VerticalSampling[0] = 2;
    // 2000 x 2000 luma blocks and 1000 x 1000 for each chroma: 6,000,000 bits.
    EXPECT_FALSE(JpegDataCanFill(colour, 633));
    EXPECT_FALSE(JpegDataCanFill(colour, 749999));
    EXPECT_TRUE(JpegDataCanFill(colour, 750000));
    colour.Arithmetic = true;  // at most 32768 blocks per bit
    EXPECT_FALSE(JpegDataCanFill(colour, 22));
    EXPECT_TRUE(JpegDataCanFill(colour, 23));
    TJpegFrameShape grey;
    grey.Width = 9;  // two blocks across, one down
    grey.Height = 8;
    grey.Components = 1;
    EXPECT_TRUE(JpegDataCanFill(grey, 1));
    EXPECT_FALSE(JpegDataCanFill(grey, 0));
}

// Scan data as libjpeg walks it, from a scan's first data byte on or from
// the stream's start; every file is fed whole and byte by byte.
TEST(JpegScanData, CountsTheCodedBytesUpToTheEndMarker)
{
    using From = TJpegScanData::From;
    const Bytes scanHeader = {0xFF, 0xDA, 0x00, 0x08, 0x01, 0x01, 0x00, 0x00, 0x3F, 0x00};
    const Bytes comment = {0xFF, 0xFE, 0x00, 0x06, 0xFF, 0xD9, 0xFF, 0xD9};  // an end marker inside its text
    auto join = [](std::initializer_list<Bytes> parts) {
        Bytes all;
        for (const Bytes& part : parts) all.insert(all.end(), part.begin(), part.end());
        return all;
    };
    struct Case {
        const char* name;
        From from;
        std::uint32_t restartInterval;
        Bytes bytes;
        std::uint64_t counted;
        bool ended, insideScan;
    };
    const Bytes zeros(1000, 0);
    const Case cases[] = {
        {"zeros after the end marker", From::ScanData, 0, join({{1, 2, 3, 0xFF, 0xD9}, zeros}), 3, true, false},
        {"stuffed bytes and fill",
         From::ScanData,
         0,
         {0xFF, 0x00, 0xFF, 0xFF, 0xFF, 0x00, 7, 0xFF, 0xD9},
         3,
         true,
         false},
        {"restarts with an interval",
         From::ScanData,
         1,
         {1, 0xFF, 0xD0, 2, 0xFF, 0xD7, 3, 0xFF, 0xD9, 9},
         3,
         true,
         false},
        {"a restart without an interval ends the data", From::ScanData, 0, join({{1, 0xFF, 0xD0}, zeros}), 1, false,
         false},
        {"tables and scans between scans", From::ScanData, 0,
         join({{1, 2}, comment, {0x55, 0x55}, scanHeader, {3, 4, 5, 0xFF, 0xD9}}), 5, true, false},
        {"a restart interval set between scans", From::ScanData, 0,
         join({{1}, {0xFF, 0xDD, 0x00, 0x04, 0x00, 0x02}, scanHeader, {2, 0xFF, 0xD1, 3, 0xFF, 0xD9}}), 3, true, false},
        {"a second frame ends it", From::ScanData, 0, join({{1, 0xFF, 0xC0, 0x00, 0x02}, scanHeader, zeros}), 1, true,
         false},
        {"a short length ends it", From::ScanData, 0, join({{1, 0xFF, 0xFE, 0x00, 0x01}, zeros}), 1, true, false},
        {"cut inside the scan", From::ScanData, 0, {1, 2, 3, 0xFF, 0x00, 4}, 5, false, true},
        {"cut at a marker's first byte", From::ScanData, 0, {1, 2, 0xFF}, 2, false, true},
        {"cut between scans", From::ScanData, 0, join({{1, 2}, comment}), 2, false, false},
        {"a stream from its start", From::StreamStart, 0,
         join({{0xFF, 0xD8}, comment, {0xFF, 0xC0, 0x00, 0x03, 0xFF}, scanHeader, {1, 2, 0xFF, 0xD9}, zeros}), 2, true,
         false},
        {"a stream's start resets the interval", From::StreamStart, 1,
         join({{0xFF, 0xD8}, scanHeader, {1, 0xFF, 0xD0, 2}}), 1, false, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TJpegScanData whole(c.from, c.restartInterval), pieces(c.from, c.restartInterval);
        whole.Feed(c.bytes.data(), c.bytes.size());
        for (std::uint8_t b : c.bytes) pieces.Feed(&b, 1);
        for (const TJpegScanData* data : {&whole, &pieces}) {
            EXPECT_EQ(data->Bytes(), c.counted);
            EXPECT_EQ(data->Ended(), c.ended);
            EXPECT_EQ(data->InsideScan(), c.insideScan);
        }
    }
}

TEST(Orientation, PixelsLandWhereTheTagSays)
{
    // A 3 x 2 picture "abc/def" upright for each tag; the stored form of each
    // is what a camera holding it that way would have written.
    const char* stored = "abcdef";
    const char* upright[9] = {"", "abcdef", "cbafed", "fedcba", "defabc", "adbecf", "daebfc", "fcebda", "cfbead"};
    for (int o = 1; o <= 8; ++o) {
        const bool swap = OrientationSwapsSides(o);
        const int w = swap ? 2 : 3, h = swap ? 3 : 2;
        std::string out(6, '?');
        std::vector<const std::uint8_t*> from = {reinterpret_cast<const std::uint8_t*>(stored),
                                                 reinterpret_cast<const std::uint8_t*>(stored) + 3};
        std::vector<std::uint8_t*> to;
        for (int y = 0; y < h; ++y) to.push_back(reinterpret_cast<std::uint8_t*>(out.data()) + y * w);
        OrientPixels(o, 3, 2, 1, from, to);
        EXPECT_EQ(out, upright[o]) << "orientation " << o;
    }
}

}  // namespace
