// Stream records: exact bytes, round trips and records that lie about their sizes.
#include "platform/strings/StringList.h"
#include "widgets/kitprocs.h"
#include "widgets/kitwave.h"
#include "tests/support/Raises.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <random>

using Bytes = std::vector<std::uint8_t>;

namespace {
Bytes Written(const std::function<void(TStream&)>& write)
{
    TMemoryStream stream;
    write(stream);
    return stream.Bytes();
}

// A RIFF/WAVE file with a PCM format chunk and a few samples.
Bytes MakeWave(std::uint16_t channels, std::uint32_t rate, std::size_t samples)
{
    TMemoryStream s;
    const std::uint32_t dataSize = static_cast<std::uint32_t>(samples * 2 * channels);
    s.WriteBuffer("RIFF", 4);
    WriteIntegerRecord(s, static_cast<std::int32_t>(36 + dataSize));
    s.WriteBuffer("WAVEfmt ", 8);
    WriteIntegerRecord(s, 16);
    const std::uint8_t fmt[16] = {1,
                                  0,
                                  static_cast<std::uint8_t>(channels),
                                  0,
                                  static_cast<std::uint8_t>(rate),
                                  static_cast<std::uint8_t>(rate >> 8),
                                  static_cast<std::uint8_t>(rate >> 16),
                                  0,
                                  0,
                                  0,
                                  0,
                                  0,  // byte rate, not checked
                                  static_cast<std::uint8_t>(2 * channels),
                                  0,
                                  16,
                                  0};
    s.WriteBuffer(fmt, sizeof fmt);
    s.WriteBuffer("data", 4);
    WriteIntegerRecord(s, static_cast<std::int32_t>(dataSize));
    for (std::size_t i = 0; i < dataSize; ++i) WriteByteRecord(s, static_cast<std::uint8_t>(i * 7));
    return s.Bytes();
}
}  // namespace

TEST(KitRecords, PlainRecordsHaveTheirExactBytes)
{
    EXPECT_EQ(Written([](TStream& s) { WriteIntegerRecord(s, -2); }), (Bytes{0xFE, 0xFF, 0xFF, 0xFF}));
    EXPECT_EQ(Written([](TStream& s) { WriteIntegerRecord(s, 0x01020304); }), (Bytes{4, 3, 2, 1}));
    EXPECT_EQ(Written([](TStream& s) {
                  WriteByteRecord(s, 0xAB);
                  WriteBooleanRecord(s, true);
              }),
              (Bytes{0xAB, 1}));
    EXPECT_EQ(Written([](TStream& s) { WriteShortStringRecord(s, "Hi"); }), (Bytes{2, 'H', 'i'}));
    EXPECT_EQ(Written([](TStream& s) { WriteSizedBlock(s, Bytes{9, 8}); }), (Bytes{2, 0, 0, 0, 9, 8}));

    TMemoryStream s(Bytes{0xFE, 0xFF, 0xFF, 0xFF, 0, 3, 'a', 'b', 'c', 1, 0, 0, 0, 42});
    EXPECT_EQ(ReadIntegerRecord(s), -2);
    EXPECT_FALSE(ReadBooleanRecord(s));
    EXPECT_EQ(ReadShortStringRecord(s), "abc");
    EXPECT_EQ(ReadSizedBlock(s), Bytes{42});
}

TEST(KitRecords, LongShortStringsKeepTheirFirst255Bytes)
{
    // A length byte of len mod 256 would write 256 characters as an empty string.
    const std::string longText(300, 'q');
    TMemoryStream s;
    WriteShortStringRecord(s, longText);
    EXPECT_EQ(s.Size(), 256);
    s.SetPosition(0);
    EXPECT_EQ(ReadShortStringRecord(s), std::string(255, 'q'));
}

TEST(KitRecords, SizesPastTheDataRaise)
{
    TMemoryStream block(Bytes{0x10, 0, 0, 0, 1, 2});
    EXPECT_THROW(ReadSizedBlock(block), EReadError);
    TMemoryStream negative(Bytes{0xFF, 0xFF, 0xFF, 0xFF});
    EXPECT_THROW(ReadSizedBlock(negative), EReadError);
    TMemoryStream shortString(Bytes{5, 'a'});
    EXPECT_THROW(ReadShortStringRecord(shortString), EReadError);
}

TEST(KitRecords, CompressedStreamLayout)
{
    const Bytes input(20, 'x');
    TByteViewStream source(input.data(), input.size());
    TMemoryStream dest;
    WriteCompressedStream(source, dest);
    // Total 4 + 7, then one block of 7 bytes.
    EXPECT_EQ(dest.Bytes(), (Bytes{11, 0, 0, 0, 7, 0, 0, 0, 64, 0x80, 0x00, 0, 0, 4, 'x'}));

    dest.SetPosition(0);
    TMemoryStream back;
    ReadCompressedStream(dest, back);
    EXPECT_EQ(back.Bytes(), input);
}

