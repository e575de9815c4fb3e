// The build: "Create All", "Create Thumbnail", "Create Image" and "Create
// HTML" run through one handler; the Stop button ends a build between items.
#include "gallery/pvuBuild.h"

#include "gallery/PropertyRecords.h"
#include "gallery/pvu.h"
#include "gallery/pvutils.h"
#include "gallery/pvutilsMarkup.h"
#include "gallery/pvutilsPictures.h"
#include "gallery/pvutilsSourceCache.h"
#include "gallery/srutils.h"
#include "platform/core/Exception.h"
#include "platform/strings/StringList.h"
#include "platform/system/System.h"

#include <algorithm>
#include <filesystem>
#include <memory>
#include <optional>
#include <set>
#include <system_error>
#include <vector>

#include <malloc.h>

namespace fs = std::filesystem;

// ---------------------------------------------------------------------------
// Path helpers

std::string CanonicalFolderPath(const std::string& folder)
{
    std::error_code ec;
    fs::path path = fs::absolute(fs::path(ToFileSystemPath(folder)), ec);
    if (ec) path = fs::path(ToFileSystemPath(folder));
    // weakly_canonical resolves the longest existing prefix through the file
    // system (links included) and only then normalises the rest by text.
    fs::path canonical = fs::weakly_canonical(path, ec);
    if (ec) canonical = path.lexically_normal();
    std::string text = canonical.string();
    while (text.size() > 1 && text.back() == '/') text.pop_back();
    return text.empty() ? "/" : text;
}

bool FolderLiesWithin(const std::string& folder, const std::string& container)
{
    const std::string inner = AsciiLower(CanonicalFolderPath(folder));
    const std::string outer = AsciiLower(CanonicalFolderPath(container));
    if (outer == "/") return true;
    if (inner == outer) return true;
    return inner.size() > outer.size() && inner.compare(0, outer.size(), outer) == 0 && inner[outer.size()] == '/';
}

std::string SafeOutputName(const std::string& name)
{
    const std::string slashed = ToFileSystemPath(name);
    std::string result;
    std::size_t start = 0;
    while (start <= slashed.size()) {
        std::size_t end = slashed.find('/', start);
        if (end == std::string::npos) end = slashed.size();
        const std::string segment = slashed.substr(start, end - start);
        if (!segment.empty() && segment != "." && segment != "..") {
            if (!result.empty()) result += '/';
            result += segment;
        }
        start = end + 1;
    }
    return result;
}

namespace {

// Width, height and (when asked for) the colour count of a picture.
void PictureSize(const TRasterDIB& picture, int& width, int& height, int* colours)
{
    width = picture.Width();
    height = picture.AbsHeight;
    if (colours) *colours = picture.CountColors();
}

std::string TargetFileName(int mode, const std::string& pattern, const std::string& defaultName, int number,
                           int numbering, const std::string& templ)
{
    std::string result;
    MakeTargetFileName(mode, pattern, defaultName, result, number, numbering, templ);
    return result;
}

}  // namespace

void MeasurePictureFile(const std::string& fileName, int& width, int& height, int* colours)
{
    if (!FileExists(fileName)) return;
    TRasterDIB picture;
    LoadImageFile(picture, fileName);
    PictureSize(picture, width, height, colours);
}

namespace {

// glibc maps every allocation above its mmap threshold (32 MiB at most) fresh
// and faults it in page by page, so each 12-megapixel buffer (36 MiB) of every
// load and copy would cost its page faults again. During a build large buffers
// come from the heap and are reused; afterwards the defaults return and the
// heap gives its free memory back.
class LargeBufferReuse {
public:
    LargeBufferReuse()
    {
        mallopt(M_MMAP_MAX, 0);
        mallopt(M_TRIM_THRESHOLD, 1 << 30);
    }
    ~LargeBufferReuse()
    {
        mallopt(M_MMAP_MAX, 65536);  // glibc's defaults
        mallopt(M_TRIM_THRESHOLD, 128 * 1024);
        malloc_trim(0);
    }
    LargeBufferReuse(const LargeBufferReuse&) = delete;
    LargeBufferReuse& operator=(const LargeBufferReuse&) = delete;
};

void ProcessPendingMessages()
{
    if (Application) Application->ProcessMessages();
}

std::string ListLineFirstField(const std::string& line)
{
    const std::size_t bar = line.find('|');
    return bar == std::string::npos ? line : line.substr(0, bar);
}

std::string ResultLine(const std::string& name, int width, int height, int colours)
{
    // Plain integers: the page writer puts these into width and height attributes.
    return name + "|" + std::to_string(width) + "|" + std::to_string(height) + "|" + std::to_string(colours);
}

// Removes a picture that must not stay: one about to be replaced (so a write
// that fails cannot leave an older picture looking like this build's result),
// or one of an item that left the list.
void RemoveStaleFile(const std::string& path)
{
    std::error_code ec;
    fs::remove(fs::path(path), ec);
}

}  // namespace

