// What a build writes beside the pictures: the button pictures the templates
// show, the background pictures of the page properties, the frame page and
// the list of produced files.
#include "gallery/mainwindow/pvu.h"

#include "gallery/records/PropertyRecords.h"
#include "gallery/pictures/pvutilsPictures.h"
#include "gallery/records/pvutils.h"
#include "gallery/pages/pvuPagesNames.h"
#include "gallery/pages/pvutilsMarkup.h"
#include "gallery/text/srutils.h"
#include "gallery/text/srutilsFiles.h"
#include "platform/strings/StringList.h"
#include "platform/system/System.h"

#include <algorithm>
#include <set>

namespace {

// The file name of a per-item result line.
std::string ResultName(const std::string& line) { return GetField(1, line, ResultField::Name); }

// The picture a template line shows: the "src" of its first "<img" tag, else
// the "background" of its first "<body" tag; "" when it shows none.
std::string TemplateLinePicture(const std::string& line)
{
    std::string value = line;
    if (line.find("<img") != std::string::npos)
        GetTagAttribute(value, "<img", "src");
    else if (line.find("<body") != std::string::npos)
        GetTagAttribute(value, "<body", "background");
    return value == line ? std::string() : value;
}

// Names once each, in the order first added, empty names left out.
class TUniqueNames {
public:
    void Add(const std::string& name)
    {
        if (!name.empty() && listed_.insert(name).second) list_.Add(name);
    }
    TStringList& List() { return list_; }

private:
    TStringList list_;
    std::set<std::string> listed_;
};

// The image copies' and thumbnails' names of the per-item results, in item order.
void AddResultNames(TUniqueNames& names, const TListBox& results, bool images, bool thumbnails)
{
    const int lines = results.Items().Count();
    for (int k = 0; k + 1 < lines; k += 2) {
        if (images) names.Add(ResultName(results.Items()[k]));
        if (thumbnails) names.Add(ResultName(results.Items()[k + 1]));
    }
}

}  // namespace

std::vector<std::string> TForm1::PageFolders(int kind) const
{
    const TListBox& pageNames = kind == 0 ? *ListBox3 : *ListBox4;
    std::vector<std::string> folders;
    for (int k = 0; k < pageNames.Items().Count(); ++k) {
        const std::string folder = ExtractFilePath(pageNames.Items()[k]);
        if (std::find(folders.begin(), folders.end(), folder) == folders.end()) folders.push_back(folder);
    }
    if (folders.empty()) folders.push_back(std::string());
    return folders;
}

void TForm1::NoteCopiedPicture(const std::string& relativeName)
{
    if (std::find(copiedPictures_.begin(), copiedPictures_.end(), relativeName) == copiedPictures_.end())
        copiedPictures_.push_back(relativeName);
}

void TForm1::CopyTemplatePictures(const std::string& templateName, const std::string& destinationFolder,
                                  const std::vector<std::string>& relativeFolders)
{
    const std::string path = ProgramFolder() + ToFileSystemPath(templateName);
    if (!FileExists(path)) return;
    TStringList lines;
    lines.LoadFromFile(path);
    for (const std::string& line : lines) {
        // The page keeps the template's own text for the link, so the copy
        // keeps it too (no case change) and stays inside the destination.
        const std::string relative = ContainedRelativePath(TemplateLinePicture(line));
        const std::string source = ProgramFolder() + "buttons/" + relative;
        // Missing pictures are skipped.
        if (!relative.empty() && FileExists(source))
            CopyButtonPicture(source, destinationFolder, relative, relativeFolders);
    }
}

void TForm1::CopyButtonPicture(const std::string& source, const std::string& destinationFolder,
                               const std::string& relative, const std::vector<std::string>& relativeFolders)
{
    for (const std::string& folder : relativeFolders) {
        const std::string target = destinationFolder + folder + relative;
        ForceDirectories(ExtractFilePath(target));
        if (ShellFileOperation(0, source, target)) NoteCopiedPicture(folder + relative);
    }
}

