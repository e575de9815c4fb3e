#pragma once
// The font list: an owner-drawn combo box base and a combo box of the
// installed font families, each marked with a small glyph for outline
// (TrueType/OpenType) and device fonts and optionally drawn in its own face.
// Families come from fontconfig; there is no printer, so the printer's list
// is empty.
//
// A face that is not installed is kept: setting FontName to it selects an
// extra entry of that name, so a caller that reads the text back (a dialog
// closed with OK) writes the stored face unchanged.

#include "platform/gui/Gui.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

class QImage;

enum TOwnerDrawComboStyle { csDropDown, csSimple, csDropDownList };

// A combo box whose items are drawn by DrawItem at the height GetItemHeight gives.
class TOwnerDrawComboBox : public TComboBox {
public:
    TOwnerDrawComboBox(TComponent* owner, std::string name, QWidget* parent, bool sorted = false);
    ~TOwnerDrawComboBox() override;

    TOwnerDrawComboStyle Style() const { return style_; }
    // csDropDown and csSimple have a text field, csDropDownList only the list.
    void SetStyle(TOwnerDrawComboStyle style);

    // The height of the control's font + 1, at least 9.
    virtual int GetItemHeight() const;
    // Paints item index into rect; the base fills the rectangle and writes the text.
    virtual void DrawItem(class QPainter& painter, int index, const class QRect& rect, bool selected) const;

protected:
    // Typing in the text field; the base does nothing.
    virtual void TextTyped() {}

private:
    TOwnerDrawComboStyle style_ = csDropDownList;
};

enum TFontDevice { fdScreen, fdPrinter, fdBoth };
enum TFontListOption {
    foAnsiOnly,
    foTrueTypeOnly,
    foFixedPitchOnly,
    foNoOEMFonts,
    foOEMFontsOnly,
    foScalableOnly,
    foNoSymbolFonts
};
// A set of TFontListOption: bit n for option n.
using TFontListOptions = std::uint8_t;
constexpr TFontListOptions FontOption(TFontListOption option) { return TFontListOptions(1u << option); }

// One family as the enumeration reports it.
struct TFontFamily {
    std::string Name;
    int FontType = 0;        // raster 1, device 2, TrueType 4
    int CharSet = 0;         // 0 ANSI, 1 default, 2 symbol, 255 OEM
    int PitchAndFamily = 0;  // bit 1: fixed pitch
};
// Font-type bits of an item (FontType, plus 0x100 when not a symbol font).
constexpr int RASTER_FONTTYPE = 1;
constexpr int DEVICE_FONTTYPE = 2;
constexpr int TRUETYPE_FONTTYPE = 4;
constexpr int NOT_SYMBOL_FONT = 0x100;

// Where the families of a device come from; may throw (a missing printer).
// Tests set their own; the default lists fontconfig's families for the
// screen and nothing for the printer.
using TFontFamilySource = std::function<std::vector<TFontFamily>(TFontDevice device)>;
void SetFontFamilySource(TFontFamilySource source);
// The families fontconfig knows, one entry per family name.
std::vector<TFontFamily> InstalledFontFamilies();

class TFontComboBox : public TOwnerDrawComboBox {
public:
    // Raises "Resource TRUETYPE_FNT not found" (or DEVICE_FNT) without its glyphs.
    TFontComboBox(TComponent* owner, std::string name, QWidget* parent);
    ~TFontComboBox() override;

    std::string FontName() const { return Text(); }
    void SetFontName(const std::string& name);
    void SetText(const std::string& text) override { SetFontName(text); }

    TFontDevice Device() const { return device_; }
    void SetDevice(TFontDevice device);
    TFontListOptions Options() const { return options_; }
    void SetOptions(TFontListOptions options);
    bool TrueTypeOnly() const { return (options_ & FontOption(foTrueTypeOnly)) != 0; }
    void SetTrueTypeOnly(bool on);
    bool UseFonts() const { return useFonts_; }
    void SetUseFonts(bool on);

    // The font-type bits of item index (0 for a kept face that is not installed).
    int ItemFontType(int index) const;
    // True when item index is a kept face that is not installed.
    bool ItemIsMissingFace(int index) const;

    virtual void FillFontList();
    // The system's installed fonts changed: refill, keeping the selection.
    void FontsChanged();
    // Runs OnChange unless the list is being filled.
    void NotifyChange();

    int GetItemHeight() const override;
    void DrawItem(QPainter& painter, int index, const QRect& rect, bool selected) const override;

protected:
    void TextTyped() override;

private:
    void RefillKeepingSelection();
    void DropMissingFace();
    bool Accepts(const TFontFamily& family) const;

    TFontDevice device_ = fdScreen;
    TFontListOptions options_ = 0;
    bool useFonts_ = false;
    bool filling_ = false;
    std::vector<QImage> glyphs_;  // TrueType, device; the key colour made transparent
    class QTimer* fontWatch_ = nullptr;
};
