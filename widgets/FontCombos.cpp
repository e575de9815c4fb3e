#include "widgets/FontCombos.h"

#include "widgets/kitapp.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QFontMetrics>
#include <QImage>
#include <QLineEdit>
#include <QPainter>
#include <QStyledItemDelegate>
#include <QTimer>

#include <fontconfig/fontconfig.h>

#include <algorithm>
#include <map>
#include <set>

namespace {

constexpr int FontTypeRole = Qt::UserRole + 1;
// Marks the extra entry of a kept face that is not installed.
constexpr int MissingFaceMark = 0x10000;

constexpr int FIXED_PITCH = 1;
constexpr int VARIABLE_PITCH = 2;

TFontFamilySource& FamilySource()
{
    static TFontFamilySource source;
    return source;
}

std::vector<TFontFamily> FamiliesOf(TFontDevice device)
{
    if (FamilySource()) return FamilySource()(device);
    // No printer on this system: its list is empty.
    return device == fdScreen ? InstalledFontFamilies() : std::vector<TFontFamily>{};
}

// One face of a family, as the list reports it.
TFontFamily FaceOf(FcPattern* font)
{
    TFontFamily face;
    FcBool scalable = FcFalse, symbol = FcFalse;
    FcPatternGetBool(font, FC_SCALABLE, 0, &scalable);
    FcPatternGetBool(font, FC_SYMBOL, 0, &symbol);
    FcChar8* format = nullptr;
    const std::string formatName =
        FcPatternGetString(font, FC_FONTFORMAT, 0, &format) == FcResultMatch ? reinterpret_cast<char*>(format) : "";
    int spacing = FC_PROPORTIONAL;
    FcPatternGetInteger(font, FC_SPACING, 0, &spacing);
    FcCharSet* chars = nullptr;
    const bool latin = FcPatternGetCharSet(font, FC_CHARSET, 0, &chars) == FcResultMatch &&
                       FcCharSetHasChar(chars, 'A') && FcCharSetHasChar(chars, 0xE9);
    // Outline fonts in TrueType or OpenType (CFF) form count as TrueType;
    // bitmap fonts as raster fonts.
    if (!scalable)
        face.FontType = RASTER_FONTTYPE;
    else if (formatName == "TrueType" || formatName == "CFF")
        face.FontType = TRUETYPE_FONTTYPE;
    face.CharSet = symbol ? 2 : (latin ? 0 : 1);
    face.PitchAndFamily = spacing >= FC_MONO ? FIXED_PITCH : VARIABLE_PITCH;
    return face;
}

// A family takes the best of its faces: outline over bitmap, Latin over symbol.
void MergeFace(TFontFamily& family, const TFontFamily& face)
{
    if (face.FontType == TRUETYPE_FONTTYPE) family.FontType = TRUETYPE_FONTTYPE;
    if (face.FontType != RASTER_FONTTYPE && family.FontType == RASTER_FONTTYPE) family.FontType = face.FontType;
    if (face.CharSet != 2 && (family.CharSet == 2 || face.CharSet < family.CharSet)) family.CharSet = face.CharSet;
    if (face.PitchAndFamily == FIXED_PITCH) family.PitchAndFamily = FIXED_PITCH;
}

// The glyph with its own transparent colour (its bottom-left pixel) cleared.
QImage TransparentGlyph(const QImage& bitmap)
{
    QImage glyph = bitmap.convertToFormat(QImage::Format_ARGB32);
    const QRgb key = glyph.pixel(0, glyph.height() - 1);
    for (int y = 0; y < glyph.height(); ++y)
        for (int x = 0; x < glyph.width(); ++x)
            if (glyph.pixel(x, y) == key) glyph.setPixel(x, y, qRgba(0, 0, 0, 0));
    return glyph;
}

class OwnerDrawDelegate : public QStyledItemDelegate {
public:
    OwnerDrawDelegate(TOwnerDrawComboBox* box, QObject* parent) : QStyledItemDelegate(parent), box_(box) {}
    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override
    {
        painter->save();
        box_->DrawItem(*painter, index.row(), option.rect, (option.state & QStyle::State_Selected) != 0);
        painter->restore();
    }
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override
    {
        return QSize(QStyledItemDelegate::sizeHint(option, index).width(), box_->GetItemHeight());
    }

private:
    TOwnerDrawComboBox* box_;
};

}  // namespace

void SetFontFamilySource(TFontFamilySource source) { FamilySource() = std::move(source); }

