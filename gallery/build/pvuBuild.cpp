// The build: "Create All", "Create Thumbnail", "Create Image" and "Create
// HTML" run through one handler, in phases: validate, prepare, the items one
// by one, the pages (with the button pictures they show), the frame page, the
// list of produced files, and the window given back. The Stop button ends a
// build between items.
#include "gallery/build/pvuBuild.h"
#include "gallery/build/pvuBuildPaths.h"

#include "gallery/records/PropertyRecords.h"
#include "gallery/records/pvutils.h"
#include "gallery/pictures/pvutilsPictures.h"
#include "gallery/pictures/pvutilsDecorationCache.h"
#include "gallery/pictures/pvutilsSourceCache.h"
#include "gallery/text/srutils.h"
#include "gallery/text/srutilsFiles.h"
#include "platform/strings/StringList.h"
#include "platform/system/System.h"

#include <exception>
#include <filesystem>
#include <memory>
#include <optional>
#include <system_error>

#include <malloc.h>

#include <QWidget>

namespace fs = std::filesystem;

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

void ProcessPendingMessages()
{
    if (Application) Application->ProcessMessages();
}

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

// The mode of the command used: four tests in this order, a later match
// replacing an earlier one ("CreateThumbnail1" holds "thumb" only, and so on).
TBuildMode BuildModeOf(const TComponent* sender, TBuildMode current)
{
    if (!sender) return current;
    const std::string name = AsciiLower(sender->Name);
    TBuildMode mode = current;
    if (name.find("all") != std::string::npos) mode = bmAll;
    if (name.find("thumb") != std::string::npos) mode = bmThumbnails;
    if (name.find("image") != std::string::npos) mode = bmImages;
    if (name.find("html") != std::string::npos) mode = bmHtml;
    return mode;
}

// One box that fits on the screen however many pictures failed: the first
// lines and how many more there were.
void ReportPicturesNotWritten(const std::vector<std::string>& lines)
{
    constexpr std::size_t shown = 10;
    std::string text = "These pictures could not be written, so no pages were made:";
    for (std::size_t k = 0; k < lines.size() && k < shown; ++k) text += "\r\n" + lines[k];
    if (lines.size() > shown) text += "\r\nand " + std::to_string(lines.size() - shown) + " more";
    MessageDlgCentered("Error", text, mtError, mbOK);
}

const char* PhaseText(TBuildMode mode)
{
    switch (mode) {
    case bmAll: return "Creating Images+Thumbnails";
    case bmThumbnails: return "Creating Thumbnails";
    case bmImages: return "Creating Images";
    default: return "Analyzing File";
    }
}

}  // namespace

// ---------------------------------------------------------------------------
// Window state during a build