// ---------------------------------------------------------------------------
// Validation

bool TForm1::CheckCaptionVariable(int kind)
{
    TStringList lines;
    // A missing caption list raises the list's file error, shown by the message loop.
    lines.LoadFromFile(ProgramFolder() + (kind == 0 ? "pvcapt.pv" : "pvcapi.pv"));
    int index = (kind == 0 ? ComboBox9 : ComboBox14)->ItemIndex();
    if (index < 0 || index >= lines.Count()) index = 0;
    if (lines.Count() == 0) return false;
    return AsciiLower(lines[index]).find("%file") != std::string::npos;
}

bool TForm1::ValidateSetting(TValidationKind kind, const std::string& text, const std::string& second,
                             const std::string& message)
{
    std::string shown;
    switch (kind) {
    case vkForbiddenCharacters:
        for (char forbidden : second)
            if (text.find(forbidden) != std::string::npos) {
                shown = std::string("Invalid character:") + forbidden + " " + message;
                break;
            }
        break;
    case vkNotEmpty:
        if (text == second) shown = message;
        break;
    case vkIndexCaptionVariable:
    case vkImageCaptionVariable:
        if (!CheckCaptionVariable(kind == vkIndexCaptionVariable ? 0 : 1)) shown = message;
        break;
    case vkTemplateHoldsText:
        if (!FileContainsText(ProgramFolder() + ToFileSystemPath(text), second)) shown = message;
        break;
    default: break;
    }
    if (shown.empty()) return false;
    MessageDlgCentered("Invalid Settings", shown, mtInformation, mbOK);
    return true;
}

// ---------------------------------------------------------------------------
// Window state during a build

void TForm1::ShowBuildState(int progressMax)
{
    ProgressBar1->SetMax(progressMax);
    ProgressBar1->SetPosition(0);
    ProgressBar1->SetVisible(true);
    PageControl1->SetVisible(false);
    ToolBar1->SetEnabled(false);
    Label34->SetVisible(true);
    Button14->SetVisible(true);
}

void TForm1::RestoreAfterBuild()
{
    EnableMainUI(1);
    Label34->SetCaption("");
    Label34->SetVisible(false);
    ProgressBar1->SetVisible(false);
    ProgressBar1->SetPosition(0);
    PageControl1->SetVisible(true);
    ToolBar1->SetEnabled(true);
    Button14->SetVisible(false);
}

void TForm1::Button14Click(TComponent*)
{
    StopFlag = 1;
    RestoreAfterBuild();
}

// ---------------------------------------------------------------------------
// The build

namespace {

// Restores the window however the build ends: normally, by Stop, or by an
// error that goes on to the message loop's box.
class BuildStateGuard {
public:
    explicit BuildStateGuard(TForm1& form, bool& running) : form_(form), running_(running) { running_ = true; }
    ~BuildStateGuard()
    {
        running_ = false;
        try {
            form_.RestoreAfterBuild();
            form_.UpdateControls();
        } catch (...) {
            // Restoring must not hide the error that is already on its way.
        }
    }
    BuildStateGuard(const BuildStateGuard&) = delete;
    BuildStateGuard& operator=(const BuildStateGuard&) = delete;

private:
    TForm1& form_;
    bool& running_;
};

}  // namespace

std::string TForm1::ImageOutputName(const std::string& fullPath, int number) const
{
    std::string name = TargetFileName(0, Edit9->Text(), fullPath, number, 2, "");
    name = AddDefaultExt(ComboBox8->ItemIndex() == 1 ? deGif : deJpg, name);
    return SafeOutputName(ConvertCase(ComboBox10->ItemIndex(), name));
}

std::string TForm1::ThumbnailOutputName(const std::string& fullPath, int number) const
{
    std::string name;
    const std::string pattern = Edit5->Text();
    if (pattern.find('*') != std::string::npos)
        name = TargetFileName(1, Edit9->Text(), fullPath, number, 2, pattern);
    else
        name = TargetFileName(0, pattern, fullPath, number, 2, "");
    name = AddDefaultExt(ComboBox7->ItemIndex() == 1 ? deGif : deJpg, name);
    return SafeOutputName(ConvertCase(ComboBox10->ItemIndex(), name));
}