std::vector<TFontFamily> InstalledFontFamilies()
{
    if (!FcConfigGetCurrent() && !FcInit()) return {};
    FcPattern* all = FcPatternCreate();
    FcObjectSet* wanted =
        FcObjectSetBuild(FC_FAMILY, FC_FONTFORMAT, FC_SPACING, FC_SCALABLE, FC_SYMBOL, FC_CHARSET, nullptr);
    FcFontSet* fonts = FcFontList(nullptr, all, wanted);
    FcObjectSetDestroy(wanted);
    FcPatternDestroy(all);
    std::map<std::string, TFontFamily> byName;  // lower-cased name
    for (int i = 0; fonts && i < fonts->nfont; ++i) {
        const TFontFamily face = FaceOf(fonts->fonts[i]);
        // Every family name of a face counts ("DejaVu Sans" and "DejaVu Sans Condensed").
        FcChar8* name = nullptr;
        for (int n = 0; FcPatternGetString(fonts->fonts[i], FC_FAMILY, n, &name) == FcResultMatch; ++n) {
            const std::string family = reinterpret_cast<char*>(name);
            auto [it, added] = byName.try_emplace(AsciiLower(family), face);
            if (added)
                it->second.Name = family;
            else
                MergeFace(it->second, face);
        }
    }
    if (fonts) FcFontSetDestroy(fonts);
    std::vector<TFontFamily> families;
    for (auto& [key, family] : byName) families.push_back(family);
    return families;
}

// ---------------------------------------------------------------------------

TOwnerDrawComboBox::TOwnerDrawComboBox(TComponent* owner, std::string name, QWidget* parent, bool sorted)
    : TComboBox(owner, std::move(name), parent, false, sorted)
{
    Box()->setItemDelegate(new OwnerDrawDelegate(this, Box()));
    SetStyle(csDropDownList);
}

TOwnerDrawComboBox::~TOwnerDrawComboBox() = default;

void TOwnerDrawComboBox::SetStyle(TOwnerDrawComboStyle style)
{
    style_ = style;
    QComboBox* box = Box();
    const bool editable = style != csDropDownList;
    if (box->isEditable() == editable) return;
    box->setEditable(editable);
    if (!editable) return;
    box->setInsertPolicy(QComboBox::NoInsert);
    box->setCompleter(nullptr);
    QObject::connect(box->lineEdit(), &QLineEdit::textEdited, box, [this] { Dispatch([this] { TextTyped(); }); });
}

int TOwnerDrawComboBox::GetItemHeight() const { return std::max(9, QFontMetrics(Widget()->font()).height() + 1); }

void TOwnerDrawComboBox::DrawItem(QPainter& painter, int index, const QRect& rect, bool selected) const
{
    const QPalette& palette = Widget()->palette();
    painter.fillRect(rect, selected ? palette.highlight() : palette.base());
    painter.setPen(selected ? palette.highlightedText().color() : palette.text().color());
    painter.drawText(rect.adjusted(2, 0, 0, 0), Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine,
                     ToQString(Items().Get(index)));
}

// ---------------------------------------------------------------------------

TFontComboBox::TFontComboBox(TComponent* owner, std::string name, QWidget* parent)
    : TOwnerDrawComboBox(owner, std::move(name), parent, true)
{
    glyphs_.push_back(TransparentGlyph(KitBitmapResource("TRUETYPE_FNT")));
    glyphs_.push_back(TransparentGlyph(KitBitmapResource("DEVICE_FNT")));
    const std::string remembered = FontName();
    filling_ = true;
    FillFontList();
    SetFontName(remembered);
    filling_ = false;
    // Fonts installed or removed while the program runs show up within a few seconds.
    fontWatch_ = new QTimer(Widget());
    fontWatch_->setInterval(3000);
    QObject::connect(fontWatch_, &QTimer::timeout, Widget(), [this] {
        if (FcConfigUptoDate(nullptr)) return;
        FcInitBringUptoDate();
        Dispatch([this] { FontsChanged(); });
    });
    fontWatch_->start();
}

TFontComboBox::~TFontComboBox() = default;

bool TFontComboBox::Accepts(const TFontFamily& f) const
{
    auto on = [this](TFontListOption o) { return (options_ & FontOption(o)) != 0; };
    if (on(foAnsiOnly) && f.CharSet != 0) return false;
    if (on(foTrueTypeOnly) && !(f.FontType & TRUETYPE_FONTTYPE)) return false;
    if (on(foFixedPitchOnly) && !(f.PitchAndFamily & FIXED_PITCH)) return false;
    if (on(foOEMFontsOnly) && f.CharSet != 255) return false;
    if (on(foNoOEMFonts) && f.CharSet == 255) return false;
    if (on(foNoSymbolFonts) && f.CharSet == 2) return false;
    if (on(foScalableOnly) && (f.FontType & RASTER_FONTTYPE)) return false;
    return true;
}