void TForm1::ShowBuildState(int progressMax)
{
    ProgressBar1->SetMax(progressMax);
    ProgressBar1->SetPosition(0);
    ProgressBar1->SetVisible(true);
    PageControl1->SetVisible(false);
    buildView_->setVisible(true);
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
    buildView_->setVisible(false);
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
// The handler

void TForm1::CreateAll2Click(TComponent* Sender)
{
    // The build processes window messages; a second command that arrives
    // meanwhile (a shortcut key) must not start a build inside this one.
    if (buildRunning_) return;
    StopFlag = 0;
    ProcessPendingMessages();
    ListBox2->Items().Clear();
    ListBox3->Items().Clear();
    if (!BuildMayStart()) return;

    BuildMode = BuildModeOf(Sender, BuildMode);
    BuildStateGuard guard(*this, buildRunning_);
    LargeBufferReuse bufferReuse;
    TBuildRun run = PrepareBuild();
    if (!MakeBuildItems(run)) return;  // stopped: no pages, no list

    RemoveFailedItems(run);
    ListBox3->Items().Clear();
    // Pages would link pictures that are not there, and the list would send
    // them: the build ends like a stopped one, every item kept.
    if (!run.NotWritten.empty()) {
        RestoreAfterBuild();  // the box stands over the usable window
        ReportPicturesNotWritten(run.NotWritten);
        return;
    }
    if (run.Mode == bmAll || run.Mode == bmHtml) {
        const TPagePlan plan = NameBuildPages(run);
        CopyButtonPictures(run);
        WriteBuildPages(run, plan);
    }
    run.FramePage = WriteBuildFramePage(run);
    WriteBuildList(run);
    FinishBuild(run);
}

// ---------------------------------------------------------------------------
// Validate

bool TForm1::BuildMayStart()
{
    if (!ValidateBuildSettings()) return false;
    if (DestinationOverwritesSource()) return false;
    if (ListView1->Count() == 0) return false;
    return !DestinationCannotBeWritten();
}

bool TForm1::DestinationCannotBeWritten()
{
    // Found here, before the first picture, instead of once per picture.
    const std::string destination = ToFileSystemPath(Edit1->Text());
    const std::string problem = FolderWriteProblem(destination);
    if (problem.empty()) return false;
    MessageDlgCentered("Error", "Save in Folder \"" + destination + "\" cannot be written: " + problem, mtError, mbOK);
    return true;
}

bool TForm1::ValidateBuildSettings()
{
    // In this order; the first rule that fails shows its message and ends the command.
    const struct {
        TValidationKind kind;
        std::string text;
        const char* second;
        const char* message;
    } rules[] = {
        {vkForbiddenCharacters, Edit2->Text(), ":\\/", "(Index name)"},
        {vkForbiddenCharacters, Edit4->Text(), ":/", "(Image page name)"},
        {vkForbiddenCharacters, Edit5->Text(), ":/", "(Thumbnail path+name), it must \\"},
        {vkForbiddenCharacters, Edit9->Text(), ":/", "(Image path+name), it must \\"},
        {vkNotEmpty, ComboBox9->Text(), "", "Caption Position (Index Pages) can not be empty!"},
        {vkNotEmpty, ComboBox14->Text(), "", "Caption Position (Image Pages) can not be empty!"},
        {vkIndexCaptionVariable, "", "", "Not found variable (file) in Index Page Caption Position"},
        {vkImageCaptionVariable, "", "", "Not found variable (file) in Image Page Caption Position"},
        {vkNotEmpty, ComboBox3->Text(), "", "Index Page style can not be empty!"},
        {vkNotEmpty, ComboBox5->Text(), "", "Image Page style can not be empty!"},
        {vkNotEmpty, Edit1->Text(), "", "Save in Folder name can not be empty!"},
        {vkAbsoluteFolder, Edit1->Text(), "", "Save in Folder name must be a full path beginning with \"/\"!"},
        {vkNotEmpty, Edit5->Text(), "", "Thumbnail path+name can not be empty!"},
        {vkNotEmpty, Edit2->Text(), "", "Index name can not be empty!"},
        {vkTemplateHoldsText, "indexpg\\" + ComboBox3->Text(), "%thumb_location",
         "Variable \"%thumb_location\" not found in file style (Index)"},
        {vkTemplateHoldsText, "imagepg\\" + ComboBox5->Text(), "%img_location",
         "Variable \"%img_location\" not found in file style (Image)"},
    };
    for (const auto& rule : rules)
        if (ValidateSetting(rule.kind, rule.text, rule.second, rule.message)) return false;
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

namespace {

// The first of the forbidden characters (in their order) that text holds, in
// the rule's message; "" when none does.
std::string ForbiddenCharacterMessage(const std::string& text, const std::string& forbidden, const std::string& message)
{
    for (char c : forbidden)
        if (text.find(c) != std::string::npos) return std::string("Invalid character:") + c + " " + message;
    return std::string();
}

}  // namespace

std::string TForm1::ValidationFailure(TValidationKind kind, const std::string& text, const std::string& second,
                                      const std::string& message)
{
    bool holds = true;
    switch (kind) {
    case vkForbiddenCharacters: return ForbiddenCharacterMessage(text, second, message);
    case vkNotEmpty: holds = text != second; break;
    case vkIndexCaptionVariable: holds = CheckCaptionVariable(0); break;
    case vkImageCaptionVariable: holds = CheckCaptionVariable(1); break;
    case vkTemplateHoldsText: holds = FileContainsText(ProgramFolder() + ToFileSystemPath(text), second); break;
    // A relative folder would land wherever the program happened to be started.
    case vkAbsoluteFolder: holds = ToFileSystemPath(text).rfind('/', 0) == 0; break;
    default: break;
    }
    return holds ? std::string() : message;
}

bool TForm1::ValidateSetting(TValidationKind kind, const std::string& text, const std::string& second,
                             const std::string& message)
{
    const std::string shown = ValidationFailure(kind, text, second, message);
    if (shown.empty()) return false;
    MessageDlgCentered("Invalid Settings", shown, mtInformation, mbOK);
    return true;
}

// ---------------------------------------------------------------------------
// Prepare

TBuildRun TForm1::PrepareBuild()
{
    TBuildRun run;
    run.Mode = BuildMode;
    run.ItemCount = ListView1->Count();
    copiedPictures_.clear();
    ShowBuildState(run.Mode == bmAll ? 2 * run.ItemCount + 4 : run.ItemCount + 4);

    run.DestinationFolder = NormalizeFolderPath(ToFileSystemPath(Edit1->Text()));
    run.LinkKind = ComboBox4->ItemIndex();
    run.LinksImages = run.LinkKind != hlNone;
    run.KeepDate = Menuitem8->Checked();
    run.Settings = MakerSettings();
    run.PhaseText = PhaseText(run.Mode);
    if (StopFlag == 0) ForceDirectories(run.DestinationFolder);
    return run;
}

// ---------------------------------------------------------------------------
// The items

bool TForm1::MakeBuildItems(TBuildRun& run)
{
    // The decorations' pictures are read once for all items.
    TDecorationPictureCache decorationPictures;
    for (int i = 0; i < run.ItemCount; ++i) {
        if (StopFlag != 0) return false;
        if (MakeBuildItem(run, i))
            ++run.NameCounter;
        else
            run.FailedItems.push_back(i);
        if (OnBuildItemDone) OnBuildItemDone(i);
    }
    return StopFlag == 0;
}

bool TForm1::MakeBuildItem(TBuildRun& run, int item)
{
    const std::string fullPath = ItemFullPath(item);
    // The image copy and the thumbnail load the same source: decode it once
    // (only when both are made).
    std::optional<TSourcePictureCache> sourceCache;
    if (run.Mode == bmAll && run.LinksImages) sourceCache.emplace();
    const bool measuring = run.Mode != bmHtml || CheckBox7->Checked();
    const int linesBefore = ListBox2->Items().Count();

    const TStepResult image = MakeImageStep(run, item, fullPath, measuring);
    const std::string thumbnailName = ThumbnailOutputName(fullPath, run.NameCounter, run.Settings);
    // An item that already failed makes no thumbnail: it leaves the list.
    const bool failed = image.Failed || MakeThumbnailStep(run, fullPath, thumbnailName, measuring).Failed;
    if (failed) {
        while (ListBox2->Items().Count() > linesBefore) ListBox2->Items().Delete(ListBox2->Items().Count() - 1);
        // The item leaves the list, so its image copy would be an orphan nothing links.
        if (!image.WrittenFile.empty()) {
            RemoveStaleFile(image.WrittenFile);
            run.WrittenBy.erase(image.WrittenFile);
        }
    }
    return !failed;
}

TStepResult TForm1::MakeImageStep(TBuildRun& run, int item, const std::string& fullPath, bool measuring)
{
    TStepResult result;
    const std::string name = ImageOutputName(fullPath, run.NameCounter, run.Settings.ImageOutput);
    if (!measuring) {
        ListBox2->Items().Add(name + "|||||");
        return result;
    }
    Label34->SetCaption(run.PhaseText + " (" + std::to_string(item + 1) + " of " + std::to_string(run.ItemCount) + ")");
    ProcessPendingMessages();
    int width = 0, height = 0, colours = 0;
    if ((run.Mode == bmAll || run.Mode == bmImages) && run.LinksImages) {
        result =
            MakeAndWritePicture(run, MakeImageCopy, fullPath, name, run.Settings.ImageOutput, width, height, &colours);
    } else if (run.Mode == bmHtml) {
        MeasurePictureFile(run.DestinationFolder + name, width, height, &colours);
    }
    if (!result.Failed) ListBox2->Items().Add(ResultLine(name, width, height, colours));
    return result;
}

TStepResult TForm1::MakeThumbnailStep(TBuildRun& run, const std::string& fullPath, const std::string& name,
                                      bool measuring)
{
    TStepResult result;
    if (!measuring) {
        ListBox2->Items().Add(name + "|||||");
        return result;
    }
    int width = 0, height = 0;
    if (run.Mode == bmAll || run.Mode == bmThumbnails) {
        result =
            MakeAndWritePicture(run, MakeThumbnail, fullPath, name, run.Settings.ThumbOutput, width, height, nullptr);
    } else if (run.Mode == bmHtml) {
        MeasurePictureFile(run.DestinationFolder + name, width, height, nullptr);
    }
    if (!result.Failed) ListBox2->Items().Add(ResultLine(name, width, height, 0));
    return result;
}

TStepResult TForm1::MakeAndWritePicture(TBuildRun& run, TPictureMaker maker, const std::string& fullPath,
                                        const std::string& name, const TPictureOutput& output, int& width, int& height,
                                        int* colours)
{
    TStepResult result;
    auto picture = std::make_unique<TRasterDIB>();
    ProgressBar1->StepBy(1);
    int loadFailed = 0;
    maker(loadFailed, fullPath, *picture, run.Settings, Decorations);
    result.Failed = loadFailed != 0;
    if (result.Failed) return result;
    // A picture that was not written keeps its item: its source is fine.
    result.NotWritten = !WriteBuildPicture(run, *picture, fullPath, name, output);
    if (result.NotWritten) return result;
    result.WrittenFile = run.DestinationFolder + name;
    PictureSize(*picture, width, height, colours);
    return result;
}

bool TForm1::WriteBuildPicture(TBuildRun& run, TRasterDIB& picture, const std::string& source,
                               const std::string& relativeName, const TPictureOutput& output)
{
    const std::string target = run.DestinationFolder + relativeName;
    // Two pictures whose names meet (sources of one name from two folders, or
    // names the case change makes equal) must not replace each other: the
    // first keeps the file.
    if (const auto earlier = run.WrittenBy.find(target); earlier != run.WrittenBy.end()) {
        run.NotWritten.push_back(ExtractFileName(source) + ": " + target + ": already written for " + earlier->second);
        return false;
    }
    try {
        ForceDirectories(ExtractFilePath(target));
        RemoveStaleFile(target);
        SaveImageFile(picture, source, target, output.Kind, output.Quality, run.KeepDate, output.Colors);
    } catch (const std::exception& error) {
        // The source's name, then the reason, which names the target (or is given it).
        const std::string reason = error.what();
        run.NotWritten.push_back(ExtractFileName(source) + ": " +
                                 (reason.find(target) != std::string::npos ? reason : target + ": " + reason));
        RemoveStaleFile(target);
        return false;
    }
    if (!FileExists(target)) {
        run.NotWritten.push_back(ExtractFileName(source) + ": " + target + ": not written");
        return false;
    }
    run.WrittenBy.emplace(target, source);
    return true;
}

std::string TForm1::ImageCopyName(const std::string& fullPath, int number, const TPictureOutput& output) const
{
    return OutputPictureName(output.Kind, TargetFileName(0, Edit9->Text(), fullPath, number, 2, ""));
}

std::string TForm1::ImageOutputName(const std::string& fullPath, int number, const TPictureOutput& output) const
{
    return ContainedRelativePath(ConvertCase(ComboBox10->ItemIndex(), ImageCopyName(fullPath, number, output)));
}

std::string TForm1::ThumbnailOutputName(const std::string& fullPath, int number, const TMakerSettings& settings) const
{
    std::string name;
    const std::string pattern = Edit5->Text();
    // The '*' takes the image copy's name without its extension (whether or
    // not this build makes the copy): "a.png" and "a.jpg" have the copies
    // "a.png.jpg" and "a.jpg", so the thumbnails "tn_a.png.jpg" and "tn_a.jpg".
    // The case is changed once, on the whole name.
    if (pattern.find('*') != std::string::npos)
        name = TargetFileName(1, "", ImageCopyName(fullPath, number, settings.ImageOutput), number, 2, pattern);
    else
        name = TargetFileName(0, pattern, fullPath, number, 2, "");
    name = OutputPictureName(settings.ThumbOutput.Kind, name);
    return ContainedRelativePath(ConvertCase(ComboBox10->ItemIndex(), name));
}

int TForm1::RemoveFailedItems(const TBuildRun& run)
{
    // From the highest index down, so the recorded indices stay valid.
    for (auto it = run.FailedItems.rbegin(); it != run.FailedItems.rend(); ++it) ListView1->Delete(*it);
    return static_cast<int>(run.FailedItems.size());
}

// ---------------------------------------------------------------------------
// Pages

TPagePlan TForm1::NameBuildPages(TBuildRun& run)
{
    Label34->SetCaption("Creating HTML");
    ProcessPendingMessages();
    ProgressBar1->StepBy(1);
    TPagePlan plan;
    const int items = ListView1->Count();
    PageCount(plan.Pages, plan.Remainder, ComboBox1->ItemIndex(), SpinEdit2->Value(), SpinEdit1->Value(), items);
    FillPageNames(Edit2->Text(), 0, plan.Pages, "listbox3");
    // Image pages are named only when they are written, so the list of
    // produced files never names a page that does not exist.
    if (run.LinkKind == hlImagePage) FillPageNames(Edit4->Text(), 1, items, "listbox4");
    ProgressBar1->StepBy(1);
    if (ListBox3->Items().Count() > 0) run.FirstIndexPage = ListBox3->Items()[0];
    return plan;
}

int TForm1::CopyButtonPictures(const TBuildRun& run)
{
    // The templates link their pictures relative to each page, so they go
    // beside the pages of their kind.
    const std::size_t before = copiedPictures_.size();
    CopyTemplatePictures("indexpg/" + ComboBox3->Text(), run.DestinationFolder, PageFolders(0));
    CopyTemplatePictures("imagepg/" + ComboBox5->Text(), run.DestinationFolder, PageFolders(1));
    return static_cast<int>(copiedPictures_.size() - before);
}

void TForm1::WriteBuildPages(const TBuildRun& run, const TPagePlan& plan)
{
    WritePages(0, plan.Pages, ProgramFolder() + "indexpg/" + ComboBox3->Text(), plan.Remainder);
    CopyBackgroundPictures(run.DestinationFolder);
    if (run.LinkKind == hlImagePage)
        WritePages(1, ListView1->Count(), ProgramFolder() + "imagepg/" + ComboBox5->Text());
}

// ---------------------------------------------------------------------------
// Frame page, list, window

std::string TForm1::WriteBuildFramePage(TBuildRun& run)
{
    run.FramesOn = FieldIsOn(CompletedPropertyRecord(prPagePropertiesIndex), PageField::FramesOn);
    // Stop may have been pressed while the pages were written.
    if (StopFlag != 0 || !run.FramesOn) return "";
    return WriteFramePage(run.DestinationFolder, run.FirstIndexPage);
}

int TForm1::WriteBuildList(const TBuildRun& run)
{
    const int lines = WriteGeneratedFilesList(run.Mode, run.LinksImages, run.FramePage);
    ListBox3->Items().Clear();
    ListBox4->Items().Clear();
    return lines;
}

bool TForm1::FinishBuild(const TBuildRun& run)
{
    RestoreAfterBuild();
    UpdateControls();
    if (run.Mode != bmAll || !Menuitem7->Checked()) return false;
    std::string first = run.FramesOn && !run.FramePage.empty() ? run.FramePage : run.FirstIndexPage;
    if (first.empty())
        first = ContainedRelativePath(ConvertCase(ComboBox10->ItemIndex(), AddDefaultExt(deHtm, Edit2->Text())));
    ShellOpen(run.DestinationFolder + first);
    return true;
}
