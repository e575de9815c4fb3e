// The kit's start-up objects: cursors, resource bitmaps, the settings
// component, the timer pool and the application object's single-instance mutex.
#include "widgets/kitapp.h"
#include "widgets/kitsysin.h"
#include "tests/support/Raises.h"
#include "tests/support/ScopedEnv.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {
class MutexFolder {
public:
    MutexFolder()
    {
        folder_ = testing::TempDir() + "kitmutex-" + std::to_string(getpid()) + "/";
        std::filesystem::create_directories(folder_);
        SetKitMutexFolder(folder_);
    }
    ~MutexFolder()
    {
        SetKitMutexFolder("");
        std::filesystem::remove_all(folder_);
    }

private:
    std::string folder_;
};

}  // namespace

TEST(KitStartup, CursorsAreRegisteredOnce)
{
    EXPECT_FALSE(ScreenCursor(crKitHand).has_value());
    RegisterKitCursors();
    EXPECT_EQ(ScreenCursor(crKitHand), Qt::PointingHandCursor);
    EXPECT_EQ(ScreenCursor(crKitDrag), Qt::ClosedHandCursor);
    SetScreenCursor(crKitHand, Qt::ArrowCursor);
    RegisterKitCursors();  // a second module start changes nothing
    EXPECT_EQ(ScreenCursor(crKitHand), Qt::ArrowCursor);
    EXPECT_FALSE(KitCursorResource("NO_SUCH_CURSOR").has_value());
}

TEST(KitStartup, ResourceBitmaps)
{
    const QImage trueType = KitBitmapResource("TRUETYPE_FNT");
    EXPECT_EQ(trueType.size(), QSize(16, 12));
    EXPECT_FALSE(KitBitmapResource("DEVICE_FNT").isNull());
    EXPECT_TRUE(KitLoadBitmap(true, "MISSING").isNull());
    EXPECT_EQ(testsupport::MessageOf([] { KitBitmapResource("MISSING"); }), "Resource MISSING not found");
    EXPECT_EQ(testsupport::MessageOf([] { KitBitmapResource(std::uint16_t{321}); }), "Resource 321 not found");
    EXPECT_EQ(testsupport::MessageOf([] { KitLoadBitmap(false, "OBM_CHECK"); }), "Resource OBM_CHECK not found");

    QImage own(2, 2, QImage::Format_RGB32);
    own.fill(Qt::red);
    RegisterKitBitmapResource("#321", own);
    EXPECT_EQ(KitBitmapResource(std::uint16_t{321}), own);
}

TEST(KitStartup, IniCtrlSetters)
{
    TKitIniCtrl ini(nullptr, "IniCtrl");
    EXPECT_FALSE(ini.AlphaCounter());
    EXPECT_TRUE(ini.Common);
    EXPECT_EQ(ini.MaxEntries(), 16);
    EXPECT_EQ(ini.IniPrefix, TKitPathPrefix::ppWindows);
    EXPECT_EQ(ini.RegRoot, TKitRegRootKey::rpCurrentUser);
    EXPECT_EQ(ini.Target(), TKitIniTarget::itAuto);
    EXPECT_EQ(ini.EffectiveTarget(), TKitIniTarget::itRegistry);
    EXPECT_EQ(ini.User, "");
    EXPECT_FALSE(ini.About.empty());

    ini.SetMaxEntries(40);
    EXPECT_EQ(ini.MaxEntries(), 40);
    ini.SetAlphaCounter(true);
    EXPECT_EQ(ini.MaxEntries(), 26);
    ini.SetMaxEntries(27);
    EXPECT_EQ(ini.MaxEntries(), 26);
    ini.SetMaxEntries(5);
    EXPECT_EQ(ini.MaxEntries(), 5);

    ini.SetIniFile("gallery");
    EXPECT_EQ(ini.IniFile(), "gallery.INI");
    ini.SetIniFile("gallery.");
    EXPECT_EQ(ini.IniFile(), "gallery.INI");
    ini.SetIniFile("pv.cfg");
    EXPECT_EQ(ini.IniFile(), "pv.cfg");

    ini.SetTarget(TKitIniTarget::itIniFile);
    EXPECT_EQ(ini.EffectiveTarget(), TKitIniTarget::itIniFile);
    ini.SetTarget(TKitIniTarget::itAuto);
    EXPECT_EQ(ini.EffectiveTarget(), TKitIniTarget::itRegistry);

    ini.SetNetUser(true);
    EXPECT_EQ(ini.User, KitUserName());
    EXPECT_FALSE(ini.User.empty());
    EXPECT_LE(ini.User.size(), 63u);
}

