#pragma once
// The main window: the five settings pages, the source-item list, the menus,
// tool bar and status bar, and the settings store that binds every setting to
// a control by the control's name.

#include "platform/gui/Gui.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "gallery/pictures/pvutilsMakers.h"

class TIniFile;
class TForm5;
struct TBuildRun;
struct TStepResult;
struct TPagePlan;

// Product name and version; the title text is name + " v" + version.
extern const char* const ProductName;
extern const char* const ProductVersion;
extern const char* const ProductHomePage;

// Page count and the thumbnails on the last, partly filled page for a layout
// (0 rows x columns per page, 1 thumbnails per page, 2 one page).
void PageCount(int& pages, int& remainder, int layout, int a, int b, int items);

// Name and version of a title "name vversion": mode 0 the name, mode 1 "name version".
void SplitNameVersion(int mode, const std::string& text, std::string& result);

// Case-insensitive order of full paths: the order of the source list after an addition.
struct PathLess {
    bool operator()(const std::string& a, const std::string& b) const;
};
using TPathSet = std::set<std::string, PathLess>;

// The folder browser of "Add (Directory)": file-system folders only; true and
// the chosen folder when the user picked one. The root and the status-line
// flag have no counterpart in the platform's dialog and are accepted as given.
bool BrowseForFolder(const std::string& title, const std::string& startFolder, const std::string& root,
                     std::string& chosen, bool statusLine);

// Source-list sort orders of the "Sort by" entries.
enum class TItemSort { Name, ExtName, PathName, PathExtName, DateTime, PathDateTime };
// A step of the viewer's and the description editor's keys through the source
// list (numbered as the editor's GoToItem takes them).
enum class TListStep : int { First = 1, Previous = 2, Next = 3, Last = 4 };
// The item a step from item current (-1: none selected) of a list of count
// items lands on, never past either end; -1 for an empty list.
int SteppedIndex(int current, int count, TListStep step);

// What thumbnails link to ("Hyperlin&k to:", ComboBox4).
enum THyperlinkTo : int { hlNone = 0, hlOriginalImage = 1, hlImagePage = 2 };
// How index pages are laid out (ComboBox1): rows x columns per page,
// thumbnails per page, or a single page.
enum TLayout : int { lyRows = 0, lyThumbs = 1, lySinglePage = 2 };
// What a build makes; kept between builds.
enum TBuildMode : int { bmAll = 1, bmThumbnails = 2, bmImages = 3, bmHtml = 4 };
// The kinds of ValidateSetting: none of the characters of the second text;
// not equal to the second text (empty); the index or image caption line holds
// "%file"; the template file (program folder + text) holds the second text;
// the text is an absolute folder.
enum TValidationKind : int {
    vkForbiddenCharacters = 0,
    vkNotEmpty = 1,
    vkIndexCaptionVariable = 2,
    vkImageCaptionVariable = 3,
    vkTemplateHoldsText = 4,
    vkAbsoluteFolder = 5
};

// The destination of a first start and of "New": a folder in the user's home
// (an absolute path, so nothing depends on where the program was started).
std::string DefaultDestinationFolder();

class TForm1 : public TForm {
public:
    TForm1();
    ~TForm1() override;

    // Start-up of the window: title, lists, settings, status line.
    void FormCreate();

    // --- settings store
    // False when mode "w" could not write the file.
    bool ReadWriteSettings(const std::string& mode, const std::string& fileName);
    int ReadWriteComponent(const std::string& mode, const std::string& controlName, const std::string& section,
                           bool defaultBool, int defaultInt, const std::string& defaultString, const std::string& key);
    // Opens a settings file for the ReadWriteComponent calls of body; writes it
    // afterwards (false when that failed).
    bool UseSettingsFile(const std::string& fileName, const std::function<void()>& body);
    // The program's own settings file (in the writable program folder).
    std::string SettingsFileName() const;
    // Writes the settings to SettingsFileName(); the first failure of the run says so.
    void WriteProgramSettings();

