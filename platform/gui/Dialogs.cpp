#include "platform/gui/Gui.h"
#include "platform/core/Split.h"

#include <QApplication>
#include <QColorDialog>
#include <QFileDialog>
#include <QFontDialog>
#include <QMessageBox>
#include <QScreen>

#include <algorithm>
#include <set>

#include <cstdio>

namespace {
TFileDialogHook fileHook;
TFolderDialogHook folderHook;
TMessageHook messageHook;

// With no screen to show a box on, a modal dialog would wait for ever.
bool Headless()
{
    const QString platform = QGuiApplication::platformName();
    return platform == "offscreen" || platform == "minimal";
}

// The masks of a text, cut at ';' and blanks.
std::set<std::string> MaskSet(const std::string& text)
{
    std::set<std::string> masks;
    std::string mask;
    for (char c : text + ";") {
        if (c != ';' && c != ' ') {
            mask += c;
        } else if (!mask.empty()) {
            masks.insert(mask);
            mask.clear();
        }
    }
    return masks;
}

// "desc|mask;mask|desc|mask" into Qt's "desc (mask mask);;desc (mask)".
QString QtFilter(const std::string& filter)
{
    const std::vector<std::string> parts = SplitText(filter, '|');
    QStringList out;
    for (std::size_t i = 0; i + 1 < parts.size(); i += 2) {
        std::string masks = parts[i + 1];
        for (char& c : masks)
            if (c == ';') c = ' ';
        // A description that already shows its masks ("Items List (*.pvi)"), in
        // any order, shows them once, in the blank-separated form Qt reads.
        std::string description = parts[i];
        const std::size_t open = description.rfind('(');
        if (open != std::string::npos && description.back() == ')' &&
            MaskSet(description.substr(open + 1, description.size() - open - 2)) == MaskSet(parts[i + 1])) {
            description.resize(open);
            while (!description.empty() && description.back() == ' ') description.pop_back();
        }
        out << ToQString(description + " (" + masks + ")");
    }
    return out.join(";;");
}
}  // namespace

void SetFileDialogHook(TFileDialogHook hook) { fileHook = std::move(hook); }
void SetFolderDialogHook(TFolderDialogHook hook) { folderHook = std::move(hook); }
void SetMessageHook(TMessageHook hook) { messageHook = std::move(hook); }

namespace {
TColorDialogHook colorHook;
TFontDialogHook fontHook;
}  // namespace

void SetColorDialogHook(TColorDialogHook hook) { colorHook = std::move(hook); }
void SetFontDialogHook(TFontDialogHook hook) { fontHook = std::move(hook); }

bool ChooseColorDialog(TColor& color)
{
    if (colorHook) return colorHook(color);
    if (Headless()) return false;
    const QColor start(RedOf(color), GreenOf(color), BlueOf(color));
    const QColor chosen = QColorDialog::getColor(start, QApplication::activeWindow());
    if (!chosen.isValid()) return false;
    color = RGBColor(std::uint8_t(chosen.red()), std::uint8_t(chosen.green()), std::uint8_t(chosen.blue()));
    return true;
}

bool ChooseFontDialog(TFontInfo& font)
{
    if (fontHook) return fontHook(font);
    if (Headless()) return false;
    QFont start(ToQString(font.Name), font.Size > 0 ? font.Size : 9);
    start.setBold(font.Bold);
    start.setItalic(font.Italic);
    start.setUnderline(font.Underline);
    start.setStrikeOut(font.StrikeOut);
    bool ok = false;
    const QFont chosen = QFontDialog::getFont(&ok, start, QApplication::activeWindow());
    if (!ok) return false;
    font.Name = FromQString(chosen.family());
    font.Size = chosen.pointSize();
    font.Bold = chosen.bold();
    font.Italic = chosen.italic();
    font.Underline = chosen.underline();
    font.StrikeOut = chosen.strikeOut();
    return true;
}

TFileDialog::TFileDialog(TComponent* owner, std::string name, TFileDialogKind kind)
    : TComponent(owner, std::move(name)), kind_(kind)
{
}

bool TFileDialog::Execute()
{
    TFileDialogRequest request;
    request.Kind = kind_;
    request.Title = Title;
    request.Filter = Filter;
    request.DefaultExt = DefaultExt;
    request.InitialDir = InitialDir;
    request.MultiSelect = MultiSelect;
    request.FileName = FileName;
    bool accepted = false;
    if (fileHook) {
        accepted = fileHook(request);
    } else if (Headless()) {
        std::fprintf(stderr, "file dialog \"%s\" cancelled: no display\n", Title.c_str());
    } else {
        const std::unique_ptr<QFileDialog> dialog = MakeFileDialog(request);
        if (dialog->exec() == QDialog::Accepted) {
            accepted = true;
            request.Files.clear();
            for (const QString& f : dialog->selectedFiles()) request.Files.push_back(FromQString(f));
            request.FileName = request.Files.empty() ? std::string() : request.Files.front();
        }
    }
    if (!accepted) return false;
    // The chosen files decide the name; a hook may give only the name.
    if (!request.Files.empty())
        request.FileName = request.Files.front();
    else if (!request.FileName.empty())
        request.Files.push_back(request.FileName);
    FileName = request.FileName;
    Files = request.Files;
    return !FileName.empty();
}

