// The waiting layer: run a routine, then wait for a flag by pumping messages.
#include "SocketTestSupport.h"

#include <gtest/gtest.h>

#include <thread>

using namespace socktest;

TEST(SyncSocket, RunAndWaitReturnsWhenTheFlagIsSet)
{
    int port = 0;
    auto listener = MakeListener(port);
    TAsyncSocket client;
    bool connected = false;
    client.OnSessionConnected = [&](TCustomAsyncSocket*, std::uint16_t) { connected = true; };
    client.SetAddr("127.0.0.1");
    client.SetPort(std::to_string(port));
    EXPECT_EQ(client.RunAndWait(connected, [&] { client.Connect(); }), 0);
    EXPECT_TRUE(connected);
    EXPECT_EQ(client.State(), wsConnected);
    EXPECT_EQ(client.WaitForFlag(connected), 0) << "an already set flag returns at once";
}

TEST(SyncSocket, TerminationEndsTheWaitWith12001)
{
    TAsyncSocket socket;
    bool never = false;
    std::thread stopper([] {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        RequestTermination();
    });
    EXPECT_EQ(socket.WaitForFlag(never), 12001);
    stopper.join();
    ClearTermination();
}
