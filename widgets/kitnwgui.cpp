#include "widgets/kitnwgui.h"

#include <string>

TShortCut ShortCut(std::uint16_t key, TShiftState shift)
{
    TShortCut result = static_cast<TShortCut>(key & 0xFF);
    if (shift & ssShift) result |= scShift;
    if (shift & ssCtrl) result |= scCtrl;
    if (shift & ssAlt) result |= scAlt;
    return result;
}

void ShortCutToKey(TShortCut shortCut, std::uint16_t& key, TShiftState& shift)
{
    key = shortCut & 0xFF;
    shift = 0;
    if (shortCut & scShift) shift |= ssShift;
    if (shortCut & scCtrl) shift |= ssCtrl;
    if (shortCut & scAlt) shift |= ssAlt;
}

TKitGlobalHotKey::TKitGlobalHotKey(TComponent* owner, std::string name) : TKitComponent(owner, std::move(name))
{
    // The identifier names this live component: its address as a decimal number.
    identifier_ = GlobalAddAtom(std::to_string(reinterpret_cast<std::uintptr_t>(this)));
    handle_ = AllocateHWnd([this](TMessage& message) { WndProc(message); });
    active_ = true;  // nothing is held until a HotKey is set
}

TKitGlobalHotKey::~TKitGlobalHotKey()
{
    if (hotKey_ != 0) SetHotKey(0);
    UnregisterCombination();
    if (identifier_) GlobalDeleteAtom(identifier_);
    DeallocateHWnd(handle_);
}

void TKitGlobalHotKey::SetActive(bool active)
{
    if (active == active_) return;
    active_ = active;
    if (active) {
        if (hotKey_ != 0) RegisterCombination(hotKey_);
    } else if (hotKey_ != 0) {
        UnregisterCombination();
    }
}

void TKitGlobalHotKey::SetHotKey(TShortCut hotKey)
{
    if (hotKey == hotKey_) return;
    if (active_) {
        // The old combination is given up first, so it never stays held
        // under an identifier that now means another key.
        UnregisterCombination();
        if (hotKey != 0) RegisterCombination(hotKey);
    }
    hotKey_ = hotKey;
}

void TKitGlobalHotKey::RegisterCombination(TShortCut hotKey)
{
    std::uint16_t key = 0;
    TShiftState shift = 0;
    ShortCutToKey(hotKey, key, shift);
    unsigned modifiers = 0;
    if (shift & ssShift) modifiers |= MOD_SHIFT;
    if (shift & ssAlt) modifiers |= MOD_ALT;
    if (shift & ssCtrl) modifiers |= MOD_CONTROL;
    registered_ = RegisterHotKey(handle_, identifier_, modifiers, key);
}

void TKitGlobalHotKey::UnregisterCombination()
{
    if (registered_) UnregisterHotKey(handle_, identifier_);
    registered_ = false;
}

void TKitGlobalHotKey::WndProc(TMessage& message)
{
    if (message.Msg != WM_HOTKEY || !OnKeyDown) return;
    std::uint16_t key = 0;
    TShiftState shift = 0;
    ShortCutToKey(hotKey_, key, shift);
    // A failing handler is reported by the application and the hot key stays usable.
    Dispatch([&]() { OnKeyDown(this, key, shift); });
}
