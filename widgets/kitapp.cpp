#include "widgets/kitapp.h"

#include "platform/system/System.h"
#include "widgets/kitsysin.h"
#include "widgets/kitutils.h"

#include <QPainter>

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <fcntl.h>
#include <map>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

// ---------------------------------------------------------------------------
// Cursors

namespace {
std::map<int, Qt::CursorShape>& ScreenCursors()
{
    static std::map<int, Qt::CursorShape> cursors;
    return cursors;
}
}  // namespace

std::optional<Qt::CursorShape> KitCursorResource(const std::string& name)
{
    if (name == "FC_HANDCUR") return Qt::PointingHandCursor;
    if (name == "FC_DRAGCUR") return Qt::ClosedHandCursor;
    return std::nullopt;
}

std::optional<Qt::CursorShape> KitCursorResource(int number)
{
    if (number == 16548) return Qt::DragMoveCursor;
    return std::nullopt;
}

void SetScreenCursor(int id, Qt::CursorShape shape) { ScreenCursors()[id] = shape; }

std::optional<Qt::CursorShape> ScreenCursor(int id)
{
    auto it = ScreenCursors().find(id);
    if (it == ScreenCursors().end()) return std::nullopt;
    return it->second;
}

void RegisterKitCursors()
{
    static bool done = false;
    if (done) return;
    done = true;
    // A missing resource leaves that screen cursor unset.
    if (auto hand = KitCursorResource("FC_HANDCUR")) SetScreenCursor(crKitHand, *hand);
    if (auto drag = KitCursorResource("FC_DRAGCUR")) SetScreenCursor(crKitDrag, *drag);
}

// ---------------------------------------------------------------------------
// Bitmap resources

namespace {
// The two small pictures of the font list: a "T" for outline fonts and a
// printer-like block for device fonts, 16 x 12 on silver.
QImage DrawFontBitmap(bool trueType)
{
    QImage image(16, 12, QImage::Format_RGB32);
    image.fill(qRgb(192, 192, 192));
    const QRgb ink = trueType ? qRgb(0, 0, 128) : qRgb(0, 0, 0);
    if (trueType) {
        for (int x = 2; x < 11; ++x) image.setPixel(x, 1, ink);
        for (int y = 1; y < 11; ++y) image.setPixel(6, y, ink);
        for (int x = 7; x < 15; ++x) image.setPixel(x, 4, qRgb(128, 128, 128));
        for (int y = 4; y < 11; ++y) image.setPixel(10, y, qRgb(128, 128, 128));
    } else {
        for (int y = 3; y < 10; ++y)
            for (int x = 2; x < 14; ++x)
                if (y == 3 || y == 9 || x == 2 || x == 13) image.setPixel(x, y, ink);
    }
    return image;
}

std::map<std::string, QImage>& BitmapResources()
{
    static std::map<std::string, QImage> resources = {
        {"TRUETYPE_FNT", DrawFontBitmap(true)},
        {"DEVICE_FNT", DrawFontBitmap(false)},
    };
    return resources;
}

std::string ResourceNotFound(const std::string& name) { return "Resource " + name + " not found"; }
}  // namespace

void RegisterKitBitmapResource(const std::string& name, const QImage& bitmap) { BitmapResources()[name] = bitmap; }

QImage KitLoadBitmap(bool fromProgram, const std::string& name)
{
    if (!fromProgram) throw EResNotFound(ResourceNotFound(name));  // this system has no built-in bitmaps
    auto it = BitmapResources().find(name);
    return it == BitmapResources().end() ? QImage() : it->second;
}

QImage KitLoadBitmap(std::uint16_t number) { return KitLoadBitmap(true, "#" + std::to_string(number)); }

QImage KitBitmapResource(const std::string& name)
{
    QImage image = KitLoadBitmap(true, name);
    if (image.isNull()) throw EResNotFound(ResourceNotFound(name));
    return image;
}

QImage KitBitmapResource(std::uint16_t number)
{
    QImage image = KitLoadBitmap(number);
    if (image.isNull()) throw EResNotFound(ResourceNotFound(std::to_string(number)));
    return image;
}

// ---------------------------------------------------------------------------
// TKitIniCtrl

void TKitIniCtrl::SetAlphaCounter(bool on)
{
    alphaCounter_ = on;
    if (on && maxEntries_ > 26) maxEntries_ = 26;  // one letter per entry
}

