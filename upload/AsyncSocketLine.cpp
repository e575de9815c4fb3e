// Line mode (received data cut into lines, one line per data-available
// event) and the waiting layer.
#include "upload/AsyncSocket.h"

#include <algorithm>
#include <cstring>

namespace {
constexpr int kLineReadChunk = 65536;  // at most this much is read per event
}

TCustomLineSocket::TCustomLineSocket() = default;

void TCustomLineSocket::ResetDefaults()
{
    TCustomSocksSocket::ResetDefaults();
    FRcvdPtr.clear();
    FLineLength = 0;
    FLineReceivedFlag = false;
}

void TCustomLineSocket::SetLineMode(bool value)
{
    if (value == FLineMode) return;
    FLineMode = value;
    if (!value) FLineLength = 0;  // a half-read line stays in front for plain reads
    if (!FRcvdPtr.empty()) PostMessage(FWindowHandle, WM_TRIGGER_DATA_AVAILABLE, 0, 0);
}

void TCustomLineSocket::WndProc(TMessage& msg)
{
    if (msg.Msg != WM_TRIGGER_DATA_AVAILABLE) {
        TCustomSocksSocket::WndProc(msg);
        return;
    }
    while (!FRcvdPtr.empty()) {
        std::size_t before = FRcvdPtr.size();
        if (FLineMode && !FLineEnd.empty())
            DeliverLines(0);
        else if (!TCustomSocksSocket::TriggerDataAvailable(0))
            break;
        if (FRcvdPtr.size() >= before) break;  // nothing taken: the rest waits for more data or a read
    }
}

int TCustomLineSocket::GetRcvdCount()
{
    if (FLineMode) return FLineLength;
    if (!FRcvdPtr.empty()) return static_cast<int>(FRcvdPtr.size());
    return TCustomSocksSocket::GetRcvdCount();
}

int TCustomLineSocket::RecvRaw(void* buffer, int size, int flags)
{
    if (size < 0) {
        winsock::WSASetLastError(winsock::WSAEINVAL);
        return -1;
    }
    if (FLineMode && FLineLength > 0) {
        int count = std::min(size, FLineLength);
        std::memcpy(buffer, FRcvdPtr.data(), static_cast<std::size_t>(count));
        FRcvdPtr.erase(0, static_cast<std::size_t>(count));
        FLineLength -= count;
        if (FLineLength == 0) FLineReceivedFlag = false;
        return count;
    }
    if (!FRcvdPtr.empty()) {
        if (FLineMode && !FLineEnd.empty()) {
            // Bytes of an unfinished line: nothing is ready for reading yet.
            winsock::WSASetLastError(winsock::WSAEWOULDBLOCK);
            return -1;
        }
        int count = static_cast<int>(std::min<std::size_t>(static_cast<std::size_t>(size), FRcvdPtr.size()));
        std::memcpy(buffer, FRcvdPtr.data(), static_cast<std::size_t>(count));
        FRcvdPtr.erase(0, static_cast<std::size_t>(count));
        return count;
    }
    return TCustomSocksSocket::RecvRaw(buffer, size, flags);
}

bool TCustomLineSocket::TriggerDataAvailable(std::uint16_t error)
{
    if (!FLineMode || FLineEnd.empty() || SocksNegotiating()) return TCustomSocksSocket::TriggerDataAvailable(error);

    int waiting = TCustomSocksSocket::GetRcvdCount();
    int want = std::clamp(waiting, 1, kLineReadChunk);
    std::string chunk(static_cast<std::size_t>(want), '\0');
    int n = TCustomSocksSocket::RecvRaw(chunk.data(), want, 0);
    if (n <= 0) {
        if (n < 0) FLastError = winsock::WSAGetLastError();
        return true;  // nothing new; a close or the next read event follows
    }
    std::size_t oldCount = FRcvdPtr.size();
    FRcvdPtr.append(chunk.data(), static_cast<std::size_t>(n));
    if (FLineEdit) {
        EditLine(oldCount);
    } else if (FLineEcho && FState == wsConnected) {
        Send(chunk.data(), n);
    }
    DeliverLines(std::min(oldCount, FRcvdPtr.size()));
    return true;
}

void TCustomLineSocket::EditLine(std::size_t oldCount)
{
    std::string edited = FRcvdPtr.substr(0, oldCount);
    std::string echo;
    for (std::size_t i = oldCount; i < FRcvdPtr.size(); ++i) {
        char c = FRcvdPtr[i];
        if (c == '\b') {
            if (!edited.empty()) {
                edited.pop_back();
                echo += "\b \b";
            }
        } else if (c == '\t') {
            std::size_t blanks = 8 - edited.size() % 8;
            edited.append(blanks, ' ');
            echo.append(blanks, ' ');
        } else {
            edited += c;
            echo += c;
        }
    }
    FRcvdPtr = std::move(edited);
    if (FLineEcho && !echo.empty() && FState == wsConnected) SendText(echo);
}

void TCustomLineSocket::DeliverLines(std::size_t oldCount)
{
    const std::size_t endLength = FLineEnd.size();
    // Start early enough to find an end split over two reads.
    std::size_t start = oldCount > endLength ? oldCount - endLength : 0;
    while (FLineMode && !FLineEnd.empty() && !FRcvdPtr.empty()) {
        std::size_t pos = FRcvdPtr.find(FLineEnd, start);
        std::size_t length;
        if (pos != std::string::npos) {
            length = pos + endLength;
        } else if (FRcvdPtr.size() > static_cast<std::size_t>(FLineLimit)) {
            // A line longer than we hold: hand it out in pieces and keep the
            // connection, rather than buffering without end.
            if (OnLineTooLong) OnLineTooLong(this);
            length = static_cast<std::size_t>(FLineLimit);
        } else {
            break;
        }
        if (!HandOutLine(length, 0)) break;
        start = 0;
    }
}

bool TCustomLineSocket::HandOutLine(std::size_t length, std::uint16_t error)
{
    length = std::min(length, FRcvdPtr.size());
    FLineLength = static_cast<int>(length);
    FLineReceivedFlag = true;
    while (FLineLength > 0) {
        int before = FLineLength;
        if (!TCustomSocksSocket::TriggerDataAvailable(error)) break;  // nobody reads: the line is dropped
        if (!FLineMode) return false;                                 // switched off: what is left goes to plain reads
        if (FLineLength >= before) break;  // the handler read nothing: drop the rest of the line
    }
    if (FLineLength > 0) {
        FRcvdPtr.erase(0, std::min(static_cast<std::size_t>(FLineLength), FRcvdPtr.size()));
        FLineLength = 0;
    }
    FLineReceivedFlag = false;
    return true;
}

void TCustomLineSocket::TriggerSessionClosed(std::uint16_t error)
{
    if (FLineMode && !FRcvdPtr.empty()) HandOutLine(FRcvdPtr.size(), 0);  // the unfinished last line
    TCustomSocksSocket::TriggerSessionClosed(error);
    FRcvdPtr.clear();
    FRcvdPtr.shrink_to_fit();
    FLineLength = 0;
}

int TCustomSyncSocket::WaitForFlag(const bool& flag)
{
    while (!flag) {
        if (TerminationRequested()) return 12001;
        RunUntil([&] { return flag || TerminationRequested(); });
    }
    return 0;
}

int TCustomSyncSocket::RunAndWait(bool& flag, const std::function<void()>& routine)
{
    flag = false;
    if (routine) routine();
    return WaitForFlag(flag);
}
