#pragma once
// Tests on a real X server: a private Xvfb, Qt on its xcb platform, programs
// such as xdotool run against it, and a pump for Qt's event loop.

#include <gtest/gtest.h>

#include <functional>
#include <initializer_list>
#include <memory>
#include <string>
#include <vector>

namespace testsupport {

// Runs Qt's event loop until done() or the time-out; returns done().
bool PumpUntil(const std::function<bool()>& done, int timeoutMs = 10000);

// Runs a program with arguments (its output discarded) and waits; its exit
// code, or -1.
int RunProgram(const std::vector<std::string>& arguments);
bool ProgramOnPath(const std::string& name);

// A virtual X server started for one test program (Xvfb picks its own free
// display number). Start returns null with the reason when it cannot run.
class XvfbDisplay {
public:
    static std::unique_ptr<XvfbDisplay> Start(std::string& reason, const std::string& screen = "320x240x24");
    XvfbDisplay() = default;
    ~XvfbDisplay();
    XvfbDisplay(const XvfbDisplay&) = delete;
    XvfbDisplay& operator=(const XvfbDisplay&) = delete;
    const std::string& Name() const { return name_; }

private:
    std::string name_;
    int pid_ = -1;
};

// A suite whose tests run on their own X server with the program's one
// application on it. They skip, saying why, when a tool is not installed, and
// fail when the installed server or window manager does not come up.
class X11Suite : public ::testing::Test {
protected:
    // From SetUpTestSuite: needs every tool on the path, then starts the
    // server with the screen and the application. False when it could not.
    static bool StartX11(std::initializer_list<const char*> tools = {}, const std::string& screen = "320x240x24");
    // Starts a window manager (openbox) on the server, as a desktop has one:
    // windows get frames and are placed and activated by it.
    static bool StartWindowManager();
    // Ends the application and the server: the suite's tests skip with reason.
    static void GiveUp(const std::string& reason);
    // The same, but the suite's tests fail with reason.
    static void Fail(const std::string& reason);
    static void TearDownTestSuite();
    void SetUp() override;
    static const std::string& DisplayName();
};

}  // namespace testsupport
