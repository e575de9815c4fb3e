#pragma once
// Start-up objects of the component kit: the screen cursors it adds, bitmaps
// from the program's resources, the settings component TKitIniCtrl, the
// timer pool TKitTimerPool and the per-process TKitApplication with its
// single-instance mutex.

#include "platform/core/Exception.h"
#include "platform/messages/Messages.h"
#include "widgets/kitcompo.h"

#include <QImage>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

// ---------------------------------------------------------------------------
// Screen cursors

constexpr int crKitHand = 14000;        // "FC_HANDCUR"
constexpr int crKitDrag = 14001;        // "FC_DRAGCUR"
constexpr int crKitApplication = -255;  // cursor resource 16548

// The cursors the program carries as resources, by name or by number.
std::optional<Qt::CursorShape> KitCursorResource(const std::string& name);
std::optional<Qt::CursorShape> KitCursorResource(int number);
// The screen's cursor table; an id that was never set has no cursor.
void SetScreenCursor(int id, Qt::CursorShape shape);
std::optional<Qt::CursorShape> ScreenCursor(int id);
// Sets the kit's two cursors; runs once however often it is called.
void RegisterKitCursors();

// ---------------------------------------------------------------------------
// Bitmaps from resources

class EResNotFound : public Exception {
public:
    using Exception::Exception;
};

// The program's bitmap resources ("TRUETYPE_FNT", "DEVICE_FNT" are built in).
void RegisterKitBitmapResource(const std::string& name, const QImage& bitmap);
// fromProgram false asks for a system bitmap by name: there are none here, so
// it raises EResNotFound "Resource %s not found". From the program a missing
// resource gives a null picture.
QImage KitLoadBitmap(bool fromProgram, const std::string& name);
QImage KitLoadBitmap(std::uint16_t number);
// The callers' form: a missing resource raises "Resource <name> not found".
QImage KitBitmapResource(const std::string& name);
QImage KitBitmapResource(std::uint16_t number);

// ---------------------------------------------------------------------------
// TKitIniCtrl

enum class TKitPathPrefix { ppNone, ppWindows, ppSystem, ppProgram };
enum class TKitRegRootKey { rpClassesRoot, rpCurrentUser, rpLocalMachine, rpUsers, rpCurrentConfig, rpDynData };
enum class TKitIniTarget { itIniFile, itRegistry, itAuto };

class TKitIniCtrl : public TKitComponent {
public:
    using TKitComponent::TKitComponent;

    bool AlphaCounter() const { return alphaCounter_; }
    void SetAlphaCounter(bool on);
    bool Common = true;
    const std::string& IniFile() const { return iniFile_; }
    void SetIniFile(const std::string& name);
    TKitPathPrefix IniPrefix = TKitPathPrefix::ppWindows;
    std::uint8_t MaxEntries() const { return maxEntries_; }
    void SetMaxEntries(std::uint8_t count);
    bool NetUser() const { return netUser_; }
    void SetNetUser(bool on);
    std::string User;
    std::string RegPath;
    TKitRegRootKey RegRoot = TKitRegRootKey::rpCurrentUser;
    TKitIniTarget Target() const { return target_; }
    void SetTarget(TKitIniTarget target);
    // The target in effect: "auto" counts as the registry.
    TKitIniTarget EffectiveTarget() const { return effectiveTarget_; }

private:
    bool alphaCounter_ = false;
    std::string iniFile_;
    std::uint8_t maxEntries_ = 16;
    bool netUser_ = false;
    TKitIniTarget target_ = TKitIniTarget::itAuto;
    TKitIniTarget effectiveTarget_ = TKitIniTarget::itRegistry;
};

// ---------------------------------------------------------------------------
// TKitTimerPool: many timers on one window timer. Every MinInterval
// milliseconds the tick counter advances; an entry fires on the ticks its
// interval divides.

class EOutOfResources : public Exception {
public:
    using Exception::Exception;
};

using TKitTimerPoolEvent = std::function<void(TComponent* Sender, int Id, int Counter)>;

