#include "KitTestSupport.h"

#include "widgets/kithotkeys.h"

#include <QCoreApplication>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

extern char** environ;

bool PumpUntil(const std::function<bool()>& done, int timeoutMs)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!done()) {
        if (std::chrono::steady_clock::now() > deadline) return false;
        if (QCoreApplication::instance()) QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return true;
}

namespace {
int Spawn(const std::vector<std::string>& arguments, int keepFd)
{
    std::vector<char*> argv;
    for (const auto& a : arguments) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    (void)keepFd;
    pid_t pid = -1;
    const int failed = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    return failed ? -1 : pid;
}
}  // namespace

int RunProgram(const std::vector<std::string>& arguments)
{
    const int pid = Spawn(arguments, -1);
    if (pid < 0) return -1;
    int status = 0;
    if (waitpid(pid, &status, 0) != pid) return -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

bool ProgramOnPath(const std::string& name)
{
    const char* path = std::getenv("PATH");
    std::string paths = path ? path : "/usr/bin:/bin";
    std::size_t start = 0;
    while (start <= paths.size()) {
        const std::size_t end = paths.find(':', start);
        const std::string folder = paths.substr(start, end == std::string::npos ? std::string::npos : end - start);
        if (!folder.empty() && access((folder + "/" + name).c_str(), X_OK) == 0) return true;
        if (end == std::string::npos) break;
        start = end + 1;
    }
    return false;
}

std::unique_ptr<XvfbDisplay> XvfbDisplay::Start(std::string& reason)
{
    if (!ProgramOnPath("Xvfb")) {
        reason = "Xvfb is not installed (package xvfb)";
        return nullptr;
    }
    int fds[2];
    if (pipe(fds) != 0) {
        reason = "no pipe";
        return nullptr;
    }
    // -displayfd: the server picks a free display and writes its number.
    const int pid =
        Spawn({"Xvfb", "-displayfd", std::to_string(fds[1]), "-screen", "0", "320x240x24", "-nolisten", "tcp"}, fds[1]);
    close(fds[1]);
    if (pid < 0) {
        close(fds[0]);
        reason = "Xvfb could not be started";
        return nullptr;
    }
    auto display = std::make_unique<XvfbDisplay>();
    display->pid_ = pid;
    std::string number;
    pollfd wait{fds[0], POLLIN, 0};
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (std::chrono::steady_clock::now() < deadline) {
        if (poll(&wait, 1, 200) > 0) {
            char c;
            const ssize_t got = read(fds[0], &c, 1);
            if (got <= 0) break;
            if (c == '\n') break;
            number += c;
        }
    }
    close(fds[0]);
    if (number.empty()) {
        reason = "Xvfb did not report a display";
        return nullptr;
    }
    display->name_ = ":" + number;
    return display;
}

XvfbDisplay::~XvfbDisplay()
{
    if (pid_ > 0) {
        kill(pid_, SIGTERM);
        int status = 0;
        waitpid(pid_, &status, 0);
    }
}

OtherXClient::OtherXClient(const std::string& display)
{
    xcb_connection_t* c = xcb_connect(display.c_str(), nullptr);
    if (c && !xcb_connection_has_error(c))
        connection_ = c;
    else if (c)
        xcb_disconnect(c);
}

OtherXClient::~OtherXClient()
{
    if (connection_) xcb_disconnect(connection_);
}

xcb_keycode_t OtherXClient::KeyCode(unsigned virtualKey)
{
    const std::uint32_t keysym = KeySymOfVirtualKey(virtualKey);
    const xcb_setup_t* setup = xcb_get_setup(connection_);
    const int count = setup->max_keycode - setup->min_keycode + 1;
    auto* reply = xcb_get_keyboard_mapping_reply(
        connection_, xcb_get_keyboard_mapping(connection_, setup->min_keycode, static_cast<std::uint8_t>(count)),
        nullptr);
    if (!reply) return 0;
    const xcb_keysym_t* syms = xcb_get_keyboard_mapping_keysyms(reply);
    const int perCode = reply->keysyms_per_keycode;
    xcb_keycode_t found = 0;
    for (int code = 0; code < count && !found; ++code)
        if (syms[code * perCode] == keysym) found = static_cast<xcb_keycode_t>(setup->min_keycode + code);
    std::free(reply);
    return found;
}

namespace {
std::uint16_t Mask(unsigned modifiers)
{
    std::uint16_t mask = 0;
    if (modifiers & MOD_SHIFT) mask |= XCB_MOD_MASK_SHIFT;
    if (modifiers & MOD_CONTROL) mask |= XCB_MOD_MASK_CONTROL;
    if (modifiers & MOD_ALT) mask |= XCB_MOD_MASK_1;
    return mask;
}
}  // namespace

bool OtherXClient::Grab(unsigned virtualKey, unsigned modifiers)
{
    const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(connection_)).data->root;
    auto cookie = xcb_grab_key_checked(connection_, 0, root, Mask(modifiers), KeyCode(virtualKey), XCB_GRAB_MODE_ASYNC,
                                       XCB_GRAB_MODE_ASYNC);
    if (xcb_generic_error_t* error = xcb_request_check(connection_, cookie)) {
        std::free(error);
        return false;
    }
    return true;
}

void OtherXClient::Ungrab(unsigned virtualKey, unsigned modifiers)
{
    const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(connection_)).data->root;
    xcb_ungrab_key(connection_, KeyCode(virtualKey), root, Mask(modifiers));
    xcb_flush(connection_);
}
