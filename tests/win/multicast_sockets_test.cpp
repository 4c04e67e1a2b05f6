// The discovery sockets on their own, opened as the main window's start-up opens them (inside the lab).
#include <gtest/gtest.h>

#include "discovery_state.h"

namespace {

bool Inheritable(SOCKET socket) {
    DWORD flags = 0;
    EXPECT_TRUE(::GetHandleInformation(reinterpret_cast<HANDLE>(socket), &flags));
    return (flags & HANDLE_FLAG_INHERIT) != 0;
}

} // namespace

// A child process (the hidden "arp -d" of WEB) must never get them: sockets are inheritable by default.
TEST(MulticastSockets, AreNeverHandedToAChildProcess) {
    WSADATA data{};
    ASSERT_EQ(::WSAStartup(MAKEWORD(2, 2), &data), 0);
    DiscoveryState state;
    ASSERT_EQ(state.ConnectMulticastReceive(), 1);
    ASSERT_EQ(state.ConnectMulticastSend(), 1);
    EXPECT_FALSE(Inheritable(state.m_sockRecv));
    EXPECT_FALSE(Inheritable(state.m_sockSend));
    state.CloseMulticastSend();
    state.CloseMulticastReceive();
    ::WSACleanup();
}
