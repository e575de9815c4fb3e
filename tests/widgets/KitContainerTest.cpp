// Resource containers: their own file format, malformed files, sharing with
// the program-wide container and its life cycle.
#include "widgets/kitcont.h"
#include "widgets/kitprocs.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

using Bytes = std::vector<std::uint8_t>;

namespace {
QImage Gradient(int width, int height)
{
    QImage image(width, height, QImage::Format_RGB32);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) image.setPixel(x, y, qRgb(x * 9 % 256, y * 17 % 256, (x * y) % 256));
    return image;
}

Bytes Wave()
{
    TMemoryStream s;
    s.WriteBuffer("RIFF", 4);
    WriteIntegerRecord(s, 40);
    s.WriteBuffer("WAVEfmt ", 8);
    WriteIntegerRecord(s, 16);
    const std::uint8_t fmt[16] = {1, 0, 1, 0, 0x40, 0x1F, 0, 0, 0x80, 0x3E, 0, 0, 2, 0, 16, 0};
    s.WriteBuffer(fmt, 16);
    s.WriteBuffer("data", 4);
    WriteIntegerRecord(s, 4);
    WriteIntegerRecord(s, 0x12345678);
    return s.Bytes();
}

std::string Temp(const std::string& name) { return testing::TempDir() + name; }
}  // namespace

TEST(KitContainer, SignaturesAndExtensions)
{
    EXPECT_EQ(KitContainerSignature(TKitContainerKind::ImageList), "KITIML30");
    EXPECT_EQ(KitContainerSignature(TKitContainerKind::BitmapList), "KITBML30");
    EXPECT_EQ(KitContainerSignature(TKitContainerKind::WaveList), "KITWVL30");
    EXPECT_EQ(KitContainerSignature(TKitContainerKind::StringList), "KITSLL30");
    EXPECT_EQ(KitContainerSignature(TKitContainerKind::RichTextList), "KITRTL30");
    EXPECT_EQ(KitContainerDefaultExt(TKitContainerKind::ImageList, false), "iml");
    EXPECT_EQ(KitContainerDefaultExt(TKitContainerKind::WaveList, true), ".wav");
}

TEST(KitContainer, StringListFileHasItsExactLayout)
{
    TKitStringList list(nullptr, "Strings");
    auto& entry = static_cast<TKitStringListItem&>(list.Add());
    entry.Flag = true;
    entry.Description = "ab";
    entry.Ident = 7;
    entry.Items.Add("x");
    list.Add();  // an empty entry: flags 0 and an empty text
    TMemoryStream stream;
    list.SaveToStream(stream);

    const Bytes expected = {8,    'K', 'I', 'T', 'S', 'L',  'L',  '3', '0', 2, 0, 0, 0,  // two entries
                            21,   0,   0,   0,                                           // first entry at 21
                            36,   0,   0,   0,                                           // second at 36
                            0x07, 2,   'a', 'b', 7,   0,    0,    0,                     // flag, description, ident
                            3,    0,   0,   0,   'x', '\r', '\n',                        // the text
                            0x00, 0,   0,   0,   0};
    EXPECT_EQ(stream.Bytes(), expected);

    stream.SetPosition(0);
    TKitStringList back(nullptr, "Back");
    back.LoadFromStream(stream);
    ASSERT_EQ(back.Count(), 2);
    EXPECT_TRUE(back.Strings(0).Flag);
    EXPECT_EQ(back.Strings(0).Description, "ab");
    EXPECT_EQ(back.Strings(0).Ident, 7);
    EXPECT_EQ(back.Strings(0).Items.Text(), "x\r\n");
    EXPECT_EQ(back.Strings(1).Items.Count(), 0);
}

