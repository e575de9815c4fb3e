#pragma once
// Test servers for the FTP client: Debian's pyftpdlib (ftp_server.py) with a
// temporary root, a scripted peer (ftp_peer.py) that misbehaves on purpose,
// and a relay (ftp_relay.py) to put in front of either. Each binds a port of
// 127.0.0.1 it picks itself and says which; all run as their own process
// group and are stopped by their process id when the fixture ends.

#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <sys/types.h>
#include <vector>

namespace ftptest {

// A folder under the system's temporary folder, removed with its contents.
class TempFolder : public testsupport::TempDir {
public:
    TempFolder() : TempDir("pictavo-ftp") {}
    const std::filesystem::path& Path() const { return path; }
};

// A child process in a process group of its own, its stdout on a pipe.
class ChildProcess {
public:
    ChildProcess(const std::vector<std::string>& argv, const std::string& stderrFile);
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    // One line of the child's stdout, without its end; empty on time-out or end.
    std::string ReadLine(std::chrono::milliseconds timeout);
    // Waits for the child to end by itself; true when it did within the time.
    bool WaitExit(std::chrono::milliseconds timeout);
    // Ends the whole process group (TERM, then KILL) and reaps the child.
    void Stop();
    pid_t Pid() const { return pid_; }

private:
    pid_t pid_ = -1;
    int stdoutFd_ = -1;
    bool reaped_ = false;
    std::string pending_;
};

// A port of 127.0.0.1 held bound but not listening while the object (or a
// copy) lives: connections to it are refused, and no other test's server can
// take it meanwhile.
class RefusingPort {
public:
    RefusingPort();
    int Port() const { return port_; }

private:
    std::shared_ptr<void> socket_;  // closes the socket with the last copy
    int port_ = 0;
};

std::vector<std::uint8_t> ReadFileBytes(const std::filesystem::path& path);
void WriteFileBytes(const std::filesystem::path& path, const std::vector<std::uint8_t>& bytes);
// Equal bytes, or a failure naming both sizes and the first differing offset
// (instead of printing megabytes).
::testing::AssertionResult SameBytes(const std::vector<std::uint8_t>& got, const std::vector<std::uint8_t>& want);
// How the data connection of the last STOR of `name` ended, as a peer
// recorded it beside its transcript: "fin" (an orderly end, which a server
// takes for the end of the file), "reset", or "" when none was recorded.
std::string DataEndOf(const std::filesystem::path& transcript, const std::string& name);
// Deterministic bytes that are not a repeating short pattern.
std::vector<std::uint8_t> PatternBytes(std::size_t size, std::uint32_t seed);

// pyftpdlib with one user who may write, rooted in a temporary folder.
class PyFtpServer {
public:
    static constexpr const char* User = "pictavo";
    static constexpr const char* Password = "s3cret pass";

    PyFtpServer();
    ~PyFtpServer();
    int Port() const { return port_; }
    const std::filesystem::path& Root() const { return root_.Path(); }
    bool Running() const { return child_ != nullptr; }

private:
    TempFolder root_;
    TempFolder logs_;
    int port_ = 0;
    std::unique_ptr<ChildProcess> child_;
};

// ftp_relay.py in front of a server on 127.0.0.1, its data connections
// relayed too; `options` as the script takes them (--cut, --delay, ...).
class FtpRelay {
public:
    FtpRelay(int serverPort, const std::vector<std::string>& options);
    ~FtpRelay();
    int Port() const { return port_; }

private:
    TempFolder logs_;
    int port_ = 0;
    std::unique_ptr<ChildProcess> child_;
};

// ftp_peer.py running one scenario; the transcript holds the commands it got.
class ScriptedPeer {
public:
    explicit ScriptedPeer(const std::string& scenario);
    ~ScriptedPeer();
    int Port() const { return port_; }
    // Waits (up to timeout) for the peer to end, then reads what it recorded.
    bool WaitExit(std::chrono::milliseconds timeout);
    std::vector<std::string> Commands() const;
    std::vector<std::uint8_t> StoredData() const;
    // What the STOR of `name` left on the peer (empty when there was none).
    std::vector<std::uint8_t> StoredFile(const std::string& name) const;
    std::string DataEnd(const std::string& name) const { return DataEndOf(transcript_, name); }

private:
    TempFolder folder_;
    std::filesystem::path transcript_;
    int port_ = 0;
    std::unique_ptr<ChildProcess> child_;
};

}  // namespace ftptest

#include "upload/FtpClient.h"

namespace ftptest {

// A TFtpClient that records its log lines and request-done events.
class RecordingClient {
public:
    explicit RecordingClient(int port);

    TFtpClient Client;
    std::vector<std::string> Log;                   // OnDisplay lines
    std::vector<std::pair<TFtpRequest, int>> Done;  // OnRequestDone events

    // Runs the loop until `count` request-done events arrived (or timeout).
    bool WaitForDone(std::size_t count, std::chrono::milliseconds timeout = std::chrono::seconds(20));
    // Starts an asynchronous request and waits for its request-done event;
    // returns its status (-1 when none came).
    int RunAsync(const std::function<void()>& start, std::chrono::milliseconds timeout = std::chrono::seconds(20));
    bool LogHas(const std::string& line) const;
    bool LogHasPrefix(const std::string& prefix) const;
    std::string LogText() const;
};

}  // namespace ftptest