// An object that entries without an event call back.
class TKitTimerTarget {
public:
    virtual ~TKitTimerTarget() = default;
    virtual bool TimerEnabled() const { return true; }
    virtual void TimerCallback(int id, int counter) = 0;
};

class TKitTimerPool : public TKitComponent {
public:
    TKitTimerPool(TComponent* owner, std::string name, unsigned minInterval = 1000);
    ~TKitTimerPool() override;

    unsigned MinInterval() const { return minInterval_; }
    // Takes effect only while the pool is being loaded.
    void SetMinInterval(unsigned milliseconds);
    TKitTimerPoolEvent OnTimer;  // for entries with neither an event nor a target

    // intervalTicks below 1 counts as 1; maxCount 0 = unlimited.
    void Add(int id, int intervalTicks, int maxCount, TKitTimerPoolEvent event = nullptr);
    void AddTarget(int id, int intervalTicks, int maxCount, TKitTimerTarget* target);
    void Remove(int id);
    int Count() const { return static_cast<int>(entries_.size()); }
    bool EntryEnabled(int id) const;
    void SetEntryEnabled(int id, bool enabled);
    int EntryCounter(int id) const;

    // Switching on sets the window timer when an entry is enabled; raises
    // EOutOfResources "Not enough timers available" when it cannot.
    void SetActive(bool on);
    bool Running() const { return running_; }
    int Tick() const { return tick_; }
    HWND Handle() const { return handle_; }

private:
    struct Entry {
        bool Enabled = true;
        int Id = 0;
        int Interval = 1;
        int Counter = 0;
        int MaxCount = 0;
        TKitTimerPoolEvent Event;
        TKitTimerTarget* Target = nullptr;
    };
    void WndProc(TMessage& message);
    void Fire(std::size_t index);
    Entry* Find(int id);
    const Entry* Find(int id) const;

    unsigned minInterval_;
    std::vector<Entry> entries_;
    int tick_ = 0;
    bool running_ = false;
    bool inTimer_ = false;
    HWND handle_ = 0;
};

// ---------------------------------------------------------------------------
// TKitApplication

class TKitApplication : public TComponent {
public:
    // programPath: the running program's file (empty = this executable).
    explicit TKitApplication(const std::string& programPath = "");
    ~TKitApplication() override;

    TKitIniCtrl& IniCtrl() { return *iniCtrl_; }
    TKitTimerPool& TimerPool() { return *timerPool_; }
    // Another copy of the program held the mutex when this one started.
    bool SecondInstance() const { return secondInstance_; }
    bool MutexHeld() const { return mutexFd_ >= 0; }
    const std::string& MutexName() const { return mutexName_; }
    const std::string& LogFileName() const { return logFileName_; }
    std::int64_t PerformanceFrequency() const { return frequency_; }

private:
    std::unique_ptr<TKitIniCtrl> iniCtrl_;
    std::unique_ptr<TKitTimerPool> timerPool_;
    int mutexFd_ = -1;
    bool secondInstance_ = false;
    std::string mutexName_;
    std::string logFileName_;
    std::int64_t frequency_ = 0;
};

// Where the single-instance lock files lie: $XDG_RUNTIME_DIR, else the
// user's private folder for the program (made with mode 0700), else "" (no
// lock). Tests point it elsewhere (empty = back to the default).
std::string KitMutexFolder();
void SetKitMutexFolder(const std::string& folder);

// The kit's module start and end: the first start registers the cursors and
// creates the application object, the matching last end frees it.
void KitAppInitialize();
void KitAppFinalize();
extern TKitApplication* KitApplication;

// The kit's start-up and shutdown in one object: the program makes one
// before its main window (cursors, application object, the program-wide
// container) and frees it after, which undoes them in reverse order.
class TKitStartup {
public:
    TKitStartup();
    ~TKitStartup();
    TKitStartup(const TKitStartup&) = delete;
    TKitStartup& operator=(const TKitStartup&) = delete;
};