TEST(KitContainer, EveryKindRoundTripsThroughItsFile)
{
    for (bool compressed : {false, true}) {
        TKitBitmapList bitmaps(nullptr, "Bitmaps");
        bitmaps.DefaultCompressed = compressed;
        static_cast<TKitBitmapListItem&>(bitmaps.Add()).Bitmap = Gradient(20, 9);
        auto& second = static_cast<TKitBitmapListItem&>(bitmaps.Add());
        second.Bitmap = Gradient(3, 3).convertToFormat(QImage::Format_Mono);
        second.Description = "mono";
        bitmaps.SaveToFile(Temp("kit.bmp"));
        TKitBitmapList bitmapsBack(nullptr, "Back");
        bitmapsBack.LoadFromFile(Temp("kit.bmp"));
        ASSERT_EQ(bitmapsBack.Count(), 2);
        EXPECT_EQ(bitmapsBack.Picture(0).convertToFormat(QImage::Format_RGB32), Gradient(20, 9));
        EXPECT_EQ(bitmapsBack.Bitmap(1).Description, "mono");
        EXPECT_EQ(bitmapsBack.Picture(1).depth(), 1);

        TKitImageList images(nullptr, "Images");
        images.DefaultCompressed = compressed;
        QImage mask(32, 16, QImage::Format_RGB32);
        mask.fill(Qt::white);
        static_cast<TKitImageListItem&>(images.Add()).SetImage(Gradient(32, 16), 16, 16, 2, mask);
        static_cast<TKitImageListItem&>(images.Add()).SetImage(Gradient(30, 10), 10, 10, 3);
        images.SaveToFile(Temp("kit.iml"));
        TKitImageList imagesBack(nullptr, "Back");
        imagesBack.LoadFromFile(Temp("kit.iml"));
        ASSERT_EQ(imagesBack.Count(), 2);
        EXPECT_TRUE(imagesBack.Images(0).Masked());
        EXPECT_EQ(imagesBack.Images(0).CellCount(), 2);
        EXPECT_FALSE(imagesBack.Images(1).Masked());
        EXPECT_EQ(imagesBack.Images(1).Cell(2).convertToFormat(QImage::Format_RGB32),
                  Gradient(30, 10).copy(20, 0, 10, 10));

        TKitWaveList waves(nullptr, "Waves");
        waves.DefaultCompressed = compressed;
        TMemoryStream waveBytes(Wave());
        static_cast<TKitWaveListItem&>(waves.Add()).Wave.LoadFromStream(waveBytes);
        waves.SaveToFile(Temp("kit.wav"));
        TKitWaveList wavesBack(nullptr, "Back");
        wavesBack.LoadFromFile(Temp("kit.wav"));
        ASSERT_EQ(wavesBack.Count(), 1);
        EXPECT_EQ(wavesBack.Waves(0).Wave.Bytes(), Wave());
    }
}

TEST(KitContainer, ImageStripsThatDoNotFitAreRefused)
{
    TKitImageListItem item;
    auto messageOf = [&](int w, int h, int count) -> std::string {
        try {
            item.SetImage(Gradient(32, 16), w, h, count);
        } catch (const EKitContainerError& error) {
            return error.Message;
        }
        return "";
    };
    EXPECT_EQ(messageOf(0, 16, 1), "Invalid image size");
    EXPECT_EQ(messageOf(33, 16, 1), "Invalid image size");
    EXPECT_EQ(messageOf(16, 17, 1), "Invalid image size");
    EXPECT_EQ(messageOf(16, 16, 3), "Too many images");
    EXPECT_EQ(messageOf(16, 16, 2), "");
    EXPECT_EQ(item.Cell(2).isNull(), true);
}

TEST(KitContainer, MalformedFilesAreRejected)
{
    TKitStringList good(nullptr, "Good");
    static_cast<TKitStringListItem&>(good.Add()).Items.Add("kept");
    TMemoryStream stream;
    good.SaveToStream(stream);
    const Bytes bytes = stream.Bytes();

    // Another kind's file names the file in its message.
    TKitBitmapList wrongKind(nullptr, "Bitmaps");
    const std::string file = Temp("strings.txt");
    good.SaveToFile(file);
    try {
        wrongKind.LoadFromFile(file);
        FAIL() << "a string list is not a bitmap list";
    } catch (const EKitContainerError& error) {
        EXPECT_EQ(error.Message, file + ": Cannot open file %s");
    }

    auto patched = [&](std::size_t at, std::uint8_t value) { return testsupport::WithByte(bytes, at, value); };
    const std::vector<Bytes> damaged = {
        Bytes(bytes.begin(), bytes.begin() + 5),  // signature broken off
        patched(1, 'X'),                          // unknown signature
        patched(12, 0x7F),                        // an entry count far past the data
        patched(13, 0x00),                        // entry position before the table's end
        patched(14, 0x10),                        // entry position past the end
        Bytes(bytes.begin(), bytes.end() - 2),    // text broken off
        patched(18, 0x40),                        // text length past the data
    };
    for (const auto& b : damaged) {
        TKitStringList list(nullptr, "List");
        static_cast<TKitStringListItem&>(list.Add()).Items.Add("before");
        TMemoryStream s(b);
        EXPECT_THROW(list.LoadFromStream(s, "damaged"), Exception) << b.size();
        ASSERT_EQ(list.Count(), 1);  // a failed load changes nothing
        EXPECT_EQ(list.Strings(0).Items[0], "before");
    }
}

