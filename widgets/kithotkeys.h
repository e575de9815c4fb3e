#pragma once
// System-wide hot keys. On an X11 display (Qt platform "xcb") a hot key is a
// key grab on the root window, so it fires whichever program has the focus;
// elsewhere (offscreen, Wayland) it is an application-wide shortcut that
// fires while one of this program's windows has the focus.
// A hot key press is delivered as WM_HOTKEY (wParam = id, lParam low word
// the modifiers, high word the virtual key) to the registering target,
// from Qt's event loop.

#include "platform/messages/Messages.h"

#include <cstdint>

constexpr UINT WM_HOTKEY = 0x0312;
constexpr unsigned MOD_ALT = 1, MOD_CONTROL = 2, MOD_SHIFT = 4;

enum class THotKeyMode {
    None,             // no GUI application: nothing can be registered
    SystemWide,       // X11 key grabs
    ApplicationWide,  // shortcuts of this program's windows only
};

// How a registration made now would be held.
THotKeyMode CurrentHotKeyMode();

// False when the combination is held already (by this program or, on X11, by
// another client), when the key has no key code, or without a GUI application.
// Registering an id again for the same target replaces its old combination.
bool RegisterHotKey(HWND wnd, int id, unsigned modifiers, unsigned virtualKey);
// False when nothing was registered under this target and id.
bool UnregisterHotKey(HWND wnd, int id);

// Key translations (exposed for tests): the X keysym of a virtual key (0 when
// unknown), and the virtual key of a Qt key code (0 when unknown).
std::uint32_t KeySymOfVirtualKey(unsigned virtualKey);
unsigned VirtualKeyOfQtKey(int qtKey);
