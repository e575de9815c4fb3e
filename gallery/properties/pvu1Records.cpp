// The properties dialog and the main window's property records: every field
// of a kind's records into its control, and back on OK.
#include "gallery/properties/pvu1.h"

#include "gallery/records/PropertyRecords.h"
#include "gallery/mainwindow/pvu.h"
#include "gallery/records/pvutils.h"
#include "gallery/pages/pvutilsMarkup.h"
#include "gallery/text/srutils.h"
#include "gallery/text/srutilsFiles.h"
#include "platform/core/Integers.h"
#include "platform/system/System.h"
#include "widgets/FontCombos.h"

#include <QWidget>

#include <algorithm>
#include <filesystem>

namespace {

// Takes a record apart field by field. A field the record does not have (a
// short or hand-edited record) or a number that does not convert takes the
// default record's field (CompletePropertyRecord), so the dialog always
// opens; what OK writes is whole.
class FieldReader {
public:
    FieldReader(const std::string& record, int index) : rest_(CompletePropertyRecord(index, record)) {}

    // The field as stored (numbers, flags).
    std::string Raw() { return NextField(rest_); }
    // A text field; "%line" stands for "|".
    std::string Text() { return UnescapeRecordField(Raw()); }
    int Number()
    {
        int value = 0;
        ParseInteger(Raw(), value);
        return value;
    }
    bool Flag() { return FlagToBool(Raw()); }
    TColor Colour() { return static_cast<TColor>(Number()); }
    void Skip() { Raw(); }

private:
    std::string rest_;
};

// Field n of a record, read like FieldReader reads it.
int NumberField(const std::string& record, int index, int n)
{
    FieldReader reader(record, index);
    for (int i = 1; i < n; ++i) reader.Skip();
    return reader.Number();
}

std::string Flag(bool on) { return BoolToFlag(on); }
std::string Number(int value) { return std::to_string(value); }
std::string Colour(TColor value) { return std::to_string(static_cast<int>(value)); }

// The tab a page control last showed, within its tabs.
void ShowTab(TPageControl& pages, int index) { pages.SetActivePageIndex(std::clamp(index, 0, pages.PageCount() - 1)); }

// Selects the item equal to text ignoring case; no match leaves the list as it is.
void SelectItemText(TComboBox& list, const std::string& text)
{
    const int found = list.Items().IndexOf(text);
    if (found >= 0) list.SetItemIndex(found);
}

// The frame templates in the program's framepg folder, by name.
std::vector<std::string> FrameTemplates()
{
    std::vector<std::string> names;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(ProgramFolder() + "framepg", error)) {
        const std::string name = entry.path().filename().string();
        if (entry.is_regular_file(error) && MatchesMask(name, "*.htm")) names.push_back(name);
    }
    std::sort(names.begin(), names.end());
    return names;
}

// The frame fields, which only the index page's record uses; the image page's
// record holds three unused ones in their place.
void ReadFrameFields(TForm2& form, FieldReader& r, bool index)
{
    if (!index) {
        r.Skip();
        r.Skip();
        r.Skip();
        return;
    }
    form.CheckBox18->SetChecked(r.Flag());
    form.Edit5->SetText(r.Text());
    const std::string frameTemplate = r.Text();
    const std::vector<std::string> names = FrameTemplates();
    form.ComboBox11->Items().Assign(names);
    const auto found = std::find(names.begin(), names.end(), frameTemplate);
    form.ComboBox11->SetItemIndex(found != names.end() ? static_cast<int>(found - names.begin()) : 0);
}

}  // namespace

int TForm2::TransferPageProperties(TForm1& main, int kind)
{
    const TPropertyKindInfo& info = PropertyKindInfo(kind);
    Notebook1->SetPageIndex(info.Page);
    SetCaption(info.Caption);
    SetOuterSize(info.Width, info.Height);
    PlaceHelpButton(kind);
    switch (kind) {
    case pkPageIndex:
    case pkPageImage: ReadPageRecords(main, kind); break;
    case pkTextStamp: ReadTextStampRecord(main); break;
    case pkLogo: ReadLogoRecord(main); break;
    case pkFrameImage:
    case pkFrameThumb: ReadDecorationRecords(main, kind); break;
    case pkTable: ReadTableRecord(main); break;
    case pkFontIndex:
    case pkFontImage: ReadCaptionFontRecord(main, kind); break;
    case pkEditors: ReadEditorRecords(main); break;
    default: break;
    }
    return kind;
}

