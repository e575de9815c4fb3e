// The global hot key without an X11 display: application-wide shortcuts, the
// identifier atom, the message route and failing handlers.
#include "KitTestSupport.h"
#include "widgets/kitnwgui.h"

#include <QApplication>
#include <QKeyEvent>
#include <QWidget>

#include <gtest/gtest.h>

namespace {

// A window of the program that counts the key presses it is given.
class KeyCatcher : public QWidget {
public:
    int Seen = 0;

protected:
    void keyPressEvent(QKeyEvent* event) override
    {
        ++Seen;
        QWidget::keyPressEvent(event);
    }
};

class KitHotKey : public testing::Test {
protected:
    static void SetUpTestSuite() { app_ = std::make_unique<TApplication>(argc_, argv_); }
    static void TearDownTestSuite() { app_.reset(); }
    void SetUp() override { widget_ = std::make_unique<KeyCatcher>(); }
    void TearDown() override { SetMessageHook(nullptr); }

    // A key press sent to one of the program's widgets; true when a hot key
    // took it before the widget saw it.
    bool Press(int qtKey, Qt::KeyboardModifiers modifiers)
    {
        const int before = widget_->Seen;
        QKeyEvent event(QEvent::KeyPress, qtKey, modifiers);
        QApplication::sendEvent(widget_.get(), &event);
        QCoreApplication::processEvents();
        return widget_->Seen == before;
    }

    std::unique_ptr<KeyCatcher> widget_;
    static inline std::unique_ptr<TApplication> app_;
    static inline int argc_ = 1;
    static inline char arg0_[] = "kithotkeytest";
    static inline char* argv_[] = {arg0_, nullptr};
};

}  // namespace

TEST_F(KitHotKey, ShortCutNumbersAreTheFrameworks)
{
    EXPECT_EQ(ShortCut('1', ssAlt), 32817);
    EXPECT_EQ(ShortCut(0x25, ssAlt), 32805);
    std::uint16_t key = 0;
    TShiftState shift = 0;
    ShortCutToKey(ShortCut('1', ssCtrl | ssShift), key, shift);
    EXPECT_EQ(key, '1');
    EXPECT_EQ(shift, ssCtrl | ssShift);
}

TEST_F(KitHotKey, ApplicationWideShortcutFires)
{
    auto hotKey = std::make_unique<TKitGlobalHotKey>(nullptr, "PVCut5");
    EXPECT_EQ(hotKey->Mode(), THotKeyMode::ApplicationWide);
    EXPECT_TRUE(hotKey->Active());
    EXPECT_FALSE(hotKey->Registered());  // nothing is held while HotKey is 0
    int count = 0;
    std::uint16_t gotKey = 0;
    TShiftState gotShift = 0;
    hotKey->OnKeyDown = [&](TComponent* sender, std::uint16_t& key, TShiftState shift) {
        EXPECT_EQ(sender, hotKey.get());
        ++count;
        gotKey = key;
        gotShift = shift;
    };
    hotKey->SetHotKey(ShortCut('1', ssCtrl | ssShift));
    ASSERT_TRUE(hotKey->Registered());

    // Shift+1 arrives as "!" on the common layout; either spelling is the digit key.
    EXPECT_TRUE(Press(Qt::Key_Exclam, Qt::ControlModifier | Qt::ShiftModifier));
    ASSERT_TRUE(PumpUntil([&] { return count == 1; }));
    EXPECT_EQ(gotKey, '1');
    EXPECT_EQ(gotShift, ssCtrl | ssShift);
    EXPECT_TRUE(Press(Qt::Key_1, Qt::ControlModifier | Qt::ShiftModifier));
    ASSERT_TRUE(PumpUntil([&] { return count == 2; }));

    // Other combinations pass on to the widget.
    EXPECT_FALSE(Press(Qt::Key_1, Qt::ControlModifier));
    EXPECT_FALSE(Press(Qt::Key_2, Qt::ControlModifier | Qt::ShiftModifier));
    EXPECT_EQ(count, 2);
}