TEST(KitRecords, CompressedStreamsSplitIntoBlocksAndRoundTrip)
{
    std::mt19937 random(7);
    Bytes input(100000);
    for (std::size_t i = 0; i < input.size(); ++i)
        input[i] = i % 1000 < 500 ? static_cast<std::uint8_t>(random()) : static_cast<std::uint8_t>(i % 13);
    TByteViewStream source(input.data(), input.size());
    TMemoryStream dest;
    WriteCompressedStream(source, dest);

    // Walk the blocks: four of them (32781 * 3 < 100000 <= 32781 * 4), lengths add up.
    dest.SetPosition(0);
    const std::int32_t total = ReadIntegerRecord(dest);
    EXPECT_EQ(total + 4, dest.Size());
    int blocks = 0;
    while (dest.Remaining() > 0) {
        const std::int32_t length = ReadIntegerRecord(dest);
        dest.Seek(length, SeekOrigin::Current);
        ++blocks;
    }
    EXPECT_EQ(blocks, 4);

    dest.SetPosition(0);
    TMemoryStream back;
    ReadCompressedStream(dest, back);
    EXPECT_EQ(back.Bytes(), input);

    Bytes empty;
    TByteViewStream none(empty.data(), 0);
    TMemoryStream emptyDest;
    WriteCompressedStream(none, emptyDest);
    EXPECT_EQ(emptyDest.Bytes(), (Bytes{0, 0, 0, 0}));
}

TEST(KitRecords, DamagedCompressedStreamsRaise)
{
    const std::vector<Bytes> damaged = {
        {50, 0, 0, 0, 7, 0, 0, 0},                                // total past the data
        {11, 0, 0, 0, 9, 0, 0, 0, 64, 0x80, 0x00, 0, 0, 4, 'x'},  // block past the total
        {2, 0, 0, 0, 0, 0},                                       // a total too small for a block length
        {4, 0, 0, 0, 0, 0, 0, 0},                                 // an empty block
        {11, 0, 0, 0, 7, 0, 0, 0, 64, 0x80, 0x00, 0, 0, 4},       // broken off
    };
    for (const auto& bytes : damaged) {
        TMemoryStream source(bytes);
        TMemoryStream dest;
        EXPECT_THROW(ReadCompressedStream(source, dest), Exception) << bytes.size();
    }
}

TEST(KitRecords, StringListsRoundTripBothWays)
{
    TStringList list;
    list.Add("first line");
    list.Add("");
    list.Add("third | with bars");
    for (bool compressed : {false, true}) {
        TMemoryStream s;
        WriteStringListRecord(s, list, compressed);
        if (!compressed) {
            const std::string text = "first line\r\n\r\nthird | with bars\r\n";
            Bytes expected = {static_cast<std::uint8_t>(text.size()), 0, 0, 0};
            expected.insert(expected.end(), text.begin(), text.end());
            EXPECT_EQ(s.Bytes(), expected);
        }
        s.SetPosition(0);
        TStringList back;
        ReadStringListRecord(s, back, compressed);
        ASSERT_EQ(back.Count(), 3);
        EXPECT_EQ(back[2], "third | with bars");
        EXPECT_EQ(s.Remaining(), 0);
    }
}

TEST(KitRecords, DIBRecordHeaderAndPixels)
{
    QImage picture(3, 2, QImage::Format_RGB32);
    picture.setPixel(0, 0, qRgb(255, 0, 0));
    picture.setPixel(1, 0, qRgb(0, 255, 0));
    picture.setPixel(2, 0, qRgb(0, 0, 255));
    picture.setPixel(0, 1, qRgb(1, 2, 3));
    picture.setPixel(1, 1, qRgb(4, 5, 6));
    picture.setPixel(2, 1, qRgb(7, 8, 9));
    const Bytes record = MakeDIBRecord(picture, 0);
    // 24 bits: rows of 12 bytes (9 padded to 4), bottom row first.
    ASSERT_EQ(record.size(), 14u + 40 + 24);
    EXPECT_EQ(Bytes(record.begin(), record.begin() + 14), (Bytes{'B', 'M', 78, 0, 0, 0, 0, 0, 0, 0, 54, 0, 0, 0}));
    EXPECT_EQ(record[14], 40);
    EXPECT_EQ(record[18], 3);   // width
    EXPECT_EQ(record[22], 2);   // height
    EXPECT_EQ(record[26], 1);   // planes
    EXPECT_EQ(record[28], 24);  // bits
    EXPECT_EQ(record[34], 24);  // image size
    EXPECT_EQ(Bytes(record.begin() + 54, record.begin() + 66), (Bytes{3, 2, 1, 6, 5, 4, 9, 8, 7, 0, 0, 0}));
    EXPECT_EQ(Bytes(record.begin() + 66, record.end()), (Bytes{0, 0, 255, 0, 255, 0, 255, 0, 0, 0, 0, 0}));

    const QImage back = ParseDIBRecord(record);
    EXPECT_EQ(back.pixel(0, 0), qRgb(255, 0, 0));
    EXPECT_EQ(back.pixel(2, 1), qRgb(7, 8, 9));
}

