// The font list: which families it shows under each device and option, how
// it selects and keeps a face, refills, and what fontconfig reports.
#include "tests/support/RunCommand.h"
#include "tests/support/TestApplication.h"
#include "widgets/FontCombos.h"
#include "widgets/kitapp.h"

#include <gtest/gtest.h>

#include <QComboBox>
#include <QImage>
#include <QLineEdit>
#include <QPainter>
#include <QWidget>

#include <memory>
#include <set>
#include <sstream>
#include <stdexcept>

namespace {

std::vector<TFontFamily> ScreenFamilies = {
    {"Arial", TRUETYPE_FONTTYPE, 0, 2},
    {"Courier", RASTER_FONTTYPE, 0, 1},
    {"Symbol", TRUETYPE_FONTTYPE, 2, 2},
    {"Terminal", RASTER_FONTTYPE, 255, 1},
    {"Type1 Face", 0, 1, 2},
    {"arial", TRUETYPE_FONTTYPE, 0, 2},
};
const std::vector<TFontFamily> PrinterFamilies = {{"ARIAL", DEVICE_FONTTYPE, 0, 2},
                                                  {"Printer Only", DEVICE_FONTTYPE, 0, 1}};

class FontCombo : public ::testing::Test {
protected:
    void SetUp() override
    {
        testsupport::TestApplication();
        SetFontFamilySource([this](TFontDevice device) {
            if (device == fdPrinter && noPrinter) throw std::runtime_error("no printer");
            return device == fdScreen ? ScreenFamilies : PrinterFamilies;
        });
        parent = std::make_unique<QWidget>();
        root = std::make_unique<TComponent>(nullptr, "root");
        combo = root->Make<TFontComboBox>("FontComboBox1", parent.get());
        combo->OnChange = [this](TComponent*) { ++changes; };
    }
    void TearDown() override { SetFontFamilySource(nullptr); }

