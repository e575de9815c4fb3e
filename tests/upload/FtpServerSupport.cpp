#include "FtpServerSupport.h"

#include <algorithm>
#include <arpa/inet.h>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <netinet/in.h>
#include <poll.h>
#include <spawn.h>
#include <stdexcept>
#include <sys/socket.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

namespace ftptest {

namespace {

using Clock = std::chrono::steady_clock;

const char* const Python = "/usr/bin/python3";

std::filesystem::path testScript(const char* name)
{
    return std::filesystem::path(PICTAVO_SOURCE_DIR) / "tests" / "upload" / name;
}

// Starts a server script that prints the port it listens on; 0 when it did not.
int StartListening(std::unique_ptr<ChildProcess>& child, const std::vector<std::string>& argv,
                   const std::filesystem::path& log)
{
    child = std::make_unique<ChildProcess>(argv, log.string());
    const std::string line = child->ReadLine(std::chrono::seconds(60));
    return line.empty() ? 0 : std::atoi(line.c_str());
}

}  // namespace

ChildProcess::ChildProcess(const std::vector<std::string>& argv, const std::string& stderrFile)
{
    int pipeFds[2];
    if (::pipe2(pipeFds, O_CLOEXEC) != 0) throw std::runtime_error("pipe failed");
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, pipeFds[1], 1);
    posix_spawn_file_actions_addopen(&actions, 2, stderrFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    posix_spawnattr_t attr;
    posix_spawnattr_init(&attr);
    posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETPGROUP);
    posix_spawnattr_setpgroup(&attr, 0);
    std::vector<char*> args;
    for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    int rc = ::posix_spawn(&pid_, argv[0].c_str(), &actions, &attr, args.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attr);
    ::close(pipeFds[1]);
    stdoutFd_ = pipeFds[0];
    if (rc != 0) {
        ::close(stdoutFd_);
        throw std::runtime_error("cannot start " + argv[0]);
    }
}

ChildProcess::~ChildProcess()
{
    Stop();
    if (stdoutFd_ >= 0) ::close(stdoutFd_);
}

std::string ChildProcess::ReadLine(std::chrono::milliseconds timeout)
{
    const auto deadline = Clock::now() + timeout;
    for (;;) {
        auto end = pending_.find('\n');
        if (end != std::string::npos) {
            std::string line = pending_.substr(0, end);
            pending_.erase(0, end + 1);
            return line;
        }
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        if (left.count() <= 0) return {};
        pollfd p{stdoutFd_, POLLIN, 0};
        if (::poll(&p, 1, static_cast<int>(left.count())) <= 0) continue;
        char chunk[256];
        ssize_t n = ::read(stdoutFd_, chunk, sizeof chunk);
        if (n <= 0) return {};
        pending_.append(chunk, static_cast<std::size_t>(n));
    }
}

bool ChildProcess::WaitExit(std::chrono::milliseconds timeout)
{
    if (reaped_) return true;
    const auto deadline = Clock::now() + timeout;
    for (;;) {
        int status = 0;
        pid_t r = ::waitpid(pid_, &status, WNOHANG);
        if (r == pid_ || (r < 0 && errno == ECHILD)) {
            reaped_ = true;
            return true;
        }
        if (Clock::now() >= deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}

void ChildProcess::Stop()
{
    if (pid_ <= 0 || reaped_) return;
    // The child leads its own group, so this reaches whatever it started too.
    ::kill(-pid_, SIGTERM);
    if (!WaitExit(std::chrono::seconds(3))) {
        ::kill(-pid_, SIGKILL);
        WaitExit(std::chrono::seconds(3));
    }
}

RefusingPort::RefusingPort()
{
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) throw std::runtime_error("no socket");
    socket_ = std::shared_ptr<void>(nullptr, [fd](void*) { ::close(fd); });
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    a.sin_port = 0;
    socklen_t len = sizeof a;
    if (::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 ||
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len) != 0)
        throw std::runtime_error("no free port");
    port_ = ntohs(a.sin_port);
}

