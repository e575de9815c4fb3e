#include "SocketTestSupport.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fstream>

#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace socktest {

bool WaitFor(const std::function<bool()>& pred) { return RunFor(pred, kWait); }

std::unique_ptr<TAsyncSocket> MakeListener(int& port)
{
    auto listener = std::make_unique<TAsyncSocket>();
    listener->SetProto("tcp");
    listener->SetAddr("127.0.0.1");
    listener->SetPort("0");
    listener->Listen();
    port = std::stoi(listener->LocalPortText());
    return listener;
}

LoopbackPair::LoopbackPair()
{
    Listener = MakeListener(Port);
    bool accepted = false;
    bool connected = false;
    Listener->OnSessionAvailable = [&](TCustomAsyncSocket*, std::uint16_t error) {
        if (error != 0) return;
        TSocket handle = Listener->Accept();
        Server.Dup(handle);
        accepted = true;
    };
    Client.OnSessionConnected = [&](TCustomAsyncSocket*, std::uint16_t error) { connected = error == 0; };
    Client.SetAddr("127.0.0.1");
    Client.SetPort(std::to_string(Port));
    Client.SetLingerOnOff(wsLingerOff);
    Client.Connect();
    Ok = WaitFor([&] { return accepted && connected; });
    Listener->OnSessionAvailable = nullptr;
    Client.OnSessionConnected = nullptr;
}

std::string Hex(const std::string& bytes)
{
    static const char* digits = "0123456789abcdef";
    std::string out;
    for (unsigned char c : bytes) {
        out += digits[c >> 4];
        out += digits[c & 15];
    }
    return out;
}

SocksProxy::SocksProxy(const std::vector<std::string>& args)
{
    char logTemplate[] = "/tmp/pictavo-socks-XXXXXX";
    int logFd = ::mkstemp(logTemplate);
    if (logFd >= 0) ::close(logFd);
    logPath_ = logTemplate;

    int pipeFds[2];
    if (::pipe2(pipeFds, O_CLOEXEC) != 0) return;
    std::vector<std::string> argv = {
        "/usr/bin/python3", std::string(PICTAVO_SOURCE_DIR) + "/tests/upload/socks_proxy.py", "--log", logPath_};
    argv.insert(argv.end(), args.begin(), args.end());
    std::vector<char*> cargv;
    for (auto& a : argv) cargv.push_back(a.data());
    cargv.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, pipeFds[1], 1);
    posix_spawnattr_t attr;
    posix_spawnattr_init(&attr);
    posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETPGROUP);
    posix_spawnattr_setpgroup(&attr, 0);
    if (::posix_spawn(&pid_, argv[0].c_str(), &actions, &attr, cargv.data(), environ) != 0) pid_ = -1;
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attr);
    ::close(pipeFds[1]);

    // The proxy prints its port as its first line.
    std::string line;
    auto deadline = std::chrono::steady_clock::now() + kWait;
    while (pid_ > 0 && std::chrono::steady_clock::now() < deadline) {
        pollfd p{pipeFds[0], POLLIN, 0};
        if (::poll(&p, 1, 200) <= 0) continue;
        char c;
        if (::read(pipeFds[0], &c, 1) != 1) break;
        if (c == '\n') {
            port_ = std::atoi(line.c_str());
            break;
        }
        line += c;
    }
    ::close(pipeFds[0]);
}

SocksProxy::~SocksProxy()
{
    if (pid_ > 0) {
        ::kill(pid_, SIGTERM);
        int status = 0;
        ::waitpid(pid_, &status, 0);
    }
    std::remove(logPath_.c_str());
}

std::vector<std::string> SocksProxy::LogLines() const
{
    std::vector<std::string> lines;
    std::ifstream in(logPath_);
    std::string line;
    while (std::getline(in, line)) lines.push_back(line);
    return lines;
}

}  // namespace socktest
