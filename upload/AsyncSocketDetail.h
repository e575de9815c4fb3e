#pragma once
// Helpers shared by the socket's source files (not part of its interface).

#include "platform/core/Trim.h"
#include "platform/sockets/WinSock.h"

#include <string>

namespace asyncsocket_detail {

// WinSock is loaded on first use and released when the last socket goes.
void EnsureWinSock();
void UnloadWinSock();
// Digits and exactly three dots: text meant as an IPv4 address.
bool LooksDotted(const std::string& text);
// A decimal number as the resolvers read it: leading blanks skipped, digits
// up to the first other character; -1 when it exceeds `limit`.
long ReadDecimal(const std::string& text, long limit);

constexpr long kSelectConnect =
    winsock::FD_READ | winsock::FD_WRITE | winsock::FD_ACCEPT | winsock::FD_CONNECT | winsock::FD_CLOSE;       // 59
constexpr long kSelectListen = winsock::FD_READ | winsock::FD_WRITE | winsock::FD_ACCEPT | winsock::FD_CLOSE;  // 43
constexpr long kSelectDup = winsock::FD_READ | winsock::FD_WRITE | winsock::FD_CONNECT | winsock::FD_CLOSE;    // 51

}  // namespace asyncsocket_detail