    // --- property records (ListBox1)
    std::string GetPropertyRecord(int index) const;
    void SetPropertyRecord(int index, const std::string& text);
    // The record as the build, the pages and the viewer read it: missing and
    // unreadable fields are the default's (CompletePropertyRecord).
    std::string CompletedPropertyRecord(int index) const;

    // --- start-up helpers
    // Fills the template and caption lists; reads pv.ini afterwards when asked to.
    void LoadTemplateLists(bool readSettings = true);
    void LoadComboItems(const std::string& componentName, const std::string& fileName);

    // --- File and Help menus
    void New1Click(TComponent* Sender);
    void Open1Click(TComponent* Sender);
    void Save1Click(TComponent* Sender);
    void Saveas1Click(TComponent* Sender);
    void Exit1Click(TComponent* Sender);
    void Replace1Click(TComponent* Sender);
    void PictavoHelp1Click(TComponent* Sender);
    void ToolButton8Click(TComponent* Sender);
    void LicenseAgreement1Click(TComponent* Sender);
    void PictavoHomepage1Click(TComponent* Sender);
    void AboutPictavo1Click(TComponent* Sender);

    // --- source-item list
    void Newitems1Click(TComponent* Sender);
    void Adddirectory1Click(TComponent* Sender);
    void Addfiles1Click(TComponent* Sender);
    void Delete1Click(TComponent* Sender);
    void Invert1Click(TComponent* Sender);
    void Selectall1Click(TComponent* Sender);
    void Deselectall1Click(TComponent* Sender);
    void Refresh1Click(TComponent* Sender);
    // "Sort by" entries.
    void Name1Click(TComponent* Sender);
    void ExtName1Click(TComponent* Sender);
    void PathName1Click(TComponent* Sender);
    void PathExtName1Click(TComponent* Sender);
    void DateTime1Click(TComponent* Sender);
    void PathDateTime1Click(TComponent* Sender);
    void Moveitemup1Click(TComponent* Sender);
    void MenuItem12Click(TComponent* Sender);
    void PlaceHere1Click(TComponent* Sender);
    void MenuItem16Click(TComponent* Sender);
    void Open2Click(TComponent* Sender);
    void Save2Click(TComponent* Sender);
    void menuitem3Click(TComponent* Sender);
    void ListView1MouseMove(TComponent* Sender, TMouseButton Button, bool LeftHeld, int X, int Y);
    void ListView1MouseUp(TComponent* Sender, TMouseButton Button, bool LeftHeld, int X, int Y);
    void Button8Click(TComponent* Sender);
    void ComboBox16Exit(TComponent* Sender);
    void ComboBox13KeyUp(TComponent* Sender, int& Key);
    // Handlers that only bring the controls and the status bar up to date.
    void ListView1Click(TComponent* Sender);
    void ListView1KeyUp(TComponent* Sender, int& Key);
    void SpinEdit1Exit(TComponent* Sender);
    void ComboBox1Change(TComponent* Sender);
    void ComboBox19Click(TComponent* Sender);
    void ComboBox4Change(TComponent* Sender);
    void ComboBox7Click(TComponent* Sender);

    void ScanFolder(const std::string& folder, const std::string& includeMasks, const std::string& excludeMasks);
    void MatchesFilter(const std::string& fullPath, const std::string& includeMasks, const std::string& excludeMasks);
    void RemoveMissingItems();
    void MoveSelectedItems();
    // Takes the selected rows out into Memo1 (last first); the place they go
    // to by the move mode (Label50).
    int TakeSelectedItems(int mode);
    void SortItems(TItemSort order);
    void EnableMainUI(int flag);
    void EnableControl(bool enabled, const std::string& controlName);
    void UpdateControls();
    // The size and page controls that the "Images" and index-page choices enable.
    void UpdateSizeControls();
    // Page count, item count and the selection in the status bar.
    void UpdateStatusBar(int items, int selected);
    // Adds the scan set's paths to the list: merge with the items, rebuild in path order.
    void RebuildFromSet(const TPathSet& paths, bool showProgress);
    // Reads an item-list file into the list (the "Open" of the Items menu).
    void LoadItemList(const std::string& fileName);
    void SaveItemList(const std::string& fileName);
    // The row of a source item made from its full path.
    static TListRow MakeSourceItem(const std::string& fullPath);
    std::string ItemFullPath(int index) const;

