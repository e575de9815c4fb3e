// Connecting through a SOCKS 4, 4A or 5 proxy.
#include "upload/AsyncSocket.h"
#include "upload/AsyncSocketDetail.h"
#include "platform/core/AsciiCase.h"

#include <arpa/inet.h>

#include <algorithm>
#include <cstring>

TCustomSocksSocket::TCustomSocksSocket() { ResetSocks(); }

void TCustomSocksSocket::ResetSocks()
{
    FSocksState = 0;
    FSocksServer.clear();
    FSocksPort.clear();
    FSocksServerAssigned = false;
    FSocksPortAssigned = false;
    FSocksLevel = "5";
    FSocksRcvdCnt = 0;
    FSocksRcvdPtr = 0;
    FRcvCnt = 0;
}

void TCustomSocksSocket::ResetDefaults()
{
    TCustomAsyncSocket::ResetDefaults();
    ResetSocks();
}

void TCustomSocksSocket::SetSocksServer(const std::string& value)
{
    if (FState != wsClosed) {
        RaiseException("Can't change socks server if not closed");
        return;
    }
    FSocksServer = Trim(value);
    FSocksServerAssigned = !FSocksServer.empty();
}

void TCustomSocksSocket::SetSocksPort(const std::string& value)
{
    if (FState != wsClosed) {
        RaiseException("Can't change socks port if not closed");
        return;
    }
    FSocksPort = Trim(value);
    FSocksPortAssigned = !FSocksPort.empty();
}

void TCustomSocksSocket::SetSocksLevel(const std::string& value)
{
    if (FState != wsClosed) {
        RaiseException("Can't change socks level if not closed");
        return;
    }
    if (value != "4" && value != "5" && value != "4A" && value != "4a") {
        RaiseException("Invalid socks level. Must be 4, 4A or 5.");
        return;
    }
    FSocksLevel = value == "4a" ? "4A" : value;
}

void TCustomSocksSocket::TriggerSocksConnected(std::uint16_t error)
{
    if (OnSocksConnected) OnSocksConnected(this, error);
}

void TCustomSocksSocket::TriggerSocksError(int error, const std::string& msg)
{
    if (OnSocksError) OnSocksError(this, error, msg);
}

void TCustomSocksSocket::TriggerSocksAuthState(TSocksAuthState state)
{
    if (OnSocksAuthState) OnSocksAuthState(this, state);
}

void TCustomSocksSocket::Listen()
{
    if (FSocksServerAssigned) {
        RaiseException("listening is not supported thru socks server");
        return;
    }
    TCustomAsyncSocket::Listen();
}

void TCustomSocksSocket::Connect()
{
    if (!FSocksServerAssigned) {
        TCustomAsyncSocket::Connect();
        return;
    }
    if (AsciiLower(FProtoStr) != "tcp") {
        RaiseException("tcp is the only protocol supported thru socks server");
        return;
    }
    try {
        // The socket connects to the proxy; Addr and Port keep naming the
        // real destination, which the proxy is asked for.
        if (!FPortResolved) {
            FSin.sin_port = htons(static_cast<std::uint16_t>(SocketResolvePort(FSocksPort, FProtoStr)));
            FPortResolved = true;
        }
        if (!FAddrResolved) {
            FSin.sin_addr.s_addr = SocketResolveHost(FSocksServer);
            FAddrResolved = true;
        }
        FSocksDestPort = SocketResolvePort(FPortStr, FProtoStr);
    } catch (const ESocketException& e) {
        RaiseException("connect: " + e.Message);
        return;
    }
    FSocksState = 1;
    FRcvCnt = 0;
    FSocksRcvdCnt = 0;
    FSocksRcvdPtr = 0;
    TCustomAsyncSocket::Connect();
}

void TCustomSocksSocket::TriggerSessionConnected(std::uint16_t error)
{
    if (FSocksState != 1) {
        TCustomAsyncSocket::TriggerSessionConnected(error);
        return;
    }
    TriggerSocksConnected(error);
    if (error != 0) {
        FSocksState = 0;
        TCustomAsyncSocket::TriggerSessionConnected(error);
        return;
    }
    if (FSocksLevel[0] == '4') {
        SocksDoConnect();
        return;
    }
    FSocksMethod = FSocksAuthentication == socksAuthenticateUsercode ? 2 : 0;
    const std::uint8_t offer[3] = {5, 1, static_cast<std::uint8_t>(FSocksMethod)};
    Send(offer, sizeof offer);
}