bool TForm1::ValidateBuildSettings()
{
    if (ValidateSetting(vkForbiddenCharacters, Edit2->Text(), ":\\/", "(Index name)")) return false;
    if (ValidateSetting(vkForbiddenCharacters, Edit4->Text(), ":/", "(Image page name)")) return false;
    if (ValidateSetting(vkForbiddenCharacters, Edit5->Text(), ":/", "(Thumbnail path+name), it must \\")) return false;
    if (ValidateSetting(vkForbiddenCharacters, Edit9->Text(), ":/", "(Image path+name), it must \\")) return false;
    if (ValidateSetting(vkNotEmpty, ComboBox9->Text(), "", "Caption Position (Index Pages) can not be empty!"))
        return false;
    if (ValidateSetting(vkNotEmpty, ComboBox14->Text(), "", "Caption Position (Image Pages) can not be empty!"))
        return false;
    if (ValidateSetting(vkIndexCaptionVariable, "", "", "Not found variable (file) in Index Page Caption Position"))
        return false;
    if (ValidateSetting(vkImageCaptionVariable, "", "", "Not found variable (file) in Image Page Caption Position"))
        return false;
    if (ValidateSetting(vkNotEmpty, ComboBox3->Text(), "", "Index Page style can not be empty!")) return false;
    if (ValidateSetting(vkNotEmpty, ComboBox5->Text(), "", "Image Page style can not be empty!")) return false;
    if (ValidateSetting(vkNotEmpty, Edit1->Text(), "", "Save in Folder name can not be empty!")) return false;
    if (ValidateSetting(vkNotEmpty, Edit5->Text(), "", "Thumbnail path+name can not be empty!")) return false;
    if (ValidateSetting(vkNotEmpty, Edit2->Text(), "", "Index name can not be empty!")) return false;
    if (ValidateSetting(vkTemplateHoldsText, "indexpg\\" + ComboBox3->Text(), "%thumb_location",
                        "Variable \"%thumb_location\" not found in file style (Index)"))
        return false;
    if (ValidateSetting(vkTemplateHoldsText, "imagepg\\" + ComboBox5->Text(), "%img_location",
                        "Variable \"%img_location\" not found in file style (Image)"))
        return false;
    return true;
}

bool TForm1::DestinationOverwritesSource()
{
    // Canonical paths: a destination typed through a link, "." or "..", or a
    // destination that does not exist yet, is still recognised.
    const std::string destination = Edit1->Text();
    for (int i = 0; i < ListView1->Count(); ++i) {
        if (FolderLiesWithin(ListView1->SubItem(i, 0), destination)) {
            MessageDlgCentered("Abort",
                               "Some of Source Folder can not be equal with Destination Folder, to prevent "
                               "overwriting of original images, process will aborted!",
                               mtInformation, mbOK);
            return true;
        }
    }
    return false;
}