    // --- main-window commands
    void Viewimageinfullscreen1Click(TComponent* Sender);
    void Button13Click(TComponent* Sender);
    void ShowHTMLPage1Click(TComponent* Sender);
    void ToolButton9MouseMove(TComponent* Sender, TMouseButton Button, bool LeftHeld, int X, int Y);
    void OpenwithMicrosoftFrontpage1Click(TComponent* Sender);
    // The property buttons and "Customize editor": the properties dialog on the
    // sender's kind; OK writes the kind's records back.
    void Button2Click(TComponent* Sender);
    // "Edit with " + the title of each external editor record.
    void UpdateEditWithCaptions();
    void Upload1Click(TComponent* Sender);
    void AddDropTarget1Click(TComponent* Sender);
    void ConnectCommandHandlers();
    // The upload window's lists and fields before it is shown, and the record
    // it writes back on OK (upload: record 17, manual paste: record 16).
    void FillUploadWindow(TForm5& form, bool upload, const std::string& listFile);
    void StoreUploadWindow(TForm5& form, bool upload);
    // Shows the upload window modally; tests replace it to act as the user.
    std::function<int(class TForm5&)> ShowUploadWindow;
    // Shows the viewer, the description editor or the drop target modally;
    // tests replace it to act as the user.
    std::function<int(TForm&)> ShowDialogWindow;
    // The description editor, made once and kept (made on first use when the
    // program did not make it at start).
    class TForm4& DescriptionEditor();
    // Moves the selection one step (SteppedIndex from the first selected
    // item): the item stepped to is the only one selected, and focused.
    // Returns it (-1 for an empty list).
    int StepSelection(TListStep step);
    // --- end of main-window commands

    // --- image makers
    // failed 0: target holds the finished 24-bit picture; failed 1: the source
    // did not load and target is unchanged.
    void CreateImage(int& failed, const std::string& fileName, TRasterDIB& target);
    void CreateThumbnail(int& failed, const std::string& fileName, TRasterDIB& target);
    void LoadOriginal(int& failed, const std::string& fileName, TRasterDIB& target);
    // The settings and records the makers read, taken from the controls now.
    TMakerSettings MakerSettings() const;
    // The decorations the makers call (the standard ones; tests replace them).
    TDecorationHooks Decorations;

    // The scan set of the running addition.
    TPathSet ScanSet;
    // 99 while a drag inside the list is pending; "Move items to ..." keeps an index here.
    int DragPending = 0;

    // --- build driver
    void CreateAll2Click(TComponent* Sender);
    void Button14Click(TComponent* Sender);
    bool ValidateSetting(TValidationKind kind, const std::string& text, const std::string& second,
                         const std::string& message);
    bool CheckCaptionVariable(int kind);
    void ShowBuildState(int progressMax);
    void RestoreAfterBuild();
    TBuildMode BuildMode = bmAll;
    int StopFlag = 0;
    // Runs after each item of a build (the window's messages have been processed before it).
    std::function<void(int item)> OnBuildItemDone;

    // --- page writer
    // Adds count page names (relative to the destination, '/' separated,
    // case-converted once) to the hidden list listName ("listbox3"/"listbox4").
    void FillPageNames(const std::string& pattern, int kind, int count, const std::string& listName);
    // Writes the index pages (kind 0) or image pages (kind 1) from a template.
    void WritePages(int kind, int pageCount, const std::string& templateFile, int remainder = 0);
    // The folders (relative to the destination, "" for itself) that hold this
    // build's pages of a kind, each once; "" alone before any page is named.
    std::vector<std::string> PageFolders(int kind) const;

    // --- controls
    TToolBar* ToolBar1;
    TToolButton *ToolButton1, *ToolButton2, *ToolButton3, *ToolButton4, *ToolButton6all, *ToolButton8;
    TPageControl* PageControl1;
    TTabSheet *TabSheet1, *TabSheet2, *TabSheet3, *TabSheet4, *TabSheet5;
    TStatusBar* StatusBar1;
    TProgressBar* ProgressBar1;
    TButton* Button14;  // Stop
    TLabel* Label34;    // build phase text