void TCustomSocksSocket::SocksDoConnect()
{
    FSocksState = 3;
    FRcvCnt = 0;
    std::string request;
    auto portHi = static_cast<char>((FSocksDestPort >> 8) & 0xFF);
    auto portLo = static_cast<char>(FSocksDestPort & 0xFF);
    if (FSocksLevel[0] == '4') {
        request += '\x04';
        request += '\x01';
        request += portHi;
        request += portLo;
        if (FSocksLevel == "4A") {
            request.append("\x00\x00\x00\x01", 4);
        } else {
            std::uint32_t address;
            try {
                address = SocketResolveHost(FAddrStr);
            } catch (const std::exception& e) {
                SocksError(20017, std::string("ESocketException ") + e.what());
                return;
            }
            request.append(reinterpret_cast<const char*>(&address), 4);
        }
        request += FSocksUsercode;
        request += '\0';
        if (FSocksLevel == "4A") {
            request += FAddrStr;
            request += '\0';
        }
    } else {
        // The name goes with a one-byte length: longer ones cannot be asked for.
        if (FAddrStr.size() > 255) {
            SocksError(20011, "address type not supported");
            return;
        }
        request.append("\x05\x01\x00\x03", 4);
        request += static_cast<char>(FAddrStr.size());
        request += FAddrStr;
        request += portHi;
        request += portLo;
    }
    SendText(request);
}

void TCustomSocksSocket::SocksDoAuthenticate()
{
    FSocksState = 2;
    FRcvCnt = 0;
    TriggerSocksAuthState(socksAuthStart);
    // Each field carries a one-byte length.
    if (FSocksUsercode.size() > 255 || FSocksPassword.size() > 255) {
        TriggerSocksAuthState(socksAuthFailure);
        SocksError(20015, "socks authentication failed");
        return;
    }
    std::string request;
    request += '\x01';
    request += static_cast<char>(FSocksUsercode.size());
    request += FSocksUsercode;
    request += static_cast<char>(FSocksPassword.size());
    request += FSocksPassword;
    SendText(request);
}

void TCustomSocksSocket::SocksError(int error, const std::string& msg)
{
    FSocksState = 0;
    TriggerSocksError(error, msg);
    TCustomAsyncSocket::TriggerSessionConnected(static_cast<std::uint16_t>(error));
    CloseSocket(true, error);
}

int TCustomSocksSocket::ReadReply()
{
    int room = SocksReplyCapacity - FRcvCnt;
    if (room <= 0) return 0;
    int n = TCustomAsyncSocket::RecvRaw(FRcvBuf.data() + FRcvCnt, room, 0);
    if (n > 0) FRcvCnt += n;
    return n;
}

void TCustomSocksSocket::ConsumeReply(int length)
{
    length = std::min(length, FRcvCnt);
    std::memmove(FRcvBuf.data(), FRcvBuf.data() + length, static_cast<std::size_t>(FRcvCnt - length));
    FRcvCnt -= length;
}

bool TCustomSocksSocket::TriggerDataAvailable(std::uint16_t error)
{
    if (FSocksState == 0) return TCustomAsyncSocket::TriggerDataAvailable(error);
    if (error != 0) {
        SocksError(error, "data receive error");
        return true;
    }
    if (FSocksState < 1 || FSocksState > 3) {
        SocksError(20013, "internal error");
        return true;
    }
    if (FSocksState == 1 && FSocksLevel[0] == '4') {
        SocksError(20001, "TAsyncSocket logic error");
        return true;
    }
    int n = ReadReply();
    if (n < 0) {
        int readError = winsock::WSAGetLastError();
        if (readError != winsock::WSAEWOULDBLOCK) SocksError(readError, "data receive error");
        return true;
    }
    if (n == 0) return true;  // the proxy closed: the close event ends the attempt
    switch (FSocksState) {
    case 1: SocksMethodReply(); break;
    case 2: SocksAuthReply(); break;
    case 3: SocksConnectReply(); break;
    }
    return true;
}

void TCustomSocksSocket::SocksMethodReply()
{
    if (FRcvCnt < 2) return;
    if (FRcvBuf[0] != 5) {
        SocksError(20002, "socks version error");
        return;
    }
    int method = FRcvBuf[1];
    ConsumeReply(2);
    if (method == 0) {
        if (FSocksMethod != 0) TriggerSocksAuthState(socksAuthNotRequired);
        SocksDoConnect();
    } else if (method == 2) {
        SocksDoAuthenticate();
    } else {
        SocksError(20003, "authentification method not acceptable");
    }
}