void TForm2::ReadPageRecords(TForm1& main, int kind)
{
    const bool index = kind == pkPageIndex;
    const int tabsRecord = index ? prCurrentPage1 : prCurrentPage2;
    ShowTab(*PageControl1, NumberField(main.GetPropertyRecord(tabsRecord), tabsRecord, CurrentPageField::PageTab));
    ReadEditWithMenu(main);
    const int recordIndex = index ? prPagePropertiesIndex : prPagePropertiesImage;
    FieldReader r(main.GetPropertyRecord(recordIndex), recordIndex);
    for (auto [check, panel] :
         {std::pair{CheckBox56, Panel28}, std::pair{CheckBox57, Panel27}, std::pair{CheckBox58, Panel26},
          std::pair{CheckBox59, Panel25}, std::pair{CheckBox60, Panel24}}) {
        check->SetChecked(r.Flag());
        panel->SetColor(r.Colour());
    }
    CheckBox62->SetChecked(r.Flag());
    CheckBox61->SetChecked(r.Flag());
    Edit50->SetText(r.Text());
    CheckBox65->SetChecked(r.Flag());
    SpinEdit20->SetValue(r.Number());
    CheckBox66->SetChecked(r.Flag());
    SpinEdit21->SetValue(r.Number());
    ComboBox30->SetText(r.Text());
    Edit3->SetText(r.Text());
    Edit4->SetText(r.Text());
    ComboBox21->SetItemIndex(r.Number());
    CheckBox17->SetChecked(r.Flag());
    SpinEdit16->SetValue(r.Number());
    ComboBox8->SetItemIndex(r.Number());
    GroupBox6->SetVisible(index);
    const QRect frames = GroupBox6->Widget()->geometry();
    bannerRow_->move(0, frames.top() + (index ? frames.height() + 9 : -1));
    ReadFrameFields(*this, r, index);
    ComboBox16->SetItemIndex(r.Number());
    SpinEdit23->SetValue(r.Number());
    CheckBox23->SetChecked(r.Flag());
    CheckBox24->SetChecked(r.Flag());
    Edit11->SetText(UnescapeRecordField(main.GetPropertyRecord(index ? prTextHeader1 : prTextHeader2)));
    Edit24->SetText(UnescapeRecordField(main.GetPropertyRecord(index ? prTextFooter1 : prTextFooter2)));
    ShowPageColourSample();
}

// The editors for the frame page's "Edit with" menu.
void TForm2::ReadEditWithMenu(TForm1& main)
{
    ListBox1->Items().Clear();
    TMenuItem* editWith[] = {MenuItem1, MenuItem2, MenuItem9};
    for (int i = 0; i < 3; ++i) {
        FieldReader editor(main.GetPropertyRecord(prEdit1 + i), prEdit1 + i);
        editWith[i]->SetCaption("Edit with " + editor.Text());
        ListBox1->Items().Add(editor.Text());
    }
}

// The sample shows the page's colours.
void TForm2::ShowPageColourSample()
{
    Panel29->SetColor(Panel28->Color());
    for (auto [sample, panel] : {std::pair{Label96, Panel27}, std::pair{Label97, Panel26}, std::pair{Label98, Panel25},
                                 std::pair{Label99, Panel24}})
        SetControlColor(*sample, panel->Color());
}

void TForm2::ReadTextStampRecord(TForm1& main)
{
    FieldReader r(main.GetPropertyRecord(prAddText), prAddText);
    TFontInfo font = Edit17->Font();
    font.Name = r.Text();
    SetFontStyleLetters(font, r.Raw());
    font.Size = r.Number();
    r.Skip();  // the size again
    font.Color = r.Colour();
    Edit17->SetFont(font);
    Edit17->SetText(r.Text());
    Panel20->SetColor(font.Color);
    ComboBox4->SetItemIndex(r.Number());
    SpinEdit3->SetValue(r.Number());
    SpinEdit5->SetValue(r.Number());
    SpinEdit13->SetValue(r.Number());
    SpinEdit9->SetValue(r.Number());
    ComboBox22->SetItemIndex(r.Number());
    ComboBox17->SetItemIndex(r.Number());
    r.Skip();  // always "0"
    for (TPanel* p : {Panel16, Panel17, Panel18, Panel19}) p->SetColor(r.Colour());
    CheckBox14->SetChecked(r.Flag());
    Edit7->SetText(r.Text());
    Panel34->SetColor(r.Colour());
    CheckBox16->SetChecked(r.Flag());
    CheckBox15->SetChecked(r.Flag());
    SpinEdit7->SetValue(r.Number());
    SpinEdit8->SetValue(r.Number());
    Notebook4->SetPageIndex(ComboBox17->ItemIndex());
}

