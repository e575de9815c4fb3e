// The upload window's log and status: the log lines, the status bar, the
// totals above the log, and the client's events that only report.

#include "gallery/windows/pvftp1.h"

#include "gallery/windows/pvftp1Internal.h"
#include "gallery/records/pvutils.h"
#include "gallery/text/srutils.h"
#include "gallery/text/srutilsFiles.h"
#include "platform/gui/Gui.h"

#include <QPlainTextEdit>

namespace upload_window_detail {

std::string CountText(const std::string& pattern, std::int64_t n)
{
    std::string out;
    FormatCount(1, pattern, n, out);
    return out;
}

}  // namespace upload_window_detail

using upload_window_detail::CountText;
using upload_window_detail::MaxLogLines;

void TForm5::UpdateTotals()
{
    std::int64_t total = 0;
    const std::string base = NormalizeFolderPath(Label1->Caption());
    for (const auto& line : ListBox2->Items().ToVector()) total += FileSizeOf(base + line);
    Panel1->SetCaption(CountText("Total Size: %s Kb", total / 1024) + " / " + CountText("%s bytes", total));
}

void TForm5::SetStatus(int panel, const std::string& text) { StatusBar1->SetPanelText(panel, text); }

void TForm5::AddLog(const std::string& line)
{
    if (log_.size() >= MaxLogLines) log_.erase(log_.begin(), log_.begin() + static_cast<long>(MaxLogLines / 10));
    log_.push_back(line);
    // Appended straight to the view: rewriting the whole memo per line would
    // make a long upload quadratic.
    if (auto* text = qobject_cast<QPlainTextEdit*>(Memo1->Widget())) text->appendPlainText(ToQString(line));
}

void TForm5::FtpClient1SessionConnected(TCustomFtpClient*, std::uint16_t Error)
{
    SetStatus(0, "Connected (" + std::to_string(Error) + ")");
}

void TForm5::FtpClient1SessionClosed(TCustomFtpClient*, std::uint16_t) { SetStatus(0, "Disconnected"); }

void TForm5::FtpClient1Progress(TCustomFtpClient*, std::int64_t Count, bool&)
{
    SetStatus(0, CountText("Files Left: %s", FilesLeft) + CountText("  Transfer: %s bytes", Count));
}

void TForm5::FtpClient1DisplayFile(TCustomFtpClient*, std::string& Msg) { AddLog(Msg); }