TEST(KitContainer, ProgramWideContainerLifeCycleAndSharing)
{
    EXPECT_EQ(KitContainer, nullptr);
    KitContInitialize();
    ASSERT_NE(KitContainer, nullptr);
    TKitContainer* container = KitContainer;
    EXPECT_EQ(container->ClientCount(), 4);
    EXPECT_EQ(container->StringList().LinkedContainer(), container);
    EXPECT_EQ(container->BitmapList().Count(), 0);
    EXPECT_EQ(container->ImageList().Count(), 0);
    EXPECT_EQ(container->WaveList().Count(), 0);
    KitContInitialize();
    EXPECT_EQ(KitContainer, container);

    // A shared list forwards its changes; an unshared one keeps them.
    TKitStringList mine(nullptr, "Mine");
    static_cast<TKitStringListItem&>(mine.Add()).Items.Add("private");
    EXPECT_EQ(container->StringList().Count(), 0);
    mine.Options = KitContainerShare;
    static_cast<TKitStringListItem&>(mine.Add()).Items.Add("shared");
    mine.Changed();  // an edited entry is announced like an added one
    ASSERT_EQ(container->StringList().Count(), 2);
    EXPECT_EQ(static_cast<TKitStringList&>(container->StringList()).Strings(1).Items[0], "shared");

    // A client linked to the container is detached when it goes.
    TKitStringList client(nullptr, "Client");
    container->Link(&client);
    EXPECT_EQ(client.LinkedContainer(), container);
    KitContFinalize();
    EXPECT_EQ(KitContainer, container);
    KitContFinalize();
    EXPECT_EQ(KitContainer, nullptr);
    EXPECT_EQ(client.LinkedContainer(), nullptr);

    // Without the program-wide container, sharing does nothing.
    static_cast<TKitStringListItem&>(mine.Add()).Items.Add("alone");
    EXPECT_EQ(mine.Count(), 3);
}

TEST(KitContainer, AssignCopiesAndRefusesOtherKinds)
{
    TKitWaveList waves(nullptr, "Waves");
    TMemoryStream waveBytes(Wave());
    auto& entry = static_cast<TKitWaveListItem&>(waves.Add());
    entry.Wave.LoadFromStream(waveBytes);
    entry.Ident = 3;
    TKitWaveList copy(nullptr, "Copy");
    copy.Assign(waves);
    ASSERT_EQ(copy.Count(), 1);
    EXPECT_EQ(copy.Waves(0).Ident, 3);
    EXPECT_EQ(copy.Waves(0).Wave.Bytes(), Wave());
    waves.Clear();
    EXPECT_EQ(copy.Count(), 1);  // a copy, not a view

    TKitStringList strings(nullptr, "Strings");
    EXPECT_THROW(strings.Assign(copy), EKitContainerError);
    EXPECT_THROW(copy.Item(5), EListError);

    copy.FileName = "sounds.wav";
    EXPECT_EQ(copy.FullFileName(), KitProgramFolder() + "sounds.wav");
    copy.PathPrefix = TKitPathPrefix::ppNone;
    EXPECT_EQ(copy.FullFileName(), "sounds.wav");
}

TEST(KitContainer, StartupObjectMakesAndFreesTheKitsObjects)
{
    testing::internal::CaptureStderr();
    {
        TKitStartup startup;
        ASSERT_NE(KitApplication, nullptr);
        ASSERT_NE(KitContainer, nullptr);
        EXPECT_TRUE(ScreenCursor(crKitHand).has_value());
        EXPECT_EQ(ScreenCursor(crKitApplication), Qt::DragMoveCursor);
    }
    testing::internal::GetCapturedStderr();
    EXPECT_EQ(KitApplication, nullptr);
    EXPECT_EQ(KitContainer, nullptr);
}