TEST(KitRecords, DIBRecordDepths)
{
    QImage picture(10, 3, QImage::Format_RGB32);
    picture.fill(qRgb(255, 255, 255));
    picture.setPixel(4, 1, qRgb(0, 0, 0));
    const Bytes mono = MakeDIBRecord(picture, 2);
    EXPECT_EQ(mono[28], 1);
    EXPECT_EQ(mono.size(), 14u + 40 + 8 + 3 * 4);
    const Bytes sixteen = MakeDIBRecord(picture, 16);
    EXPECT_EQ(sixteen[28], 4);
    EXPECT_EQ(sixteen.size(), 14u + 40 + 64 + 3 * 8);
    const Bytes byte = MakeDIBRecord(picture, 256);
    EXPECT_EQ(byte[28], 8);
    EXPECT_EQ(byte.size(), 14u + 40 + 1024 + 3 * 12);
    for (const auto& record : {mono, sixteen, byte}) {
        const QImage back = ParseDIBRecord(record);
        EXPECT_EQ(back.pixel(4, 1) & 0xFFFFFF, 0u);
        EXPECT_EQ(back.pixel(5, 1) & 0xFFFFFF, 0xFFFFFFu);
    }
    // A monochrome bitmap keeps one bit whatever was asked.
    const QImage monoPicture = picture.convertToFormat(QImage::Format_Mono);
    EXPECT_EQ(MakeDIBRecord(monoPicture, 256)[28], 1);
    EXPECT_THROW(MakeDIBRecord(QImage(), 0), Exception);
}

TEST(KitRecords, MalformedDIBRecordsRaise)
{
    QImage picture(4, 4, QImage::Format_RGB32);
    picture.fill(qRgb(10, 20, 30));
    const Bytes good = MakeDIBRecord(picture, 256);
    auto patched = [&](std::size_t at, std::uint8_t value) { return testsupport::WithByte(good, at, value); };
    const std::vector<Bytes> bad = {
        Bytes(good.begin(), good.begin() + 20),  // header broken off
        Bytes(good.begin(), good.end() - 1),     // pixels broken off
        patched(0, 'X'),                         // not a DIB
        patched(28, 5),                          // bit count
        patched(30, 1),                          // compressed
        patched(13, 0x10),                       // pixel offset far past the end
        patched(47, 0x10),                       // more colours than 8 bits hold
        patched(21, 0x80),                       // negative width
        patched(14, 0xFF),                       // header larger than the record
    };
    for (const auto& b : bad) EXPECT_THROW(ParseDIBRecord(b), EKitRecordError);
}

TEST(KitRecords, BitmapRecordsRoundTrip)
{
    QImage picture(33, 17, QImage::Format_RGB32);
    for (int y = 0; y < 17; ++y)
        for (int x = 0; x < 33; ++x) picture.setPixel(x, y, qRgb(x * 7, y * 13, (x + y) % 2 ? 200 : 0));
    for (bool compressed : {false, true}) {
        TMemoryStream s;
        WriteBitmapRecord(s, picture, compressed);
        s.SetPosition(0);
        const QImage back = ReadBitmapRecord(s, compressed);
        EXPECT_EQ(back.convertToFormat(QImage::Format_RGB32), picture);
        EXPECT_EQ(s.Remaining(), 0);
    }
}

TEST(KitWave, CheckWaveHeaderReadsTheFormat)
{
    TMemoryStream stereo(MakeWave(2, 22050, 10));
    TWaveInfo info;
    stereo.SetPosition(5);
    ASSERT_TRUE(CheckWaveHeader(&stereo, info));
    EXPECT_EQ(stereo.Position(), 0);
    EXPECT_EQ(info.RiffLength, 36u + 40);
    EXPECT_EQ(info.SampleRate, 22050u);
    EXPECT_EQ(info.ChannelMode, 2);
    EXPECT_TRUE(info.Pcm);
    EXPECT_EQ(info.BlockAlign, 4);

    TMemoryStream mono(MakeWave(1, 8000, 1));
    ASSERT_TRUE(CheckWaveHeader(&mono, info));
    EXPECT_EQ(info.ChannelMode, 1);
    TMemoryStream six(MakeWave(6, 8000, 1));
    ASSERT_TRUE(CheckWaveHeader(&six, info));
    EXPECT_EQ(info.ChannelMode, 0);
}