void TForm1::CreateAll2Click(TComponent* Sender)
{
    // The build processes window messages; a second command that arrives
    // meanwhile (a shortcut key) must not start a build inside this one.
    if (buildRunning_) return;
    StopFlag = 0;
    ProcessPendingMessages();
    ListBox2->Items().Clear();
    ListBox3->Items().Clear();

    if (!ValidateBuildSettings()) return;
    if (DestinationOverwritesSource()) return;
    const int itemCount = ListView1->Count();
    if (itemCount == 0) return;

    if (Sender) {
        const std::string name = AsciiLower(Sender->Name);
        if (name.find("all") != std::string::npos) BuildMode = bmAll;
        if (name.find("thumb") != std::string::npos) BuildMode = bmThumbnails;
        if (name.find("image") != std::string::npos) BuildMode = bmImages;
        if (name.find("html") != std::string::npos) BuildMode = bmHtml;
    }
    const TBuildMode mode = BuildMode;

    BuildStateGuard guard(*this, buildRunning_);
    LargeBufferReuse bufferReuse;
    copiedPictures_.clear();
    ShowBuildState(mode == bmAll ? 2 * itemCount + 4 : itemCount + 4);

    const std::string destinationFolder = NormalizeFolderPath(ToFileSystemPath(Edit1->Text()));
    const int linkKind = ComboBox4->ItemIndex();
    const bool linksImages = linkKind != hlNone;
    const int caseMode = ComboBox10->ItemIndex();
    const bool keepDate = Menuitem8->Checked();
    const int imageKind = ComboBox8->ItemIndex() == 1 ? okGif : okJpeg;
    const int thumbnailKind = ComboBox7->ItemIndex() == 1 ? okGif : okJpeg;
    const char* phase = mode == bmAll          ? "Creating Images+Thumbnails"
                        : mode == bmThumbnails ? "Creating Thumbnails"
                        : mode == bmImages     ? "Creating Images"
                                               : "Analyzing File";

    if (StopFlag == 0) ForceDirectories(destinationFolder);

    std::vector<int> failedItems;
    std::vector<std::string> notWritten;
    int nameCounter = 0;

    // Writes one finished picture; false (and a report line) when the file is not there afterwards.
    auto writePicture = [&](TRasterDIB& picture, const std::string& source, const std::string& relativeName, int kind,
                            int quality, int colors) {
        const std::string target = destinationFolder + relativeName;
        try {
            ForceDirectories(ExtractFilePath(target));
            RemoveStaleFile(target);
            SaveImageFile(picture, source, target, kind, quality, keepDate, colors);
        } catch (const std::exception& error) {
            notWritten.push_back(target + ": " + error.what());
            RemoveStaleFile(target);
            return false;
        }
        if (!FileExists(target)) {
            notWritten.push_back(target);
            return false;
        }
        return true;
    };

    auto measureExisting = [&](const std::string& relativeName, int& width, int& height, int* colours) {
        MeasurePictureFile(destinationFolder + relativeName, width, height, colours);
    };

    for (int i = 0; i < itemCount; ++i) {
        if (StopFlag != 0) return;
        const std::string fullPath = ItemFullPath(i);
        // The image copy and the thumbnail load the same source: decode it
        // once (only when both are made).
        std::optional<TSourcePictureCache> sourceCache;
        if (mode == bmAll && linksImages) sourceCache.emplace();
        bool failed = false;
        const bool measuring = mode != bmHtml || CheckBox7->Checked();
        const int linesBefore = ListBox2->Items().Count();
        std::string writtenImage;

        // Image step.
        const std::string imageName = ImageOutputName(fullPath, nameCounter);
        if (!measuring) {
            ListBox2->Items().Add(imageName + "|||||");
        } else {
            auto picture = std::make_unique<TRasterDIB>();
            Label34->SetCaption(std::string(phase) + " (" + std::to_string(i + 1) + " of " + std::to_string(itemCount) +
                                ")");
            ProcessPendingMessages();
            int width = 0, height = 0, colours = 0;
            if ((mode == bmAll || mode == bmImages) && linksImages) {
                ProgressBar1->StepBy(1);
                int loadFailed = 0;
                CreateImage(loadFailed, fullPath, *picture);
                if (loadFailed != 0) {
                    failed = true;
                } else if (writePicture(*picture, fullPath, imageName, imageKind, SpinEdit13->Value(),
                                        SpinEdit15->Value())) {
                    writtenImage = destinationFolder + imageName;
                    PictureSize(*picture, width, height, &colours);
                } else {
                    // Not written: neither linked nor listed, like a picture that did not load.
                    failed = true;
                }
            } else if (mode == bmHtml) {
                measureExisting(imageName, width, height, &colours);
            }
            if (!failed) ListBox2->Items().Add(ResultLine(imageName, width, height, colours));
        }

        // Thumbnail step (an item that already failed makes no thumbnail: it leaves the list).
        const std::string thumbnailName = ThumbnailOutputName(fullPath, nameCounter);
        if (!failed) {
            if (!measuring) {
                ListBox2->Items().Add(thumbnailName + "|||||");
            } else {
                auto picture = std::make_unique<TRasterDIB>();
                int width = 0, height = 0;
                if (mode == bmAll || mode == bmThumbnails) {
                    ProgressBar1->StepBy(1);
                    int loadFailed = 0;
                    CreateThumbnail(loadFailed, fullPath, *picture);
                    if (loadFailed != 0) {
                        failed = true;
                    } else if (writePicture(*picture, fullPath, thumbnailName, thumbnailKind, SpinEdit12->Value(),
                                            SpinEdit14->Value())) {
                        PictureSize(*picture, width, height, nullptr);
                    } else {
                        failed = true;
                    }
                } else if (mode == bmHtml) {
                    measureExisting(thumbnailName, width, height, nullptr);
                }
                if (!failed) ListBox2->Items().Add(ResultLine(thumbnailName, width, height, 0));
            }
        }

        if (failed) {
            while (ListBox2->Items().Count() > linesBefore) ListBox2->Items().Delete(ListBox2->Items().Count() - 1);
            // The item leaves the list, so its image copy would be an orphan nothing links.
            if (!writtenImage.empty()) RemoveStaleFile(writtenImage);
            failedItems.push_back(i);
        } else {
            ++nameCounter;
        }
        if (OnBuildItemDone) OnBuildItemDone(i);
    }
    if (StopFlag != 0) return;

    for (auto it = failedItems.rbegin(); it != failedItems.rend(); ++it) ListView1->Delete(*it);
    ListBox3->Items().Clear();

    std::string firstIndexPage;
    if (StopFlag == 0 && (mode == bmAll || mode == bmHtml)) {
        Label34->SetCaption("Creating HTML");
        ProcessPendingMessages();
        ProgressBar1->StepBy(1);
        int pages = 0, remainder = 0;
        const int items = ListView1->Count();
        PageCount(pages, remainder, ComboBox1->ItemIndex(), SpinEdit2->Value(), SpinEdit1->Value(), items);
        FillPageNames(Edit2->Text(), 0, pages, "listbox3");
        // Image pages are named only when they are written, so the list of
        // produced files never names a page that does not exist.
        if (linkKind == hlImagePage) FillPageNames(Edit4->Text(), 1, items, "listbox4");
        ProgressBar1->StepBy(1);
        if (ListBox3->Items().Count() > 0) firstIndexPage = ListBox3->Items()[0];
        // The templates link their pictures relative to each page, so they go
        // beside the pages of their kind.
        CopyTemplatePictures("indexpg/" + ComboBox3->Text(), destinationFolder, PageFolders(*ListBox3));
        CopyTemplatePictures("imagepg/" + ComboBox5->Text(), destinationFolder, PageFolders(*ListBox4));
        WritePages(0, pages, ProgramFolder() + "indexpg/" + ComboBox3->Text(), remainder);
        CopyBackgroundPictures(destinationFolder);
        if (linkKind == hlImagePage) WritePages(1, items, ProgramFolder() + "imagepg/" + ComboBox5->Text());
    }

    const std::string pageRecord = GetPropertyRecord(prPagePropertiesIndex);
    const bool framesOn = FieldIsOn(pageRecord, PageField::FramesOn);
    std::string framePage;
    if (StopFlag == 0 && framesOn) framePage = WriteFramePage(destinationFolder, firstIndexPage);

    WriteGeneratedFilesList(mode, linksImages, framePage);
    ListBox3->Items().Clear();
    ListBox4->Items().Clear();

    if (!notWritten.empty()) {
        std::string text = "These pictures could not be written and were left out:";
        for (const std::string& line : notWritten) text += "\r\n" + line;
        MessageDlgCentered("Error", text, mtError, mbOK);
    }

    RestoreAfterBuild();
    UpdateControls();

    if (mode == bmAll && Menuitem7->Checked()) {
        std::string first = framesOn && !framePage.empty() ? framePage : firstIndexPage;
        if (first.empty()) first = SafeOutputName(ConvertCase(caseMode, AddDefaultExt(deHtm, Edit2->Text())));
        ShellOpen(destinationFolder + first);
    }
}

