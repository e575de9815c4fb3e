#pragma once
// Helpers of the kit's tests: an Xvfb display of their own, a second X client
// that grabs keys, and a pump for Qt's event loop.

#include <xcb/xcb.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

// Runs Qt's event loop until done() or the time-out; returns done().
bool PumpUntil(const std::function<bool()>& done, int timeoutMs = 10000);

// A virtual X server started for one test program (Xvfb picks its own free
// display number). Start returns null with the reason when it cannot run.
class XvfbDisplay {
public:
    static std::unique_ptr<XvfbDisplay> Start(std::string& reason);
    XvfbDisplay() = default;
    ~XvfbDisplay();
    const std::string& Name() const { return name_; }

private:
    std::string name_;
    int pid_ = -1;
};

// Another X client on the same display, to see who holds a key.
class OtherXClient {
public:
    explicit OtherXClient(const std::string& display);
    ~OtherXClient();
    bool Connected() const { return connection_ != nullptr; }
    // Grabs the virtual key with Shift/Ctrl/Alt modifier bits (MOD_*) on the
    // root window; false when another client holds it (BadAccess).
    bool Grab(unsigned virtualKey, unsigned modifiers);
    void Ungrab(unsigned virtualKey, unsigned modifiers);

private:
    xcb_keycode_t KeyCode(unsigned virtualKey);
    xcb_connection_t* connection_ = nullptr;
};

// Runs a program with arguments and waits; its exit code, or -1.
int RunProgram(const std::vector<std::string>& arguments);
bool ProgramOnPath(const std::string& name);