void TForm2::ReadLogoRecord(TForm1& main)
{
    Label48->SetCaption(main.GetPropertyRecord(prLogoIFolder));
    FieldReader r(main.GetPropertyRecord(prAddLogo), prAddLogo);
    Edit18->SetText(r.Text());
    ComboBox5->SetItemIndex(r.Number());
    SpinEdit1->SetValue(r.Number());
    SpinEdit2->SetValue(r.Number());
    SpinEdit11->SetValue(r.Number());
    SpinEdit10->SetValue(r.Number());
    ComboBox20->SetItemIndex(r.Number());
    Panel21->SetColor(r.Colour());
    ComboBox12->SetItemIndex(r.Number());
}

void TForm2::ReadDecorationRecords(TForm1& main, int kind)
{
    const bool image = kind == pkFrameImage;
    const int tabsRecord = image ? prCurrentPage1 : prCurrentPage2;
    ShowTab(*PageControl3,
            NumberField(main.GetPropertyRecord(tabsRecord), tabsRecord, CurrentPageField::DecorationTab));
    const int frameIndex = image ? prAddFrameImage : prAddFrameThumb;
    FieldReader frame(main.GetPropertyRecord(frameIndex), frameIndex);
    CheckBox21->SetChecked(frame.Flag());
    edit15->SetText(frame.Text());
    SpinEdit4->SetValue(frame.Number());
    Panel22->SetColor(frame.Colour());
    SpinEdit30->SetValue(frame.Number());
    SpinEdit31->SetValue(frame.Number());

    const int maskIndex = image ? prAddMaskImage : prAddMaskThumb;
    FieldReader mask(main.GetPropertyRecord(maskIndex), maskIndex);
    CheckBox22->SetChecked(mask.Flag());
    Edit6->SetText(mask.Text());
    SpinEdit17->SetValue(mask.Number());
    SpinEdit27->SetValue(mask.Number());
    ComboBox19->SetItemIndex(mask.Number());
    Panel23->SetColor(mask.Colour());
    CheckBox20->SetChecked(mask.Flag());
    SpinEdit28->SetValue(mask.Number());
    SpinEdit29->SetValue(mask.Number());
    Edit9->SetText(mask.Text());

    const int bevelIndex = image ? prAddButtonImage : prAddButtonThumb;
    FieldReader bevel(main.GetPropertyRecord(bevelIndex), bevelIndex);
    ComboBox14->SetItemIndex(bevel.Number());
    SpinEdit18->SetValue(bevel.Number());
    SpinEdit19->SetValue(bevel.Number());
    SpinEdit22->SetValue(bevel.Number());
    Panel30->SetColor(bevel.Colour());
    Panel31->SetColor(bevel.Colour());
    CheckBox19->SetChecked(bevel.Flag());
    SpinEdit24->SetValue(bevel.Number());
    SpinEdit25->SetValue(bevel.Number());
    SpinEdit26->SetValue(bevel.Number());
    Panel32->SetColor(bevel.Colour());

    const int outlineIndex = image ? prAddOutlineI : prAddOutlineT;
    FieldReader outline(main.GetPropertyRecord(outlineIndex), outlineIndex);
    CheckBox25->SetChecked(outline.Flag());
    Edit25->SetText(outline.Text());
    SpinEdit32->SetValue(outline.Number());
    Panel35->SetColor(outline.Colour());
    SpinEdit33->SetValue(outline.Number());

    Label48->SetCaption(main.GetPropertyRecord(image ? prFrameTFolder : prFrameIFolder));
}

