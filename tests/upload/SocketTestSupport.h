#pragma once
// Helpers for the socket tests: a connected pair of sockets on 127.0.0.1
// (a listening TAsyncSocket accepts the client's connection into a second
// TAsyncSocket), and the test SOCKS proxy run as a child process.

#include "upload/AsyncSocket.h"

#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include <sys/types.h>

namespace socktest {

constexpr std::chrono::seconds kWait{10};

// Runs the message loop until pred() holds or kWait passes.
bool WaitFor(const std::function<bool()>& pred);

// A listening socket on 127.0.0.1 with a kernel-chosen port.
std::unique_ptr<TAsyncSocket> MakeListener(int& port);

struct LoopbackPair {
    LoopbackPair();
    std::unique_ptr<TAsyncSocket> Listener;
    TAsyncSocket Server;  // the accepted side
    TAsyncSocket Client;
    int Port = 0;
    bool Ok = false;  // both sides connected
};

// /usr/bin/python3 running tests/upload/socks_proxy.py with extra arguments,
// in its own process group; stopped by its process id.
class SocksProxy {
public:
    explicit SocksProxy(const std::vector<std::string>& args = {});
    ~SocksProxy();
    SocksProxy(const SocksProxy&) = delete;
    SocksProxy& operator=(const SocksProxy&) = delete;
    int Port() const { return port_; }
    std::string LogPath() const { return logPath_; }
    // The requests the proxy logged, "kind hex" per line.
    std::vector<std::string> LogLines() const;

private:
    pid_t pid_ = -1;
    int port_ = 0;
    std::string logPath_;
};

std::string Hex(const std::string& bytes);

}  // namespace socktest