TEST_F(KitHotKey, SameCombinationTwiceAndActiveSwitching)
{
    auto first = std::make_unique<TKitGlobalHotKey>(nullptr, "First");
    auto second = std::make_unique<TKitGlobalHotKey>(nullptr, "Second");
    int one = 0, two = 0;
    first->OnKeyDown = [&](TComponent*, std::uint16_t&, TShiftState) { ++one; };
    second->OnKeyDown = [&](TComponent*, std::uint16_t&, TShiftState) { ++two; };
    first->SetHotKey(ShortCut(0x25, ssAlt));
    second->SetHotKey(ShortCut(0x25, ssAlt));
    EXPECT_TRUE(first->Registered());
    EXPECT_FALSE(second->Registered());
    Press(Qt::Key_Left, Qt::AltModifier);
    ASSERT_TRUE(PumpUntil([&] { return one == 1; }));
    EXPECT_EQ(two, 0);

    first->SetActive(false);
    EXPECT_FALSE(Press(Qt::Key_Left, Qt::AltModifier));
    EXPECT_EQ(one, 1);
    first->SetActive(true);
    EXPECT_TRUE(first->Registered());
    Press(Qt::Key_Left, Qt::AltModifier);
    ASSERT_TRUE(PumpUntil([&] { return one == 2; }));

    // Freeing the first lets the combination be registered again.
    first.reset();
    second->SetHotKey(0);
    second->SetHotKey(ShortCut(0x25, ssAlt));
    EXPECT_TRUE(second->Registered());
    Press(Qt::Key_Left, Qt::AltModifier);
    ASSERT_TRUE(PumpUntil([&] { return two == 1; }));
}

TEST_F(KitHotKey, ChangingTheCombinationGivesTheOldOneUp)
{
    auto hotKey = std::make_unique<TKitGlobalHotKey>(nullptr, "PVCut6");
    int count = 0;
    hotKey->OnKeyDown = [&](TComponent*, std::uint16_t&, TShiftState) { ++count; };
    hotKey->SetHotKey(ShortCut('2', ssAlt));
    hotKey->SetHotKey(ShortCut('3', ssAlt));
    EXPECT_FALSE(Press(Qt::Key_2, Qt::AltModifier));
    Press(Qt::Key_3, Qt::AltModifier);
    ASSERT_TRUE(PumpUntil([&] { return count == 1; }));

    auto other = std::make_unique<TKitGlobalHotKey>(nullptr, "Other");
    other->SetHotKey(ShortCut('2', ssAlt));
    EXPECT_TRUE(other->Registered());

    hotKey->SetHotKey(0);
    EXPECT_FALSE(hotKey->Registered());
    EXPECT_FALSE(Press(Qt::Key_3, Qt::AltModifier));
}

TEST_F(KitHotKey, HotKeyReadFromAFormIsHeldAtOnce)
{
    // Reading the stored description sets HotKey with Active already true.
    auto hotKey = std::make_unique<TKitGlobalHotKey>(nullptr, "PVCut3");
    hotKey->SetLoading(true);
    hotKey->SetHotKey(32817);  // Alt+1 as stored
    hotKey->SetLoading(false);
    EXPECT_TRUE(hotKey->Registered());
    int count = 0;
    hotKey->OnKeyDown = [&](TComponent*, std::uint16_t& key, TShiftState shift) {
        EXPECT_EQ(key, '1');
        EXPECT_EQ(shift, ssAlt);
        ++count;
    };
    EXPECT_TRUE(Press(Qt::Key_1, Qt::AltModifier));
    ASSERT_TRUE(PumpUntil([&] { return count == 1; }));
}