std::vector<std::string> TForm1::PageFolders(const TListBox& pageNames) const
{
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
        std::string value = line;
        if (line.find("<img") != std::string::npos)
            GetTagAttribute(value, "<img", "src");
        else if (line.find("<body") != std::string::npos)
            GetTagAttribute(value, "<body", "background");
        else
            continue;
        if (value.empty() || value == line) continue;
        // The page keeps the template's own text for the link, so the copy
        // keeps it too (no case change) and stays inside the destination.
        const std::string relative = SafeOutputName(value);
        if (relative.empty()) continue;
        const std::string source = ProgramFolder() + "buttons/" + relative;
        if (!FileExists(source)) continue;  // missing pictures are skipped
        for (const std::string& folder : relativeFolders) {
            const std::string target = destinationFolder + folder + relative;
            ForceDirectories(ExtractFilePath(target));
            if (ShellFileOperation(0, source, target)) NoteCopiedPicture(folder + relative);
        }
    }
}

void TForm1::CopyBackgroundPictures(const std::string& destinationFolder)
{
    auto copyInto = [&](const std::string& file) {
        const std::string source = ToFileSystemPath(UnescapeRecordField(file));
        if (source.empty() || !FileExists(source)) return;
        if (ShellFileOperation(0, source, destinationFolder + ExtractFileName(source)))
            NoteCopiedPicture(ExtractFileName(source));
    };
    for (int record : {prPagePropertiesIndex, prPagePropertiesImage}) {
        const std::string text = GetPropertyRecord(record);
        if (FieldIsOn(text, PageField::BackgroundImageOn)) copyInto(GetField(0, text, PageField::BackgroundImageFile));
    }
    const std::string table = GetPropertyRecord(prMoreTable);
    if (FieldEquals(table, TableField::Background, tbPicture)) copyInto(GetField(0, table, TableField::BackgroundFile));
    if (FieldEquals(table, TableField::CellBackground, tbPicture))
        copyInto(GetField(0, table, TableField::CellBackgroundFile));
}

