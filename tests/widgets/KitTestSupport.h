#pragma once
// Helpers of the kit's tests: the shared X server support, and a second X
// client that grabs keys.

#include "tests/support/X11Support.h"

#include <xcb/xcb.h>

#include <string>

using testsupport::ProgramOnPath;
using testsupport::PumpUntil;
using testsupport::RunProgram;
using testsupport::X11Suite;

// Another X client on the same display, to see who holds a key.
class OtherXClient {
public:
    explicit OtherXClient(const std::string& display);
    ~OtherXClient();
    bool Connected() const { return connection_ != nullptr; }
    // Grabs the virtual key with Shift/Ctrl/Alt modifier bits (MOD_*) on the
    // root window; false when another client holds it (BadAccess).
    bool Grab(unsigned virtualKey, unsigned modifiers);
    // Returns once the server has released the key.
    void Ungrab(unsigned virtualKey, unsigned modifiers);

private:
    xcb_keycode_t KeyCode(unsigned virtualKey);
    xcb_connection_t* connection_ = nullptr;
};