std::vector<std::uint8_t> ReadFileBytes(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void WriteFileBytes(const std::filesystem::path& path, const std::vector<std::uint8_t>& bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

::testing::AssertionResult SameBytes(const std::vector<std::uint8_t>& got, const std::vector<std::uint8_t>& want)
{
    if (got == want) return ::testing::AssertionSuccess();
    const auto diff = std::mismatch(got.begin(), got.end(), want.begin(), want.end());
    return ::testing::AssertionFailure() << got.size() << " bytes where " << want.size()
                                         << " were expected, first difference at offset " << (diff.first - got.begin());
}

std::string DataEndOf(const std::filesystem::path& transcript, const std::string& name)
{
    std::ifstream in(transcript.string() + ".ends");
    std::string end;
    for (std::string line; std::getline(in, line);) {
        const std::size_t space = line.find(' ');
        const std::size_t second = line.find(' ', space + 1);
        if (space != std::string::npos && second != std::string::npos && line.substr(second + 1) == name)
            end = line.substr(0, space);
    }
    return end;
}

std::vector<std::uint8_t> PatternBytes(std::size_t size, std::uint32_t seed)
{
    std::vector<std::uint8_t> bytes(size);
    std::uint32_t x = seed * 2654435761u + 1;
    for (std::size_t i = 0; i < size; ++i) {
        x ^= x << 13;
        x ^= x >> 17;
        x ^= x << 5;
        bytes[i] = static_cast<std::uint8_t>(x >> 24);
    }
    return bytes;
}

PyFtpServer::PyFtpServer()
{
    // The server binds a port of its own choosing and says which once it listens.
    port_ =
        StartListening(child_, {Python, testScript("ftp_server.py").string(), root_.Path().string(), User, Password},
                       logs_.Path() / "pyftpdlib.log");
    if (port_ == 0) child_.reset();
}

PyFtpServer::~PyFtpServer() = default;

FtpRelay::FtpRelay(int serverPort, const std::vector<std::string>& options)
{
    std::vector<std::string> argv = {Python, testScript("ftp_relay.py").string(), std::to_string(serverPort)};
    argv.insert(argv.end(), options.begin(), options.end());
    port_ = StartListening(child_, argv, logs_.Path() / "relay.log");
}

FtpRelay::~FtpRelay() = default;

ScriptedPeer::ScriptedPeer(const std::string& scenario)
{
    transcript_ = folder_.Path() / "transcript.txt";
    port_ = StartListening(child_, {Python, testScript("ftp_peer.py").string(), scenario, transcript_.string()},
                           folder_.Path() / "peer.log");
}

ScriptedPeer::~ScriptedPeer() = default;

bool ScriptedPeer::WaitExit(std::chrono::milliseconds timeout) { return child_->WaitExit(timeout); }

std::vector<std::string> ScriptedPeer::Commands() const
{
    std::vector<std::string> lines;
    std::ifstream in(transcript_);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

std::vector<std::uint8_t> ScriptedPeer::StoredData() const { return ReadFileBytes(transcript_.string() + ".data"); }

std::vector<std::uint8_t> ScriptedPeer::StoredFile(const std::string& name) const
{
    std::string escaped;
    for (char c : name) escaped += c == '/' ? std::string("%2F") : std::string(1, c);
    return ReadFileBytes(transcript_.string() + ".files/" + escaped);
}

}  // namespace ftptest

namespace ftptest {

RecordingClient::RecordingClient(int port)
{
    Client.HostName = "127.0.0.1";
    Client.Port = std::to_string(port);
    Client.UserName = PyFtpServer::User;
    Client.PassWord = PyFtpServer::Password;
    Client.Timeout = 5;
    Client.OnDisplay = [this](TCustomFtpClient*, std::string& msg) { Log.push_back(msg); };
    Client.OnRequestDone = [this](TCustomFtpClient*, TFtpRequest rq, int error) { Done.emplace_back(rq, error); };
}

bool RecordingClient::WaitForDone(std::size_t count, std::chrono::milliseconds timeout)
{
    return RunFor([&] { return Done.size() >= count; }, timeout);
}

int RecordingClient::RunAsync(const std::function<void()>& start, std::chrono::milliseconds timeout)
{
    // Reports of earlier requests still in the queue come first.
    for (int i = 0; i < 100 && ProcessMessages(); ++i) {
    }
    const std::size_t before = Done.size();
    start();
    if (!WaitForDone(before + 1, timeout)) return -1;
    return Done.back().second;
}

bool RecordingClient::LogHas(const std::string& line) const
{
    return std::find(Log.begin(), Log.end(), line) != Log.end();
}

bool RecordingClient::LogHasPrefix(const std::string& prefix) const
{
    return std::any_of(Log.begin(), Log.end(), [&](const std::string& l) { return l.rfind(prefix, 0) == 0; });
}

std::string RecordingClient::LogText() const
{
    std::string text;
    for (const std::string& l : Log) text += l + "\n";
    return text;
}

}  // namespace ftptest