void TForm1::CopyBackgroundPictures(const std::string& destinationFolder)
{
    auto copyInto = [&](const std::string& file) {
        // Copied under its name on disk, the name BackgroundAddress links.
        const std::string source = ToFileSystemPath(StoredFileName("", file));
        if (source.empty() || !FileExists(source)) return;
        if (ShellFileOperation(0, source, destinationFolder + ExtractFileName(source)))
            NoteCopiedPicture(ExtractFileName(source));
    };
    for (int record : {prPagePropertiesIndex, prPagePropertiesImage}) {
        const std::string text = CompletedPropertyRecord(record);
        if (FieldIsOn(text, PageField::BackgroundImageOn))
            copyInto(RecordText(0, text, PageField::BackgroundImageFile));
    }
    const std::string table = CompletedPropertyRecord(prMoreTable);
    if (FieldEquals(table, TableField::Background, tbPicture))
        copyInto(RecordText(0, table, TableField::BackgroundFile));
    if (FieldEquals(table, TableField::CellBackground, tbPicture))
        copyInto(RecordText(0, table, TableField::CellBackgroundFile));
}

std::string TForm1::WriteFramePage(const std::string& destinationFolder, const std::string& firstIndexPage)
{
    const std::string record = CompletedPropertyRecord(prPagePropertiesIndex);
    const std::string templatePath =
        ProgramFolder() + "framepg/" + ToFileSystemPath(RecordText(0, record, PageField::FrameTemplate));
    const std::string outputName = ContainedRelativePath(RecordText(0, record, PageField::FramePageFile));
    if (outputName.empty() || !FileExists(templatePath)) return std::string();

    // The frames point at the pages this build wrote, under the names they were written with.
    std::string indexAddress = firstIndexPage;
    if (indexAddress.empty()) indexAddress = ContainedRelativePath(ConvertCase(ComboBox10->ItemIndex(), Edit2->Text()));
    const std::string imageAddress = UrlFromName(FrameImageAddress());

    TStringList lines;
    lines.LoadFromFile(templatePath);
    for (int j = 0; j < lines.Count(); ++j) {
        std::string line = lines[j];
        line = ReplaceText(line, "%frameindex", UrlFromName(indexAddress), true, true);
        line = ReplaceText(line, "%frameimage", imageAddress, true, true);
        ReplaceVariable(line, "%title", "", Edit3->Text());
        lines.Put(j, line);
    }
    const std::string target = destinationFolder + outputName;
    ForceDirectories(ExtractFilePath(target));
    lines.SaveToFile(target);
    return outputName;
}

std::string TForm1::FrameImageAddress() const
{
    const bool imagePageHasName = !ExtractFileName(ToFileSystemPath(Edit4->Text())).empty();
    const int linkKind = ComboBox4->ItemIndex();
    if (linkKind == hlImagePage && ListBox4->Items().Count() > 0) return ListBox4->Items()[0];
    if (imagePageHasName) return Edit4->Text();
    if (linkKind == hlOriginalImage)
        return ListBox2->Items().Count() > 0
                   ? ResultName(ListBox2->Items()[0])
                   : OutputPictureName(ComboBox8->ItemIndex() == 1 ? okGif : okJpeg, Edit9->Text());
    if (linkKind == hlImagePage && ListView1->Count() > 0)
        return Edit4->Text() + page_writer::ImagePageStem(*this, ListView1->Caption(0)) + ".htm";
    return Edit4->Text();
}

// Every file this build wrote or copied into the destination, once each. The
// upload sends the list from its last line to its first, so what a page shows
// comes after the page: the frame page first, then the index and image pages,
// the image copies and thumbnails, and last the button and background
// pictures the pages use.
int TForm1::WriteGeneratedFilesList(TBuildMode mode, bool linksImages, const std::string& framePage)
{
    TUniqueNames names;
    names.Add(framePage);
    for (int k = 0; k < ListBox3->Items().Count(); ++k) names.Add(ListBox3->Items()[k]);
    for (int k = 0; k < ListBox4->Items().Count(); ++k) names.Add(ListBox4->Items()[k]);
    // Image lines are the even lines of the per-item results, thumbnail lines the odd ones.
    const bool pictures = mode != bmHtml;
    AddResultNames(names, *ListBox2, pictures && mode != bmThumbnails && linksImages, pictures && mode != bmImages);
    for (const std::string& picture : copiedPictures_) names.Add(picture);
    // The upload window reads the list from the same folder.
    names.List().SaveToFile(WritableFolder() + "pftp.bak");
    return names.List().Count();
}