void TForm2::ReadTableRecord(TForm1& main)
{
    ShowTab(*PageControl2,
            NumberField(main.GetPropertyRecord(prCurrentPage1), prCurrentPage1, CurrentPageField::TableTab));
    FieldReader r(main.GetPropertyRecord(prMoreTable), prMoreTable);
    auto unit = [&r](TRadioButton* pixels, TRadioButton* percent) {
        const std::string field = r.Raw();
        pixels->SetChecked(field == "0");
        percent->SetChecked(field == "1");
    };
    CheckBox2->SetChecked(r.Flag());
    SpinEdit14->SetValue(r.Number());
    unit(RadioButton1, RadioButton2);
    CheckBox5->SetChecked(r.Flag());
    SpinEdit15->SetValue(r.Number());
    unit(RadioButton3, RadioButton4);
    ComboBox3->SetItemIndex(r.Number());
    Panel2->SetColor(r.Colour());
    Edit28->SetText(r.Text());
    Edit19->SetText(r.Text());
    Edit21->SetText(r.Text());
    CheckBox1->SetChecked(r.Flag());
    Panel4->SetColor(r.Colour());
    CheckBox3->SetChecked(r.Flag());
    Panel5->SetColor(r.Colour());
    SelectItemText(*ComboBox9, r.Text());
    SelectItemText(*ComboBox10, r.Text());
    CheckBox7->SetChecked(r.Flag());
    CheckBox11->SetChecked(r.Flag());
    Edit20->SetText(r.Text());
    ComboBox1->SetItemIndex(r.Number());
    Panel3->SetColor(r.Colour());
    Edit1->SetText(ColorToHtmlHex(static_cast<int>(Panel3->Color())));
    Edit2->SetText(r.Text());
    for (auto [check, panel] :
         {std::pair{CheckBox8, Panel8}, std::pair{CheckBox6, Panel6}, std::pair{CheckBox4, Panel7}}) {
        check->SetChecked(r.Flag());
        panel->SetColor(r.Colour());
    }
    SelectItemText(*ComboBox15, r.Text());
    SpinEdit12->SetValue(r.Number());
    SpinEdit6->SetValue(r.Number());
}

void TForm2::ReadCaptionFontRecord(TForm1& main, int kind)
{
    const int index = kind == pkFontIndex ? prCaptionFontT : prCaptionFontI;
    FieldReader r(main.GetPropertyRecord(index), index);
    // A face that is not installed is kept, so OK writes it back unchanged.
    FontComboBox1->SetFontName(r.Text());
    ComboBox2->SetItemIndex(r.Number());
    CheckBox9->SetChecked(r.Flag());
    CheckBox12->SetChecked(r.Flag());
    CheckBox10->SetChecked(r.Flag());
    Panel11->SetColor(r.Colour());
    CheckBox13->SetChecked(r.Flag());
    Panel13->SetColor(r.Colour());
}

void TForm2::ReadEditorRecords(TForm1& main)
{
    const std::pair<TEdit*, TEdit*> rows[] = {{Edit12, Edit13}, {Edit16, Edit14}, {Edit23, Edit22}};
    for (int i = 0; i < 3; ++i) {
        FieldReader r(main.GetPropertyRecord(prEdit1 + i), prEdit1 + i);
        rows[i].first->SetText(r.Text());
        rows[i].second->SetText(r.Text());
    }
}

// ---------------------------------------------------------------------------
// OK

namespace {

// The tabs the three page controls show, as their record stores them.
std::string TabsRecord(const TForm2& form)
{
    return MakePropertyRecord({Number(form.PageControl1->ActivePageIndex()),
                               Number(form.PageControl3->ActivePageIndex()),
                               Number(form.PageControl2->ActivePageIndex())});
}

}  // namespace

