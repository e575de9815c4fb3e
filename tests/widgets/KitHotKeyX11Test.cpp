// The global hot key on a real X server (Xvfb): key grabs on the root window,
// keys sent with xdotool, and a second client that competes for the keys.
#include "KitTestSupport.h"
#include "widgets/kitnwgui.h"

#include <gtest/gtest.h>

namespace {

class KitHotKeyX11 : public X11Suite {
protected:
    static void SetUpTestSuite()
    {
        if (StartX11({"xdotool"}) && CurrentHotKeyMode() != THotKeyMode::SystemWide)
            GiveUp("Qt did not open the X display (is the xcb platform plug-in installed?)");
    }

    static bool Send(const std::string& keys) { return RunProgram({"xdotool", "key", keys}) == 0; }

    // Returns once every key sent before has been handled: the server hands
    // one client its key events in order, so when a last hot key of our own
    // has arrived, no earlier press is still on its way.
    static bool Settle()
    {
        TKitGlobalHotKey sentinel(nullptr, "Sentinel");
        bool arrived = false;
        sentinel.OnKeyDown = [&](TComponent*, std::uint16_t&, TShiftState) { arrived = true; };
        sentinel.SetHotKey(ShortCut('9', ssCtrl | ssAlt));
        return sentinel.Registered() && Send("ctrl+alt+9") && PumpUntil([&] { return arrived; });
    }
};

struct Presses {
    int Count = 0;
    std::uint16_t Key = 0;
    TShiftState Shift = 0;
    TComponent* Sender = nullptr;
    TKitKeyEvent Handler()
    {
        return [this](TComponent* sender, std::uint16_t& key, TShiftState shift) {
            ++Count;
            Key = key;
            Shift = shift;
            Sender = sender;
        };
    }
};

}  // namespace

TEST_F(KitHotKeyX11, CtrlShiftDigitFiresWithKeyAndShiftState)
{
    auto hotKey = std::make_unique<TKitGlobalHotKey>(nullptr, "PVCut5");
    Presses presses;
    hotKey->OnKeyDown = presses.Handler();
    EXPECT_EQ(hotKey->Mode(), THotKeyMode::SystemWide);
    hotKey->SetHotKey(ShortCut('1', ssCtrl | ssShift));
    ASSERT_TRUE(hotKey->Registered());

    ASSERT_TRUE(Send("ctrl+shift+1"));
    ASSERT_TRUE(PumpUntil([&] { return presses.Count > 0; })) << "the hot key never arrived";
    EXPECT_EQ(presses.Key, '1');
    EXPECT_EQ(presses.Shift, ssCtrl | ssShift);
    EXPECT_EQ(presses.Sender, hotKey.get());

    // The digit without the modifiers, or with others, is not the hot key.
    ASSERT_TRUE(Send("ctrl+1"));
    ASSERT_TRUE(Send("ctrl+shift+1"));
    ASSERT_TRUE(Settle());
    EXPECT_EQ(presses.Count, 2);
}

TEST_F(KitHotKeyX11, LockKeysDoNotHideTheHotKey)
{
    auto hotKey = std::make_unique<TKitGlobalHotKey>(nullptr, "PVCut1");
    Presses presses;
    hotKey->OnKeyDown = presses.Handler();
    hotKey->SetHotKey(ShortCut(0x25, ssAlt));  // Alt+Left, as the upload window uses
    ASSERT_TRUE(hotKey->Registered());
    ASSERT_TRUE(Send("Caps_Lock"));
    ASSERT_TRUE(Send("alt+Left"));
    ASSERT_TRUE(Send("Caps_Lock"));
    ASSERT_TRUE(PumpUntil([&] { return presses.Count > 0; }));
    EXPECT_EQ(presses.Key, 0x25);
    EXPECT_EQ(presses.Shift, ssAlt);
}

TEST_F(KitHotKeyX11, SecondRegistrationOfACombinationFailsAndOnlyTheFirstFires)
{
    auto first = std::make_unique<TKitGlobalHotKey>(nullptr, "First");
    auto second = std::make_unique<TKitGlobalHotKey>(nullptr, "Second");
    Presses one, two;
    first->OnKeyDown = one.Handler();
    second->OnKeyDown = two.Handler();
    first->SetHotKey(ShortCut('2', ssAlt));
    second->SetHotKey(ShortCut('2', ssAlt));
    EXPECT_TRUE(first->Registered());
    EXPECT_FALSE(second->Registered());
    EXPECT_EQ(second->HotKey(), ShortCut('2', ssAlt));  // the value is kept all the same

    ASSERT_TRUE(Send("alt+2"));
    ASSERT_TRUE(Settle());
    EXPECT_EQ(one.Count, 1);
    EXPECT_EQ(two.Count, 0);
}

TEST_F(KitHotKeyX11, AnotherClientsGrabMakesRegistrationFailSilently)
{
    OtherXClient other(DisplayName());
    ASSERT_TRUE(other.Connected());
    ASSERT_TRUE(other.Grab('3', MOD_ALT));
    auto hotKey = std::make_unique<TKitGlobalHotKey>(nullptr, "PVCut7");
    hotKey->SetHotKey(ShortCut('3', ssAlt));
    EXPECT_FALSE(hotKey->Registered());
    EXPECT_TRUE(hotKey->Active());
}

TEST_F(KitHotKeyX11, InactiveAndReplacedAndFreedCombinationsAreUngrabbed)
{
    OtherXClient other(DisplayName());
    ASSERT_TRUE(other.Connected());
    auto hotKey = std::make_unique<TKitGlobalHotKey>(nullptr, "PVCut8");
    Presses presses;
    hotKey->OnKeyDown = presses.Handler();
    hotKey->SetHotKey(ShortCut('4', ssAlt));
    ASSERT_TRUE(hotKey->Registered());
    EXPECT_FALSE(other.Grab('4', MOD_ALT));

    hotKey->SetActive(false);
    EXPECT_FALSE(hotKey->Registered());
    ASSERT_TRUE(other.Grab('4', MOD_ALT));
    other.Ungrab('4', MOD_ALT);

    hotKey->SetActive(true);  // registers again
    ASSERT_TRUE(hotKey->Registered());
    ASSERT_TRUE(Send("alt+4"));
    ASSERT_TRUE(PumpUntil([&] { return presses.Count == 1; }));

    // A new combination gives the old one back.
    hotKey->SetHotKey(ShortCut('5', ssAlt));
    ASSERT_TRUE(hotKey->Registered());
    EXPECT_TRUE(other.Grab('4', MOD_ALT));
    other.Ungrab('4', MOD_ALT);
    EXPECT_FALSE(other.Grab('5', MOD_ALT));

    hotKey.reset();
    EXPECT_TRUE(other.Grab('5', MOD_ALT)) << "freeing the component must ungrab its key";
}
