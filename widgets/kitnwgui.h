#pragma once
// TKitGlobalHotKey: one key combination held as a system-wide hot key (an X11
// key grab; an application-wide shortcut where there is no X11 display); its
// OnKeyDown runs on the window thread whenever the combination is pressed.

#include "platform/messages/Messages.h"
#include "widgets/kitatoms.h"
#include "widgets/kitcompo.h"
#include "widgets/kithotkeys.h"

#include <cstdint>
#include <functional>

// A short cut: virtual key in the low byte plus the modifier bits.
using TShortCut = std::uint16_t;
constexpr TShortCut scShift = 0x2000, scCtrl = 0x4000, scAlt = 0x8000;

// Shift state bits of key events.
using TShiftState = unsigned;
constexpr TShiftState ssShift = 1, ssAlt = 2, ssCtrl = 4;

TShortCut ShortCut(std::uint16_t key, TShiftState shift);
void ShortCutToKey(TShortCut shortCut, std::uint16_t& key, TShiftState& shift);

using TKitKeyEvent = std::function<void(TComponent* Sender, std::uint16_t& Key, TShiftState Shift)>;

class TKitGlobalHotKey : public TKitComponent {
public:
    TKitGlobalHotKey(TComponent* owner, std::string name);
    ~TKitGlobalHotKey() override;

    bool Active() const { return active_; }
    void SetActive(bool active);
    TShortCut HotKey() const { return hotKey_; }
    void SetHotKey(TShortCut hotKey);
    TKitKeyEvent OnKeyDown;

    // Whether the combination is held right now. A registration that fails
    // (another program holds the combination) is otherwise silent.
    bool Registered() const { return registered_; }
    // How hot keys are held on this display: system-wide or only while one
    // of this program's windows has the focus.
    THotKeyMode Mode() const { return CurrentHotKeyMode(); }

    ATOM Identifier() const { return identifier_; }
    HWND Handle() const { return handle_; }

private:
    void WndProc(TMessage& message);
    void RegisterCombination(TShortCut hotKey);
    void UnregisterCombination();

    bool active_ = false;
    TShortCut hotKey_ = 0;
    bool registered_ = false;
    ATOM identifier_ = 0;
    HWND handle_ = 0;
};