    TListView* ListView1;
    TComboBox *ComboBox16, *ComboBox20;
    TButton* Button13;
    TButton* Button8;

    TEdit *Edit1, *Edit2, *Edit3, *Edit4, *Edit5, *Edit6, *Edit9, *Edit11;
    TComboBox *ComboBox1, *ComboBox2, *ComboBox3, *ComboBox4, *ComboBox5, *ComboBox6, *ComboBox7, *ComboBox8,
        *ComboBox9, *ComboBox10, *ComboBox11, *ComboBox12, *ComboBox13, *ComboBox14, *ComboBox15, *ComboBox17,
        *ComboBox18, *ComboBox19, *ComboBox23;
    TSpinEdit *SpinEdit1, *SpinEdit2, *SpinEdit3, *SpinEdit4, *SpinEdit5, *SpinEdit6, *SpinEdit7, *SpinEdit8,
        *SpinEdit9, *SpinEdit10, *SpinEdit11, *SpinEdit12, *SpinEdit13, *SpinEdit14, *SpinEdit15;
    TCheckBox *CheckBox1, *CheckBox2, *CheckBox3, *CheckBox4, *CheckBox5, *CheckBox6, *CheckBox7;
    TGroupBox* GroupBox2;
    TNotebook *Notebook1, *Notebook2;
    TToolButton *ToolButton9, *ToolButton10;

    // Hidden state.
    TLabel *Label31, *Label45, *Label49, *Label50, *Label51;
    TListBox *ListBox1, *ListBox2, *ListBox3, *ListBox4;
    TMemo* Memo1;

    // Menus.
    TMainMenu* MainMenu1;
    TMenuItem *File1, *StartCreate1, *CreateAll2, *CreateThumbnail1, *CreateImage1, *CreateHTML1, *PreviewInWebBrowser1,
        *Upload1, *ManualPaste1, *New1, *Open1, *Save1, *Saveas1, *Exit1;
    TMenuItem *Items1, *Newitems1, *Open2, *Save2, *Adddirectory1, *Addfiles1, *AddDropTarget1, *Delete1, *Invert1,
        *Selectall1, *Deselectall1, *Refresh1, *Sortby1, *Name1, *ExtName1, *PathName1, *PathExtName1, *DateTime1,
        *PathDateTime1, *menuitem3, *ViewOriginalImage1, *View1, *ViewThumbnai1;
    TMenuItem *Options1, *ListItems1, *Menuitem4, *Menuitem5, *Menuitem6, *Overwritefiles1, *Replace1, *Skip1, *Ask1,
        *SkipIfIdentical1, *Menuitem7, *Menuitem8, *menuitem10, *menuitem13, *menuitem17;
    TMenuItem *Help1, *PictavoHelp1, *PictavoHomepage1, *LicenseAgreement1, *AboutPictavo1;
    TPopupMenu *PopupMenu1, *PopupMenu2, *PopupMenu3;
    TMenuItem *Thumbnail1, *Images1, *HTMLPages1, *ShowHTMLPage1;
    TMenuItem *Moveitemup1, *Moveitemdown1, *Moveitemtop1, *Moveitembottom1, *MenuItem12, *PlaceHere1, *MenuItem15,
        *MenuItem16;
    TMenuItem *EditWith1, *EditWith2, *EditWith3, *CustomizeEditor1;

    // Dialogs: settings files and item lists each have their own, so a name
    // chosen for one kind never becomes the target of the other.
    TFileDialog *OpenDialog1, *SaveDialog1, *OpenItemsDialog, *SaveItemsDialog, *OpenPictureDialog1;

protected:
    void FormShow() override;
    void FormClose() override;

private:
    void BuildMenus();
    void BuildFileMenu();
    void BuildItemsMenu();
    void BuildOptionsAndHelpMenus();
    void BuildPopupMenus();
    void BuildToolBar();
    void BuildPages();
    void BuildSourcePage(QWidget* page);
    void BuildDestinationPage(QWidget* page);
    void BuildIndexPage(QWidget* page);
    void BuildImagePage(QWidget* page);
    void BuildImagesPage(QWidget* page);
    void BuildThumbnailGroup(QWidget* group);
    void BuildImageGroup(QWidget* group);
    void ConnectHandlers();
    void ConnectFileHandlers();
    void ConnectItemHandlers();
    void ConnectControlHandlers();
    // A handler of this window as a control's event.
    std::function<void(TComponent*)> Handler(void (TForm1::*handler)(TComponent*));