void TCustomSocksSocket::SocksAuthReply()
{
    if (FRcvCnt < 2) return;
    if (FRcvBuf[0] != 1) {
        TriggerSocksAuthState(socksAuthFailure);
        SocksError(20002, "socks version error");
    } else if (FRcvCnt > 2) {
        TriggerSocksAuthState(socksAuthFailure);
        SocksError(20001, "too much data availaible");
    } else if (FRcvBuf[1] != 0) {
        TriggerSocksAuthState(socksAuthFailure);
        SocksError(20015, "socks authentication failed");
    } else {
        TriggerSocksAuthState(socksAuthSuccess);
        FRcvCnt = 0;
        SocksDoConnect();
    }
}

void TCustomSocksSocket::SocksConnectReply()
{
    if (FSocksLevel[0] == '4') {
        if (FRcvCnt < 8) return;
        if (FRcvBuf[0] != 0) {
            SocksError(20002, "socks version error");
            return;
        }
        int status = FRcvBuf[1];
        switch (status) {
        case 90: SocksConnected(8); return;
        case 91: SocksError(20016, "request rejected or failed"); return;
        case 92: SocksError(20008, "connection refused"); return;
        case 93: SocksError(20015, "authentification failed"); return;
        default: SocksError(20012, "unassigned error #" + std::to_string(status)); return;
        }
    }
    if (FRcvCnt < 2) return;
    if (FRcvBuf[0] != 5) {
        SocksError(20002, "socks version error");
        return;
    }
    int status = FRcvBuf[1];
    if (status != 0) {
        switch (status) {
        case 1: SocksError(20004, "general SOCKS server failure"); return;
        case 2: SocksError(20005, "connection not allowed by ruleset"); return;
        case 3: SocksError(20006, "network unreachable"); return;
        case 4: SocksError(20007, "host unreachable"); return;
        case 5: SocksError(20008, "connection refused"); return;
        case 6: SocksError(20009, "time to live expired"); return;
        case 7: SocksError(20010, "command not supported"); return;
        case 8: SocksError(20011, "address type not supported"); return;
        default: SocksError(20012, "unassigned error #" + std::to_string(status)); return;
        }
    }
    if (FRcvCnt <= 4) return;
    int length;
    switch (FRcvBuf[3]) {
    case 1: length = 10; break;
    case 3: length = FRcvBuf[4] + 7; break;
    default: SocksError(20011, "address type not supported"); return;
    }
    if (FRcvCnt < length) return;
    if (FRcvBuf[3] == 1) {
        std::uint32_t address;
        std::memcpy(&address, FRcvBuf.data() + 4, 4);
        FBoundAddr = winsock::inet_ntoa(address);
    } else {
        FBoundAddr.assign(reinterpret_cast<const char*>(FRcvBuf.data()) + 5, FRcvBuf[4]);
    }
    int port = (FRcvBuf[length - 2] << 8) | FRcvBuf[length - 1];
    FBoundPort = std::to_string(port);
    SocksConnected(length);
}

void TCustomSocksSocket::SocksConnected(int replyLength)
{
    FSocksState = 0;
    FSocksRcvdPtr = replyLength;
    FSocksRcvdCnt = FRcvCnt - replyLength;
    FRcvCnt = 0;
    TCustomAsyncSocket::TriggerSessionConnected(0);
    // Bytes that came behind the proxy's reply are handed out at once.
    while (FSocksRcvdCnt > 0 && FHSocket != INVALID_SOCKET) {
        int before = FSocksRcvdCnt;
        TriggerDataAvailable(0);
        if (FSocksRcvdCnt >= before) break;
    }
}

int TCustomSocksSocket::RecvRaw(void* buffer, int size, int flags)
{
    if (FSocksRcvdCnt <= 0) return TCustomAsyncSocket::RecvRaw(buffer, size, flags);
    if (size <= 0) return 0;
    int count = std::min(size, FSocksRcvdCnt);
    std::memcpy(buffer, FRcvBuf.data() + FSocksRcvdPtr, static_cast<std::size_t>(count));
    FSocksRcvdPtr += count;
    FSocksRcvdCnt -= count;
    if (FSocksRcvdCnt == 0) FSocksRcvdPtr = 0;
    return count;
}

int TCustomSocksSocket::GetRcvdCount()
{
    if (FSocksRcvdCnt > 0) return FSocksRcvdCnt;
    return TCustomAsyncSocket::GetRcvdCount();
}

void TCustomSocksSocket::TriggerSessionClosed(std::uint16_t error)
{
    if (FSocksState != 0) {
        // The proxy went away in the middle of the negotiation: the connect
        // ends with an error event rather than never at all.
        int state = FSocksState;
        FSocksState = 0;
        if (state == 2) TriggerSocksAuthState(socksAuthFailure);
        TCustomAsyncSocket::TriggerSessionConnected(error != 0 ? error : winsock::WSAECONNRESET);
    }
    TCustomAsyncSocket::TriggerSessionClosed(error);
}