TEST(KitStartup, ApplicationObject)
{
    MutexFolder folder;
    TKitApplication app("/apps/gallery.exe");
    EXPECT_EQ(app.LogFileName(), "/apps/gallery.LOG");
    EXPECT_EQ(app.MutexName(), "gallery.exe");
    EXPECT_TRUE(app.MutexHeld());
    EXPECT_EQ(app.TimerPool().MinInterval(), 50u);
    EXPECT_FALSE(app.TimerPool().Running());
    EXPECT_EQ(app.IniCtrl().MaxEntries(), 16);
    EXPECT_GT(app.PerformanceFrequency(), 0);
    EXPECT_EQ(ScreenCursor(crKitApplication), Qt::DragMoveCursor);

    TKitApplication plain("/opt/pictavo/pictavo");
    EXPECT_EQ(plain.LogFileName(), "/opt/pictavo/pictavo.LOG");
}

TEST(KitStartup, SecondInstanceIsNoticed)
{
    MutexFolder folder;
    auto first = std::make_unique<TKitApplication>("/apps/gallery.exe");
    EXPECT_FALSE(first->SecondInstance());
    {
        TKitApplication second("/other/place/gallery.exe");  // the name alone decides
        EXPECT_TRUE(second.SecondInstance());
        EXPECT_FALSE(first->SecondInstance());
        TKitApplication otherProgram("/apps/viewer.exe");
        EXPECT_FALSE(otherProgram.SecondInstance());
    }

    // Another process sees it too.
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        TKitApplication copy("/apps/gallery.exe");
        _exit(copy.SecondInstance() ? 7 : 3);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 7);

    // While any copy lives the mutex exists: the first going away does not make a third "first".
    auto second = std::make_unique<TKitApplication>("/apps/gallery.exe");
    first.reset();
    TKitApplication third("/apps/gallery.exe");
    EXPECT_TRUE(third.SecondInstance());
    second.reset();
}

TEST(KitStartup, MutexIsGoneWithTheLastCopy)
{
    MutexFolder folder;
    {
        TKitApplication once("/apps/gallery.exe");
    }
    TKitApplication again("/apps/gallery.exe");
    EXPECT_FALSE(again.SecondInstance());
}

TEST(KitStartup, ModuleStartAndEndAreCounted)
{
    MutexFolder folder;
    EXPECT_EQ(KitApplication, nullptr);
    KitAppInitialize();
    TKitApplication* made = KitApplication;
    ASSERT_NE(made, nullptr);
    KitAppInitialize();
    EXPECT_EQ(KitApplication, made);
    KitAppFinalize();
    EXPECT_EQ(KitApplication, made);
    KitAppFinalize();
    EXPECT_EQ(KitApplication, nullptr);
    KitAppFinalize();  // unpaired: nothing happens
    EXPECT_EQ(KitApplication, nullptr);
}

// ---------------------------------------------------------------------------

namespace {
struct Fired {
    char Name;
    int Counter;
    int Tick;
    bool operator==(const Fired&) const = default;
};

class CountingTarget : public TKitTimerTarget {
public:
    bool Enabled = true;
    int Calls = 0;
    bool TimerEnabled() const override { return Enabled; }
    void TimerCallback(int, int) override { ++Calls; }
};

std::unique_ptr<TKitTimerPool> FastPool()
{
    auto pool = std::make_unique<TKitTimerPool>(nullptr, "Pool");
    EXPECT_EQ(pool->MinInterval(), 1000u);
    pool->SetMinInterval(5);  // not while running
    EXPECT_EQ(pool->MinInterval(), 1000u);
    pool->SetLoading(true);
    pool->SetMinInterval(5);
    pool->SetLoading(false);
    EXPECT_EQ(pool->MinInterval(), 5u);
    return pool;
}
}  // namespace