TEST_F(KitHotKey, IdentifierAtomNamesTheComponentAndGoesWithIt)
{
    ATOM atom = 0;
    std::string name;
    {
        auto hotKey = std::make_unique<TKitGlobalHotKey>(nullptr, "PVCut2");
        atom = hotKey->Identifier();
        name = std::to_string(reinterpret_cast<std::uintptr_t>(hotKey.get()));
        EXPECT_GE(atom, 0xC000);
        EXPECT_EQ(GlobalGetAtomName(atom), name);
        EXPECT_EQ(GlobalFindAtom(name), atom);
        EXPECT_TRUE(IsWindowHandle(hotKey->Handle()));
    }
    EXPECT_EQ(GlobalFindAtom(name), 0);
}

TEST_F(KitHotKey, AtomTableCountsNames)
{
    const ATOM a = GlobalAddAtom("Kit.Test");
    EXPECT_EQ(GlobalAddAtom("kit.test"), a);  // case does not matter
    EXPECT_EQ(GlobalDeleteAtom(a), 0);
    EXPECT_EQ(GlobalFindAtom("Kit.Test"), a);  // still counted once
    EXPECT_EQ(GlobalDeleteAtom(a), 0);
    EXPECT_EQ(GlobalFindAtom("Kit.Test"), 0);
    EXPECT_EQ(GlobalDeleteAtom(a), a);
    EXPECT_EQ(GlobalAddAtom(""), 0);
}

TEST_F(KitHotKey, FailingHandlerIsReportedAndTheHotKeyStaysUsable)
{
    std::vector<std::string> shown;
    SetMessageHook([&](const TMessageRequest& request) {
        shown.push_back(request.Text);
        return TModal::Ok;
    });
    auto hotKey = std::make_unique<TKitGlobalHotKey>(nullptr, "PVCut9");
    int count = 0;
    hotKey->OnKeyDown = [&](TComponent*, std::uint16_t&, TShiftState) {
        ++count;
        if (count == 1) throw Exception("clipboard is busy");
    };
    hotKey->SetHotKey(ShortCut('5', ssAlt));
    Press(Qt::Key_5, Qt::AltModifier);
    ASSERT_TRUE(PumpUntil([&] { return count == 1; }));
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0], "clipboard is busy");
    Press(Qt::Key_5, Qt::AltModifier);
    ASSERT_TRUE(PumpUntil([&] { return count == 2; }));
    EXPECT_EQ(shown.size(), 1u);
}

TEST_F(KitHotKey, KeyTranslations)
{
    EXPECT_EQ(KeySymOfVirtualKey('1'), 0x31u);
    EXPECT_EQ(KeySymOfVirtualKey('A'), 0x61u);
    EXPECT_EQ(KeySymOfVirtualKey(0x25), 0xff51u);
    EXPECT_EQ(KeySymOfVirtualKey(0x28), 0xff54u);
    EXPECT_EQ(KeySymOfVirtualKey(0x70), 0xffbeu);
    EXPECT_EQ(KeySymOfVirtualKey(0xE5), 0u);
    EXPECT_EQ(VirtualKeyOfQtKey(Qt::Key_Up), 0x26u);
    EXPECT_EQ(VirtualKeyOfQtKey(Qt::Key_F12), 0x7Bu);
    EXPECT_EQ(VirtualKeyOfQtKey(Qt::Key_ParenRight), static_cast<unsigned>('0'));
    EXPECT_EQ(VirtualKeyOfQtKey(Qt::Key_Shift), 0u);
}

TEST(KitHotKeyWithoutApplication, NothingCanBeRegistered)
{
    // No GUI application in this process yet? Then registration must fail quietly.
    if (QCoreApplication::instance()) GTEST_SKIP() << "an application exists in this process";
    auto hotKey = std::make_unique<TKitGlobalHotKey>(nullptr, "Lonely");
    EXPECT_EQ(hotKey->Mode(), THotKeyMode::None);
    hotKey->SetHotKey(ShortCut('1', ssAlt));
    EXPECT_FALSE(hotKey->Registered());
}