std::unique_ptr<QFileDialog> MakeFileDialog(const TFileDialogRequest& request)
{
    auto dialog = std::make_unique<QFileDialog>(QApplication::activeWindow(), ToQString(request.Title),
                                                ToQString(request.InitialDir), QtFilter(request.Filter));
    dialog->setDefaultSuffix(ToQString(request.DefaultExt));
    if (request.Kind == TFileDialogKind::Save) {
        dialog->setAcceptMode(QFileDialog::AcceptSave);
        dialog->setFileMode(QFileDialog::AnyFile);
    } else {
        dialog->setAcceptMode(QFileDialog::AcceptOpen);
        dialog->setFileMode(request.MultiSelect ? QFileDialog::ExistingFiles : QFileDialog::ExistingFile);
    }
    if (!request.FileName.empty()) dialog->selectFile(ToQString(request.FileName));
    return dialog;
}

std::unique_ptr<QFileDialog> MakeFolderBrowser(const std::string& title, const std::string& startFolder)
{
    // The title may hold a line break (a caption over a second line); a window
    // title has one line, so each break becomes one space.
    std::string caption;
    for (std::size_t i = 0; i < title.size(); ++i) {
        const char c = title[i];
        if (c != '\r' && c != '\n') {
            caption += c;
            continue;
        }
        if (c == '\r' && i + 1 < title.size() && title[i + 1] == '\n') ++i;
        if (!caption.empty() && caption.back() != ' ') caption += ' ';
    }
    auto dialog =
        std::make_unique<QFileDialog>(QApplication::activeWindow(), ToQString(caption), ToQString(startFolder));
    dialog->setFileMode(QFileDialog::Directory);
    dialog->setOption(QFileDialog::ShowDirsOnly, true);
    return dialog;
}

bool BrowseForFolderDialog(const std::string& title, const std::string& startFolder, std::string& chosen)
{
    TFolderRequest request{title, startFolder, {}};
    bool accepted = false;
    if (folderHook) {
        accepted = folderHook(request);
    } else if (Headless()) {
        std::fprintf(stderr, "folder browser \"%s\" cancelled: no display\n", title.c_str());
    } else {
        const std::unique_ptr<QFileDialog> dialog = MakeFolderBrowser(title, startFolder);
        const QString dir = dialog->exec() == QDialog::Accepted ? dialog->selectedFiles().value(0) : QString();
        if (!dir.isEmpty()) {
            accepted = true;
            request.Chosen = FromQString(dir);
        }
    }
    if (!accepted || request.Chosen.empty()) return false;
    chosen = request.Chosen;
    return true;
}

std::unique_ptr<QMessageBox> MakeMessageBox(const std::string& caption, const std::string& text, TMsgDlgType type,
                                            int buttons)
{
    auto box = std::make_unique<QMessageBox>(QApplication::activeWindow());
    box->setWindowTitle(ToQString(caption));
    // A box taller than the screen hides its buttons: the lines that fit in
    // half the screen's height stand, the rest are counted.
    QStringList lines = ToQString(text).replace("\r\n", "\n").split('\n');
    const QScreen* screen = QGuiApplication::primaryScreen();
    const int lineHeight = std::max(1, box->fontMetrics().lineSpacing());
    const int room = screen ? std::max(4, screen->availableGeometry().height() / 2 / lineHeight) : 20;
    if (lines.size() > room) {
        const auto more = lines.size() - (room - 1);
        lines = lines.mid(0, room - 1);
        lines << QString("and %1 more").arg(more);
    }
    // So is one wider than the screen: a line that cannot wrap (a long path)
    // keeps its beginning and its end.
    const int width = screen ? screen->availableGeometry().width() * 3 / 4 : 800;
    for (QString& line : lines) line = box->fontMetrics().elidedText(line, Qt::ElideMiddle, width);
    box->setText(lines.join('\n'));
    switch (type) {
    case TMsgDlgType::Warning: box->setIcon(QMessageBox::Warning); break;
    case TMsgDlgType::Error: box->setIcon(QMessageBox::Critical); break;
    case TMsgDlgType::Information: box->setIcon(QMessageBox::Information); break;
    case TMsgDlgType::Confirmation: box->setIcon(QMessageBox::Question); break;
    default: break;
    }
    QMessageBox::StandardButtons set;
    if (buttons & TMsgButtons::Yes) set |= QMessageBox::Yes;
    if (buttons & TMsgButtons::No) set |= QMessageBox::No;
    if (buttons & TMsgButtons::OK) set |= QMessageBox::Ok;
    if (buttons & TMsgButtons::Cancel) set |= QMessageBox::Cancel;
    if (!set) set = QMessageBox::Ok;
    box->setStandardButtons(set);
    return box;
}

int MessageDlg(const std::string& caption, const std::string& text, TMsgDlgType type, int buttons)
{
    TMessageRequest request{caption, text, type, buttons};
    if (messageHook) return messageHook(request);
    if (Headless()) {
        // Nobody can answer: take the answer that changes nothing.
        std::fprintf(stderr, "[%s] %s\n", caption.c_str(), text.c_str());
        if (buttons & TMsgButtons::OK) return TModal::Ok;
        if (buttons & TMsgButtons::No) return TModal::No;
        if (buttons & TMsgButtons::Cancel) return TModal::Cancel;
        return TModal::Yes;
    }
    const std::unique_ptr<QMessageBox> box = MakeMessageBox(caption, text, type, buttons);
    switch (box->exec()) {
    case QMessageBox::Yes: return TModal::Yes;
    case QMessageBox::No: return TModal::No;
    case QMessageBox::Ok: return TModal::Ok;
    default: return TModal::Cancel;
    }
}