void TForm2::StorePageProperties(TForm1& main, int kind)
{
    switch (kind) {
    case pkPageIndex:
    case pkPageImage: StorePageRecords(main, kind); break;
    case pkTextStamp: StoreTextStampRecord(main); break;
    case pkLogo:
        main.SetPropertyRecord(prLogoIFolder, Label48->Caption());
        main.SetPropertyRecord(
            prAddLogo, MakePropertyRecord({Edit18->Text(), Number(ComboBox5->ItemIndex()), Number(SpinEdit1->Value()),
                                           Number(SpinEdit2->Value()), Number(SpinEdit11->Value()),
                                           Number(SpinEdit10->Value()), Number(ComboBox20->ItemIndex()),
                                           Colour(Panel21->Color()), Number(ComboBox12->ItemIndex())}));
        break;
    case pkFrameImage:
    case pkFrameThumb:
        main.SetPropertyRecord(kind == pkFrameImage ? prCurrentPage1 : prCurrentPage2, TabsRecord(*this));
        StoreDecorationRecords(main, kind);
        break;
    case pkTable:
        main.SetPropertyRecord(prCurrentPage1, TabsRecord(*this));
        StoreTableRecord(main);
        break;
    case pkFontIndex:
    case pkFontImage:
        main.SetPropertyRecord(
            kind == pkFontIndex ? prCaptionFontT : prCaptionFontI,
            MakePropertyRecord({FontComboBox1->Text(), Number(ComboBox2->ItemIndex()), Flag(CheckBox9->Checked()),
                                Flag(CheckBox12->Checked()), Flag(CheckBox10->Checked()), Colour(Panel11->Color()),
                                Flag(CheckBox13->Checked()), Colour(Panel13->Color())}));
        break;
    case pkEditors:
        main.SetPropertyRecord(prEdit1, MakePropertyRecord({Edit12->Text(), Edit13->Text()}));
        main.SetPropertyRecord(prEdit2, MakePropertyRecord({Edit16->Text(), Edit14->Text()}));
        main.SetPropertyRecord(prEdit3, MakePropertyRecord({Edit23->Text(), Edit22->Text()}));
        break;
    default: break;
    }
}

void TForm2::StoreTextStampRecord(TForm1& main)
{
    const TFontInfo font = Edit17->Font();
    std::vector<std::string> fields{font.Name,
                                    FontStyleLetters(font),
                                    Number(font.Size),
                                    Number(font.Size),
                                    Colour(font.Color),
                                    Edit17->Text(),
                                    Number(ComboBox4->ItemIndex()),
                                    Number(SpinEdit3->Value()),
                                    Number(SpinEdit5->Value()),
                                    Number(SpinEdit13->Value()),
                                    Number(SpinEdit9->Value()),
                                    Number(ComboBox22->ItemIndex()),
                                    Number(ComboBox17->ItemIndex()),
                                    "0"};
    for (TPanel* p : {Panel16, Panel17, Panel18, Panel19}) fields.push_back(Colour(p->Color()));
    for (const std::string& f :
         {Flag(CheckBox14->Checked()), Edit7->Text(), Colour(Panel34->Color()), Flag(CheckBox16->Checked()),
          Flag(CheckBox15->Checked()), Number(SpinEdit7->Value()), Number(SpinEdit8->Value())})
        fields.push_back(f);
    main.SetPropertyRecord(prAddText, MakePropertyRecord(fields) + "255|0|255|255|");
}

void TForm2::StoreTableRecord(TForm1& main)
{
    auto unit = [](TRadioButton* percent) { return percent->Checked() ? "1" : "0"; };
    std::vector<std::string> fields{Flag(CheckBox2->Checked()),
                                    Number(SpinEdit14->Value()),
                                    unit(RadioButton2),
                                    Flag(CheckBox5->Checked()),
                                    Number(SpinEdit15->Value()),
                                    unit(RadioButton4),
                                    Number(ComboBox3->ItemIndex()),
                                    Colour(Panel2->Color()),
                                    Edit28->Text(),
                                    Edit19->Text(),
                                    Edit21->Text(),
                                    Flag(CheckBox1->Checked()),
                                    Colour(Panel4->Color()),
                                    Flag(CheckBox3->Checked()),
                                    Colour(Panel5->Color()),
                                    ComboBox9->Text(),
                                    ComboBox10->Text(),
                                    Flag(CheckBox7->Checked()),
                                    Flag(CheckBox11->Checked()),
                                    Edit20->Text(),
                                    Number(ComboBox1->ItemIndex()),
                                    Colour(Panel3->Color()),
                                    Edit2->Text(),
                                    Flag(CheckBox8->Checked()),
                                    Colour(Panel8->Color()),
                                    Flag(CheckBox6->Checked()),
                                    Colour(Panel6->Color()),
                                    Flag(CheckBox4->Checked()),
                                    Colour(Panel7->Color()),
                                    ComboBox15->Text(),
                                    Number(SpinEdit12->Value()),
                                    Number(SpinEdit6->Value())};
    main.SetPropertyRecord(prMoreTable, MakePropertyRecord(fields));
}