TEST(KitTimerPool, EntriesFireOnTheTicksTheirIntervalDivides)
{
    auto pool = FastPool();
    std::vector<Fired> log;
    TKitTimerPool* raw = pool.get();
    pool->Add(1, 1, 3, [&](TComponent* sender, int id, int counter) {
        EXPECT_EQ(sender, raw);
        EXPECT_EQ(id, 1);
        log.push_back({'A', counter, raw->Tick()});
    });
    pool->Add(2, 2, 0, [&](TComponent*, int, int counter) { log.push_back({'B', counter, raw->Tick()}); });
    pool->SetActive(true);
    EXPECT_TRUE(pool->Running());
    EXPECT_EQ(pool->Tick(), 1);
    ASSERT_TRUE(RunFor([&] { return pool->EntryCounter(2) >= 3; }, std::chrono::seconds(20)));
    pool->SetActive(false);
    EXPECT_FALSE(pool->Running());

    const std::vector<Fired> expected = {{'A', 1, 1}, {'A', 2, 2}, {'B', 1, 2}, {'A', 3, 3}, {'B', 2, 4}, {'B', 3, 6}};
    EXPECT_EQ(log.size(), expected.size());
    for (std::size_t i = 0; i < std::min(log.size(), expected.size()); ++i) {
        EXPECT_EQ(log[i].Name, expected[i].Name) << i;
        EXPECT_EQ(log[i].Counter, expected[i].Counter) << i;
        EXPECT_EQ(log[i].Tick, expected[i].Tick) << i;
    }
    EXPECT_FALSE(pool->EntryEnabled(1));  // reached its maximum count
    EXPECT_TRUE(pool->EntryEnabled(2));

    // Switched off, nothing more fires.
    const std::size_t before = log.size();
    RunFor([] { return false; }, std::chrono::milliseconds(40));
    EXPECT_EQ(log.size(), before);
}

TEST(KitTimerPool, NoEnabledEntryNoTimer)
{
    auto pool = FastPool();
    pool->SetActive(true);
    EXPECT_FALSE(pool->Running());
    pool->Add(1, 1, 0, [](TComponent*, int, int) {});
    pool->SetEntryEnabled(1, false);
    pool->SetActive(true);
    EXPECT_FALSE(pool->Running());
    pool->SetEntryEnabled(1, true);
    pool->SetActive(true);
    EXPECT_TRUE(pool->Running());
}

TEST(KitTimerPool, TargetsPoolEventAndReentry)
{
    auto pool = FastPool();
    CountingTarget enabled, disabled;
    disabled.Enabled = false;
    pool->AddTarget(1, 1, 0, &enabled);
    pool->AddTarget(2, 1, 0, &disabled);
    int poolEvents = 0;
    pool->OnTimer = [&](TComponent*, int id, int) {
        EXPECT_EQ(id, 3);
        ++poolEvents;
    };
    pool->Add(3, 1, 0);
    // The fourth entry waits inside its handler long enough for more timer
    // messages: they are ignored while it runs.
    int nested = 0, during = -1;
    pool->Add(4, 1, 1, [&](TComponent*, int, int) {
        ++nested;
        const int callsBefore = enabled.Calls;
        RunFor([] { return false; }, std::chrono::milliseconds(60));
        during = enabled.Calls - callsBefore;
    });
    pool->SetActive(true);
    ASSERT_TRUE(RunFor([&] { return enabled.Calls >= 4; }, std::chrono::seconds(20)));
    pool->SetActive(false);
    EXPECT_EQ(disabled.Calls, 0);
    EXPECT_GE(poolEvents, 3);
    EXPECT_EQ(nested, 1);
    EXPECT_EQ(during, 0);
    EXPECT_EQ(pool->EntryCounter(2), enabled.Calls);  // a disabled target still counts its firings
}

TEST(KitTimerPool, AHandlerMayRemoveEntries)
{
    auto pool = FastPool();
    int fired = 0;
    TKitTimerPool* raw = pool.get();
    pool->Add(1, 1, 0, [&](TComponent*, int, int) {
        ++fired;
        raw->Remove(1);
        raw->Remove(2);
    });
    pool->Add(2, 1, 0, [&](TComponent*, int, int) { ADD_FAILURE() << "removed before its turn"; });
    pool->Add(3, 0, 2, [&](TComponent*, int, int) { ++fired; });  // interval 0 counts as 1
    pool->SetActive(true);
    ASSERT_TRUE(RunFor([&] { return fired >= 3; }, std::chrono::seconds(20)));
    EXPECT_EQ(pool->Count(), 1);
}

// Without a runtime folder the lock lies in the user's private folder, which
// it makes with mode 0700 when it is missing; the settings later go to the
// same folder, so the lock must not be what makes it readable to others.
TEST(KitStartup, LockFolderIsTheUsersPrivateFolder)
{
    testsupport::TempDir home("pictavo-kithome");
    testsupport::ScopedEnv runtime("XDG_RUNTIME_DIR", nullptr);
    testsupport::ScopedEnv config("XDG_CONFIG_HOME", nullptr);
    testsupport::ScopedEnv homeVariable("HOME", home.path.c_str());
    ::umask(022);
    const std::string expected = home / ".config/pictavo/";
    EXPECT_EQ(KitMutexFolder(), expected);
    struct stat st {};
    ASSERT_EQ(::stat(expected.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0700u);
    // A relative runtime folder is no folder.
    testsupport::ScopedEnv relative("XDG_RUNTIME_DIR", "run");
    EXPECT_EQ(KitMutexFolder(), expected);
}