std::string TForm1::WriteFramePage(const std::string& destinationFolder, const std::string& firstIndexPage)
{
    const std::string record = GetPropertyRecord(prPagePropertiesIndex);
    const std::string templatePath =
        ProgramFolder() + "framepg/" + ToFileSystemPath(GetField(0, record, PageField::FrameTemplate));
    const std::string outputName = SafeOutputName(GetField(0, record, PageField::FramePageFile));
    if (outputName.empty() || !FileExists(templatePath)) return std::string();

    // The frames point at the pages this build wrote, under the names they were written with.
    std::string indexAddress = firstIndexPage;
    if (indexAddress.empty()) indexAddress = SafeOutputName(ConvertCase(ComboBox10->ItemIndex(), Edit2->Text()));
    std::string imageAddress = Edit4->Text();
    const bool imagePageHasName = !ExtractFileName(ToFileSystemPath(Edit4->Text())).empty();
    const int linkKind = ComboBox4->ItemIndex();
    if (linkKind == hlImagePage && ListBox4->Items().Count() > 0) {
        imageAddress = ListBox4->Items()[0];
    } else if (!imagePageHasName && linkKind == hlOriginalImage) {
        imageAddress = ListBox2->Items().Count() > 0 ? ListLineFirstField(ListBox2->Items()[0])
                                                     : AddDefaultExt(deJpg, Edit9->Text());
    } else if (!imagePageHasName && linkKind == hlImagePage && ListView1->Count() > 0) {
        imageAddress = Edit4->Text() + ExtractFileNameNoExt(ListView1->Caption(0)) + ".htm";
    }
    imageAddress = BackslashToSlash(imageAddress);

    TStringList lines;
    lines.LoadFromFile(templatePath);
    for (int j = 0; j < lines.Count(); ++j) {
        std::string line = lines[j];
        line = ReplaceText(line, "%frameindex", BackslashToSlash(indexAddress), true, true);
        line = ReplaceText(line, "%frameimage", imageAddress, true, true);
        ReplaceVariable(line, "%title", "", Edit3->Text());
        lines.Put(j, line);
    }
    const std::string target = destinationFolder + outputName;
    ForceDirectories(ExtractFilePath(target));
    lines.SaveToFile(target);
    return outputName;
}

// Every file this build wrote or copied into the destination, once each. The
// upload sends the list from its last line to its first, so what a page shows
// comes after the page: the frame page first, then the index and image pages,
// the image copies and thumbnails, and last the button and background
// pictures the pages use.
void TForm1::WriteGeneratedFilesList(TBuildMode mode, bool linksImages, const std::string& framePage)
{
    TStringList list;
    std::set<std::string> listed;
    auto add = [&](const std::string& name) {
        if (!name.empty() && listed.insert(name).second) list.Add(name);
    };
    add(framePage);
    for (int k = 0; k < ListBox3->Items().Count(); ++k) add(ListBox3->Items()[k]);
    for (int k = 0; k < ListBox4->Items().Count(); ++k) add(ListBox4->Items()[k]);
    if (mode != bmHtml) {
        const int lines = ListBox2->Items().Count();
        for (int k = 0; k + 1 < lines; k += 2) {
            if (linksImages && mode != bmThumbnails) add(ListLineFirstField(ListBox2->Items()[k]));
            if (mode != bmImages) add(ListLineFirstField(ListBox2->Items()[k + 1]));
        }
    }
    for (const std::string& picture : copiedPictures_) add(picture);
    // The upload window reads the list from the same folder.
    list.SaveToFile(WritableFolder() + "pftp.bak");
}