TEST(KitWave, MalformedHeaders)
{
    TWaveInfo info;
    EXPECT_FALSE(CheckWaveHeader(nullptr, info));
    TMemoryStream empty;
    EXPECT_FALSE(CheckWaveHeader(&empty, info));

    Bytes notRiff = MakeWave(1, 8000, 4);
    notRiff[0] = 'X';
    TMemoryStream s1(notRiff);
    EXPECT_FALSE(CheckWaveHeader(&s1, info));
    Bytes notWave = MakeWave(1, 8000, 4);
    notWave[8] = 'X';
    TMemoryStream s2(notWave);
    EXPECT_FALSE(CheckWaveHeader(&s2, info));

    const Bytes whole = MakeWave(1, 8000, 4);
    TMemoryStream cut(Bytes(whole.begin(), whole.begin() + 30));
    try {
        CheckWaveHeader(&cut, info);
        FAIL() << "a broken-off header must raise";
    } catch (const EErrorCheckingWave& error) {
        EXPECT_EQ(error.Message, "GetWaveData: Cannot open file %s");
    }
}

TEST(KitWave, LoadingSavingAndRecords)
{
    const Bytes bytes = MakeWave(2, 44100, 50);
    TKitWave wave;
    int changes = 0;
    wave.OnChange = [&](TKitObject*) { ++changes; };
    EXPECT_TRUE(wave.Empty());
    TMemoryStream source(bytes);
    wave.LoadFromStream(source);
    EXPECT_EQ(changes, 1);
    EXPECT_EQ(wave.Bytes(), bytes);
    EXPECT_EQ(wave.Size(), static_cast<std::int64_t>(bytes.size()));
    EXPECT_EQ(wave.Info().SampleRate, 44100u);
    EXPECT_FALSE(wave.Play());

    for (bool compressed : {false, true}) {
        TMemoryStream record;
        wave.SaveToWaveRecord(record, compressed);
        record.SetPosition(0);
        TKitWave back;
        back.LoadFromWaveRecord(record, compressed);
        EXPECT_EQ(back.Bytes(), bytes);
    }

    TMemoryStream data;
    wave.WriteData(data);
    EXPECT_EQ(data.Size(), static_cast<std::int64_t>(bytes.size() + 4));
    data.SetPosition(0);
    TKitWave fromData;
    fromData.ReadData(data);
    EXPECT_EQ(fromData.Bytes(), bytes);

    TKitWave copy;
    copy.Assign(&wave);
    EXPECT_EQ(copy.Bytes(), bytes);
    copy.Assign(nullptr);
    EXPECT_TRUE(copy.Empty());
    TMemoryStream nothing;
    copy.WriteData(nothing);
    EXPECT_EQ(nothing.Size(), 0);  // no stream, no "Data"

    const std::string file = testing::TempDir() + "kitwave.wav";
    wave.SaveToFile(file);
    TKitWave fromFile(file);
    EXPECT_EQ(fromFile.Bytes(), bytes);

    // A sized load of 0 clears.
    TMemoryStream zero(Bytes{0, 0, 0, 0});
    fromFile.ReadData(zero);
    EXPECT_TRUE(fromFile.Empty());
}

TEST(KitWave, RefusedWavesLeaveTheOldOne)
{
    TKitWave wave;
    TMemoryStream good(MakeWave(1, 8000, 3));
    wave.LoadFromStream(good);
    const Bytes before = wave.Bytes();

    Bytes notRiff = MakeWave(1, 8000, 3);
    notRiff[1] = 'X';
    TMemoryStream bad(notRiff);
    EXPECT_EQ(testsupport::MessageOf<EInvalidWave>([&] { wave.LoadFromStream(bad); }, "not RIFF was taken"),
              "TKitWave: Cannot open file %s");
    TMemoryStream cut(Bytes(before.begin(), before.begin() + 22));
    EXPECT_THROW(wave.LoadFromStream(cut), EErrorCheckingWave);
    // A size past the data is refused before anything is allocated.
    TMemoryStream lying(Bytes{0xFF, 0xFF, 0xFF, 0x7F, 'R'});
    EXPECT_THROW(wave.ReadData(lying), EReadError);
    EXPECT_EQ(wave.Bytes(), before);
}