    // --- build driver (private), its phases in their order
    bool BuildMayStart();  // validation, destination, items
    bool ValidateBuildSettings();
    // The message of a validation rule that fails, "" when it holds.
    std::string ValidationFailure(TValidationKind kind, const std::string& text, const std::string& second,
                                  const std::string& message);
    bool DestinationOverwritesSource();
    bool DestinationCannotBeWritten();  // after its message
    TBuildRun PrepareBuild();
    bool MakeBuildItems(TBuildRun& run);  // false when stopped
    bool MakeBuildItem(TBuildRun& run, int item);
    TStepResult MakeImageStep(TBuildRun& run, int item, const std::string& fullPath, bool measuring);
    TStepResult MakeThumbnailStep(TBuildRun& run, const std::string& fullPath, const std::string& name, bool measuring);
    // One picture made by maker and written; its size (and colours) when it was.
    TStepResult MakeAndWritePicture(TBuildRun& run, TPictureMaker maker, const std::string& fullPath,
                                    const std::string& name, const TPictureOutput& output, int& width, int& height,
                                    int* colours);
    bool WriteBuildPicture(TBuildRun& run, TRasterDIB& picture, const std::string& source,
                           const std::string& relativeName, const TPictureOutput& output);
    // The image copy's name before case conversion; the thumbnail's name is made from it.
    std::string ImageCopyName(const std::string& fullPath, int number, const TPictureOutput& output) const;
    std::string ImageOutputName(const std::string& fullPath, int number, const TPictureOutput& output) const;
    std::string ThumbnailOutputName(const std::string& fullPath, int number, const TMakerSettings& settings) const;
    int RemoveFailedItems(const TBuildRun& run);
    TPagePlan NameBuildPages(TBuildRun& run);
    int CopyButtonPictures(const TBuildRun& run);
    void WriteBuildPages(const TBuildRun& run, const TPagePlan& plan);
    std::string WriteBuildFramePage(TBuildRun& run);
    int WriteBuildList(const TBuildRun& run);
    bool FinishBuild(const TBuildRun& run);  // true when the first page was opened
    // What the phases write beside the pictures.
    void CopyTemplatePictures(const std::string& templateName, const std::string& destinationFolder,
                              const std::vector<std::string>& relativeFolders);
    void CopyButtonPicture(const std::string& source, const std::string& destinationFolder, const std::string& relative,
                           const std::vector<std::string>& relativeFolders);
    void CopyBackgroundPictures(const std::string& destinationFolder);
    // What "%frameimage" points at: the first image page, or the image-page
    // name, or with a folder for a name the first image copy or page.
    std::string FrameImageAddress() const;
    std::string WriteFramePage(const std::string& destinationFolder, const std::string& firstIndexPage);
    int WriteGeneratedFilesList(TBuildMode mode, bool linksImages, const std::string& framePage);
    bool buildRunning_ = false;
    bool settingsFailureShown_ = false;  // pv.ini could not be written, and the user was told
    QWidget* buildView_ = nullptr;       // in the pages' place during a build
    // The button and background pictures this build copied into the
    // destination, relative to it, in copy order, each once.
    std::vector<std::string> copiedPictures_;
    void NoteCopiedPicture(const std::string& relativeName);

    std::unique_ptr<class TForm4> descriptionEditor_;
    int ShowDialog(TForm& form);
    TIniFile* ini_ = nullptr;  // open during ReadWriteSettings only
    // The rows chosen by "Move items to ...", by full path, for "Move items to here".
    std::vector<std::string> moveSources_;
    int listLineCounters_[10] = {};
};