    std::unique_ptr<QWidget> parent;
    std::unique_ptr<TComponent> root;
    TFontComboBox* combo = nullptr;
    bool noPrinter = false;
    int changes = 0;
};

TEST_F(FontCombo, DevicesAndOptionsFilterTheFamilies)
{
    struct Case {
        TFontDevice device;
        TFontListOptions options;
        std::vector<std::string> items;
    };
    const Case cases[] = {
        {fdScreen, 0, {"Arial", "Courier", "Symbol", "Terminal", "Type1 Face"}},
        {fdBoth, 0, {"Arial", "Courier", "Printer Only", "Symbol", "Terminal", "Type1 Face"}},
        {fdPrinter, 0, {"ARIAL", "Printer Only"}},
        {fdScreen, FontOption(foAnsiOnly), {"Arial", "Courier"}},
        {fdScreen, FontOption(foTrueTypeOnly), {"Arial", "Symbol"}},
        {fdScreen, FontOption(foFixedPitchOnly), {"Courier", "Terminal"}},
        {fdScreen, FontOption(foNoOEMFonts), {"Arial", "Courier", "Symbol", "Type1 Face"}},
        {fdScreen, FontOption(foOEMFontsOnly), {"Terminal"}},
        {fdScreen, FontOption(foScalableOnly), {"Arial", "Symbol", "Type1 Face"}},
        {fdScreen, FontOption(foNoSymbolFonts), {"Arial", "Courier", "Terminal", "Type1 Face"}},
        {fdScreen, FontOption(foTrueTypeOnly) | FontOption(foNoSymbolFonts), {"Arial"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.device) + " options " + std::to_string(c.options));
        combo->SetOptions(c.options);
        combo->SetDevice(c.device);
        EXPECT_EQ(combo->Items().ToVector(), c.items);
    }
    EXPECT_TRUE(combo->TrueTypeOnly());
    // Without a printer, both devices give the screen's families; the printer alone nothing.
    noPrinter = true;
    combo->SetOptions(0);
    combo->SetDevice(fdBoth);
    combo->FontsChanged();
    EXPECT_EQ(combo->Items().Count(), 5);
    combo->SetDevice(fdPrinter);
    EXPECT_EQ(combo->Items().Count(), 0);
    // Item marks: type bits plus 0x100 for families that are not symbol fonts.
    combo->SetDevice(fdBoth);
    noPrinter = false;
    combo->FontsChanged();
    EXPECT_EQ(combo->ItemFontType(combo->Items().IndexOf("Arial")), TRUETYPE_FONTTYPE | NOT_SYMBOL_FONT);
    EXPECT_EQ(combo->ItemFontType(combo->Items().IndexOf("Symbol")), TRUETYPE_FONTTYPE);
    EXPECT_EQ(combo->ItemFontType(combo->Items().IndexOf("Printer Only")), DEVICE_FONTTYPE | NOT_SYMBOL_FONT);
}

TEST_F(FontCombo, FontNameSelectsIgnoringCaseAndKeepsAFaceThatIsNotInstalled)
{
    combo->SetFontName("ARIAL");
    EXPECT_EQ(combo->FontName(), "Arial");
    EXPECT_EQ(changes, 1);
    combo->SetFontName("Arial");  // the same text: nothing happens
    EXPECT_EQ(changes, 1);
    // A stored face that is not installed reads back unchanged.
    combo->SetText("Old Windows Face");
    EXPECT_EQ(combo->FontName(), "Old Windows Face");
    EXPECT_TRUE(combo->ItemIsMissingFace(combo->ItemIndex()));
    EXPECT_EQ(combo->Items().Count(), 6);
    // It goes when another face is chosen; an empty name selects nothing.
    combo->SetFontName("courier");
    EXPECT_EQ(combo->FontName(), "Courier");
    EXPECT_EQ(combo->Items().Count(), 5);
    combo->SetFontName("");
    EXPECT_EQ(combo->ItemIndex(), -1);
    EXPECT_EQ(combo->FontName(), "");
    // An editable box shows the name as its text, without an extra entry.
    combo->SetStyle(csDropDown);
    combo->SetFontName("Old Windows Face");
    EXPECT_EQ(combo->FontName(), "Old Windows Face");
    EXPECT_EQ(combo->Items().Count(), 5);
    // Typing another item's name (in any case) selects it and tells once.
    changes = 0;
    combo->Box()->setEditText("symbol");
    combo->Box()->lineEdit()->textEdited("symbol");
    EXPECT_EQ(combo->ItemIndex(), combo->Items().IndexOf("Symbol"));
    EXPECT_EQ(changes, 1);
}

TEST_F(FontCombo, RefillsKeepTheSelectionAndPickUpNewFonts)
{
    combo->SetFontName("Type1 Face");
    changes = 0;
    ScreenFamilies.push_back({"Brand New", TRUETYPE_FONTTYPE, 0, 2});
    combo->FontsChanged();
    EXPECT_EQ(combo->Items().IndexOf("Brand New"), 1);  // sorted in after "Arial"
    EXPECT_EQ(combo->FontName(), "Type1 Face");
    EXPECT_EQ(changes, 0);
    // A kept face that gets installed becomes the real entry.
    combo->SetFontName("Later Face");
    ScreenFamilies.push_back({"Later Face", TRUETYPE_FONTTYPE, 0, 2});
    combo->FontsChanged();
    EXPECT_EQ(combo->FontName(), "Later Face");
    EXPECT_FALSE(combo->ItemIsMissingFace(combo->ItemIndex()));
    EXPECT_EQ(combo->ItemFontType(combo->ItemIndex()), TRUETYPE_FONTTYPE | NOT_SYMBOL_FONT);
    ScreenFamilies.resize(6);
}

TEST_F(FontCombo, ItemsAreDrawnWithTheirGlyphAndMissingGlyphsStopConstruction)
{
    EXPECT_GE(combo->GetItemHeight(), 11);  // the 12-pixel glyph, less one
    QImage canvas(200, 20, QImage::Format_RGB32);
    canvas.fill(Qt::white);
    QPainter painter(&canvas);
    combo->DrawItem(painter, combo->Items().IndexOf("Arial"), QRect(0, 0, 200, 20), false);
    painter.end();
    // The "T" stem of the glyph, drawn from x = 2 and centred; its silver key stays unseen.
    EXPECT_EQ(canvas.pixel(2 + 6, 4 + 5), qRgb(0, 0, 128));
    for (int x = 0; x < 200; ++x)
        for (int y = 0; y < 20; ++y) ASSERT_NE(canvas.pixel(x, y), qRgb(192, 192, 192)) << x << "," << y;

    const QImage device = KitBitmapResource("DEVICE_FNT");
    RegisterKitBitmapResource("DEVICE_FNT", QImage());
    try {
        root->Make<TFontComboBox>("FontComboBox2", parent.get());
        ADD_FAILURE() << "constructed without its glyph";
    } catch (const std::exception& e) {
        EXPECT_STREQ(e.what(), "Resource DEVICE_FNT not found");
    }
    RegisterKitBitmapResource("DEVICE_FNT", device);
}

TEST(FontFamilies, FontconfigFamiliesMatchFcList)
{
    ASSERT_TRUE(testsupport::HaveTool("fc-list"));
    const auto listed = testsupport::RunCapture(testsupport::FindTool("fc-list") + " : family");
    std::set<std::string> expected;
    std::istringstream lines(listed.Output);
    for (std::string line; std::getline(lines, line);) {
        std::istringstream names(line);
        for (std::string name; std::getline(names, name, ',');) expected.insert(AsciiLower(name));
    }
    std::set<std::string> ours;
    for (const TFontFamily& f : InstalledFontFamilies()) ours.insert(AsciiLower(f.Name));
    EXPECT_FALSE(ours.empty());
    EXPECT_EQ(ours, expected);
    for (const TFontFamily& f : InstalledFontFamilies())
        if (f.Name == "DejaVu Sans Mono") {
            EXPECT_EQ(f.FontType, TRUETYPE_FONTTYPE);
            EXPECT_EQ(f.PitchAndFamily, 1);
            EXPECT_EQ(f.CharSet, 0);
        }
}

}  // namespace