void TKitIniCtrl::SetIniFile(const std::string& name)
{
    iniFile_ = name;
    if (name.empty()) return;
    const std::string ext = ExtractFileExt(name);
    if (ext.size() > 1 && !IsBlank(ext.substr(1))) return;
    if (name.back() == '.')
        iniFile_ += "INI";
    else
        iniFile_ += ".INI";
}

void TKitIniCtrl::SetMaxEntries(std::uint8_t count)
{
    if (alphaCounter_ && count > 26) return;
    maxEntries_ = count;
}

void TKitIniCtrl::SetNetUser(bool on)
{
    netUser_ = on;
    if (on) User = KitUserName();
}

void TKitIniCtrl::SetTarget(TKitIniTarget target)
{
    target_ = target;
    effectiveTarget_ = target == TKitIniTarget::itAuto ? TKitIniTarget::itRegistry : target;
}

// ---------------------------------------------------------------------------
// TKitTimerPool

namespace {
constexpr WPARAM PoolTimerId = 1;
}

TKitTimerPool::TKitTimerPool(TComponent* owner, std::string name, unsigned minInterval)
    : TKitComponent(owner, std::move(name)), minInterval_(minInterval)
{
}

TKitTimerPool::~TKitTimerPool()
{
    if (handle_) {
        KillTimer(handle_, PoolTimerId);
        running_ = false;
    }
    while (!entries_.empty()) entries_.pop_back();  // freed from the last
    if (handle_) DeallocateHWnd(handle_);
}

void TKitTimerPool::SetMinInterval(unsigned milliseconds)
{
    if (Loading()) minInterval_ = milliseconds;
}

void TKitTimerPool::Add(int id, int intervalTicks, int maxCount, TKitTimerPoolEvent event)
{
    Entry entry;
    entry.Id = id;
    entry.Interval = intervalTicks < 1 ? 1 : intervalTicks;  // an interval of 0 would divide by zero
    entry.MaxCount = maxCount < 0 ? 0 : maxCount;
    entry.Event = std::move(event);
    entries_.push_back(std::move(entry));
}

void TKitTimerPool::AddTarget(int id, int intervalTicks, int maxCount, TKitTimerTarget* target)
{
    Add(id, intervalTicks, maxCount);
    entries_.back().Target = target;
}

void TKitTimerPool::Remove(int id)
{
    for (std::size_t i = 0; i < entries_.size(); ++i)
        if (entries_[i].Id == id) {
            entries_.erase(entries_.begin() + static_cast<std::ptrdiff_t>(i));
            return;
        }
}

TKitTimerPool::Entry* TKitTimerPool::Find(int id)
{
    for (auto& entry : entries_)
        if (entry.Id == id) return &entry;
    return nullptr;
}

const TKitTimerPool::Entry* TKitTimerPool::Find(int id) const
{
    for (const auto& entry : entries_)
        if (entry.Id == id) return &entry;
    return nullptr;
}

bool TKitTimerPool::EntryEnabled(int id) const
{
    const Entry* entry = Find(id);
    return entry && entry->Enabled;
}

void TKitTimerPool::SetEntryEnabled(int id, bool enabled)
{
    if (Entry* entry = Find(id)) entry->Enabled = enabled;
}

int TKitTimerPool::EntryCounter(int id) const
{
    const Entry* entry = Find(id);
    return entry ? entry->Counter : 0;
}

void TKitTimerPool::SetActive(bool on)
{
    if (!handle_) handle_ = AllocateHWnd([this](TMessage& message) { WndProc(message); });
    KillTimer(handle_, PoolTimerId);
    running_ = false;
    if (!on) return;
    const bool anyEnabled = std::any_of(entries_.begin(), entries_.end(), [](const Entry& e) { return e.Enabled; });
    if (!anyEnabled) return;
    if (!SetTimer(handle_, PoolTimerId, minInterval_)) throw EOutOfResources("Not enough timers available");
    tick_ = 1;
    running_ = true;
}

void TKitTimerPool::WndProc(TMessage& message)
{
    if (message.Msg != WM_TIMER || inTimer_) return;
    inTimer_ = true;
    Dispatch([this]() {
        // By index: a handler may add or remove entries.
        for (std::size_t i = 0; i < entries_.size(); ++i)
            if (entries_[i].Enabled && tick_ % entries_[i].Interval == 0) Fire(i);
    });
    tick_ = tick_ == INT_MAX ? 0 : tick_ + 1;
    inTimer_ = false;
}