void TForm2::StorePageRecords(TForm1& main, int kind)
{
    const bool index = kind == pkPageIndex;
    main.SetPropertyRecord(index ? prCurrentPage1 : prCurrentPage2, TabsRecord(*this));
    main.SetPropertyRecord(index ? prTextHeader1 : prTextHeader2, EscapeRecordField(Trim(Edit11->Text())));
    main.SetPropertyRecord(index ? prTextFooter1 : prTextFooter2, EscapeRecordField(Trim(Edit24->Text())));
    std::vector<std::string> fields;
    for (auto [check, panel] :
         {std::pair{CheckBox56, Panel28}, std::pair{CheckBox57, Panel27}, std::pair{CheckBox58, Panel26},
          std::pair{CheckBox59, Panel25}, std::pair{CheckBox60, Panel24}}) {
        fields.push_back(Flag(check->Checked()));
        fields.push_back(Colour(panel->Color()));
    }
    for (const std::string& f :
         {Flag(CheckBox62->Checked()), Flag(CheckBox61->Checked()), Edit50->Text(), Flag(CheckBox65->Checked()),
          Number(SpinEdit20->Value()), Flag(CheckBox66->Checked()), Number(SpinEdit21->Value()), ComboBox30->Text(),
          Edit3->Text(), Edit4->Text(), Number(ComboBox21->ItemIndex()), Flag(CheckBox17->Checked()),
          Number(SpinEdit16->Value()), Number(ComboBox8->ItemIndex())})
        fields.push_back(f);
    if (index) {
        fields.push_back(Flag(CheckBox18->Checked()));
        fields.push_back(Edit5->Text());
        fields.push_back(ComboBox11->Text());
    } else {
        fields.insert(fields.end(), 3, "");
    }
    for (const std::string& f : {Number(ComboBox16->ItemIndex()), Number(SpinEdit23->Value()),
                                 Flag(CheckBox23->Checked()), Flag(CheckBox24->Checked())})
        fields.push_back(f);
    main.SetPropertyRecord(index ? prPagePropertiesIndex : prPagePropertiesImage, MakePropertyRecord(fields));
}

void TForm2::StoreDecorationRecords(TForm1& main, int kind)
{
    const bool image = kind == pkFrameImage;
    main.SetPropertyRecord(
        image ? prAddFrameImage : prAddFrameThumb,
        MakePropertyRecord({Flag(CheckBox21->Checked()), edit15->Text(), Number(SpinEdit4->Value()),
                            Colour(Panel22->Color()), Number(SpinEdit30->Value()), Number(SpinEdit31->Value())}));
    // The mask's background is always a colour.
    main.SetPropertyRecord(
        image ? prAddMaskImage : prAddMaskThumb,
        MakePropertyRecord({Flag(CheckBox22->Checked()), Edit6->Text(), Number(SpinEdit17->Value()),
                            Number(SpinEdit27->Value()), "0", Colour(Panel23->Color()), Flag(CheckBox20->Checked()),
                            Number(SpinEdit28->Value()), Number(SpinEdit29->Value()), Edit9->Text()}));
    main.SetPropertyRecord(
        image ? prAddButtonImage : prAddButtonThumb,
        MakePropertyRecord({Number(ComboBox14->ItemIndex()), Number(SpinEdit18->Value()), Number(SpinEdit19->Value()),
                            Number(SpinEdit22->Value()), Colour(Panel30->Color()), Colour(Panel31->Color()),
                            Flag(CheckBox19->Checked()), Number(SpinEdit24->Value()), Number(SpinEdit25->Value()),
                            Number(SpinEdit26->Value()), Colour(Panel32->Color())}));
    main.SetPropertyRecord(image ? prAddOutlineI : prAddOutlineT,
                           MakePropertyRecord({Flag(CheckBox25->Checked()), Edit25->Text(), Number(SpinEdit32->Value()),
                                               Colour(Panel35->Color()), Number(SpinEdit33->Value())}));
    main.SetPropertyRecord(image ? prFrameTFolder : prFrameIFolder, Label48->Caption());
    main.SetPropertyRecord(image ? prNothing1 : prNothing2, "");
}