void TFontComboBox::FillFontList()
{
    QSignalBlocker block(Box());
    Items().Clear();
    std::vector<TFontFamily> families;
    std::set<std::string> seen;  // lower-cased names
    auto take = [&](const std::vector<TFontFamily>& list) {
        for (const TFontFamily& f : list)
            if (Accepts(f) && seen.insert(AsciiLower(f.Name)).second) families.push_back(f);
    };
    if (device_ == fdScreen || device_ == fdBoth) take(FamiliesOf(fdScreen));
    if (device_ == fdPrinter || device_ == fdBoth) {
        try {
            take(FamiliesOf(fdPrinter));
        } catch (const std::exception&) {
            // Without a printer the list holds the screen's families only.
        }
    }
    for (const TFontFamily& f : families) {
        const int index = Items().Add(f.Name);
        Box()->setItemData(index, f.FontType | (f.CharSet != 2 ? NOT_SYMBOL_FONT : 0), FontTypeRole);
    }
}

int TFontComboBox::ItemFontType(int index) const
{
    return Box()->itemData(index, FontTypeRole).toInt() & ~MissingFaceMark;
}

bool TFontComboBox::ItemIsMissingFace(int index) const
{
    return (Box()->itemData(index, FontTypeRole).toInt() & MissingFaceMark) != 0;
}

void TFontComboBox::DropMissingFace()
{
    for (int i = Items().Count() - 1; i >= 0; --i)
        if (ItemIsMissingFace(i)) Items().Delete(i);
}

void TFontComboBox::SetFontName(const std::string& name)
{
    if (name == Text()) return;
    DropMissingFace();
    int index = Items().IndexOf(name);
    if (index < 0 && Style() == csDropDownList && !name.empty()) {
        // A stored face that is not installed stays the choice, as an extra entry.
        index = Items().Add(name);
        Box()->setItemData(index, MissingFaceMark, FontTypeRole);
    }
    SetItemIndex(index);
    if (index < 0 && Style() != csDropDownList) {
        QSignalBlocker block(Box());
        Box()->setEditText(ToQString(name));
    }
    NotifyChange();
}

void TFontComboBox::RefillKeepingSelection()
{
    const std::string remembered = FontName();
    filling_ = true;
    FillFontList();
    if (Style() != csDropDownList) {
        QSignalBlocker block(Box());
        Box()->setEditText(QString());
    }
    SetFontName(remembered);
    filling_ = false;
    if (FontName() != remembered) NotifyChange();
}

void TFontComboBox::SetDevice(TFontDevice device)
{
    if (device == device_) return;
    device_ = device;
    RefillKeepingSelection();
}

void TFontComboBox::SetOptions(TFontListOptions options)
{
    if (options == options_) return;
    options_ = options;
    RefillKeepingSelection();
}

void TFontComboBox::SetTrueTypeOnly(bool on)
{
    SetOptions(on ? options_ | FontOption(foTrueTypeOnly) : options_ & ~FontOption(foTrueTypeOnly));
}

void TFontComboBox::SetUseFonts(bool on)
{
    if (on == useFonts_) return;
    useFonts_ = on;
    Box()->view()->viewport()->update();
}

void TFontComboBox::FontsChanged() { RefillKeepingSelection(); }

void TFontComboBox::NotifyChange()
{
    if (!filling_ && OnChange) OnChange(this);
}

void TFontComboBox::TextTyped()
{
    const int match = Items().IndexOf(FromQString(Box()->currentText()));
    if (match < 0 || match == ItemIndex()) return;
    SetItemIndex(match);
    NotifyChange();
}

int TFontComboBox::GetItemHeight() const
{
    return std::max(TOwnerDrawComboBox::GetItemHeight(), glyphs_.empty() ? 0 : glyphs_[0].height() - 1);
}

void TFontComboBox::DrawItem(QPainter& painter, int index, const QRect& rect, bool selected) const
{
    const QPalette& palette = Widget()->palette();
    painter.fillRect(rect, selected ? palette.highlight() : palette.base());
    const int bits = ItemFontType(index);
    const QImage* glyph = (bits & TRUETYPE_FONTTYPE) ? &glyphs_[0] : (bits & DEVICE_FONTTYPE) ? &glyphs_[1] : nullptr;
    const int glyphWidth = glyph ? glyph->width() : 20;
    if (glyph) painter.drawImage(rect.left() + 2, (rect.top() + rect.bottom() + 1 - glyph->height()) / 2, *glyph);
    const std::string face = Items().Get(index);
    QFont font = Widget()->font();
    if (useFonts_ && (bits & NOT_SYMBOL_FONT)) font.setFamily(ToQString(face));
    painter.setFont(font);
    painter.setPen(selected ? palette.highlightedText().color() : palette.text().color());
    painter.drawText(QRect(rect.left() + glyphWidth + 6, rect.top(), rect.width() - glyphWidth - 6, rect.height()),
                     Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, ToQString(face));
}