void TKitTimerPool::Fire(std::size_t index)
{
    Entry& entry = entries_[index];
    entry.Counter = entry.Counter == INT_MAX ? 0 : entry.Counter + 1;
    if (entry.MaxCount != 0 && entry.Counter == entry.MaxCount) entry.Enabled = false;
    const int id = entry.Id, counter = entry.Counter;
    // Copies: the handler may remove this very entry.
    const TKitTimerPoolEvent event = entry.Event;
    TKitTimerTarget* target = entry.Target;
    if (event)
        event(this, id, counter);
    else if (target) {
        if (target->TimerEnabled()) target->TimerCallback(id, counter);
    } else if (OnTimer) {
        OnTimer(this, id, counter);
    }
}

// ---------------------------------------------------------------------------
// TKitApplication

namespace {
std::string& MutexFolderOverride()
{
    static std::string folder;
    return folder;
}

std::string ExecutablePath()
{
    char buffer[4096];
    const ssize_t length = readlink("/proc/self/exe", buffer, sizeof buffer - 1);
    return length > 0 ? std::string(buffer, static_cast<std::size_t>(length)) : std::string("pictavo");
}
}  // namespace

std::string KitMutexFolder()
{
    if (!MutexFolderOverride().empty()) return MutexFolderOverride();
    if (const char* runtime = std::getenv("XDG_RUNTIME_DIR"); runtime && runtime[0] == '/' && DirectoryExists(runtime))
        return IncludeTrailingPathDelimiter(runtime);
    // Else the user's own private folder, the one the settings go to when the
    // program folder cannot take them; never a folder users share, such as /tmp.
    const std::string folder = UserConfigFolder();
    return !folder.empty() && ForcePrivateDirectories(folder) ? folder : std::string();
}

void SetKitMutexFolder(const std::string& folder)
{
    MutexFolderOverride() = folder.empty() ? std::string() : IncludeTrailingPathDelimiter(folder);
}

TKitApplication::TKitApplication(const std::string& programPath) : TComponent(nullptr, "KitApplication")
{
    iniCtrl_ = std::make_unique<TKitIniCtrl>(nullptr, "IniCtrl");

    const std::string program = programPath.empty() ? ExecutablePath() : programPath;
    // The mutex: a lock file named after the program. Every copy holds it
    // shared; a copy that cannot take it exclusively at start is not the first.
    mutexName_ = ExtractFileName(program);
    // Without a private folder there is no lock: every copy counts as the first.
    const std::string folder = KitMutexFolder();
    const std::string lockFile = folder + mutexName_ + ".lock";
    mutexFd_ = folder.empty() ? -1 : open(lockFile.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (mutexFd_ >= 0) {
        if (flock(mutexFd_, LOCK_EX | LOCK_NB) == 0) {
            flock(mutexFd_, LOCK_SH);
        } else {
            secondInstance_ = true;
            flock(mutexFd_, LOCK_SH | LOCK_NB);
        }
    }

    timerPool_ = std::make_unique<TKitTimerPool>(nullptr, "TimerPool", 50);
    logFileName_ = ExtractFilePath(program) + ChangeFileExt(ExtractFileName(program), ".LOG");
    frequency_ = 1000000000;  // the monotonic clock counts nanoseconds
    if (auto cursor = KitCursorResource(16548)) SetScreenCursor(crKitApplication, *cursor);
}

TKitApplication::~TKitApplication()
{
    iniCtrl_.reset();
    timerPool_.reset();
    if (mutexFd_ >= 0) close(mutexFd_);  // closing gives the lock up
}

TKitApplication* KitApplication = nullptr;

namespace {
int gKitAppReferences = 0;
std::unique_ptr<TKitApplication>& KitApplicationHolder()
{
    static std::unique_ptr<TKitApplication> holder;
    return holder;
}
}  // namespace

void KitAppInitialize()
{
    if (gKitAppReferences++ != 0) return;
    RegisterKitCursors();
    KitApplicationHolder() = std::make_unique<TKitApplication>();
    KitApplication = KitApplicationHolder().get();
}

void KitAppFinalize()
{
    if (gKitAppReferences == 0 || --gKitAppReferences != 0) return;
    KitApplication = nullptr;
    KitApplicationHolder().reset();
}
