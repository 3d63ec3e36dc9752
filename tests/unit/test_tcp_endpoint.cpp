// "address:port" as the TCP commands read it, and the form they give a peer in.
#include <gtest/gtest.h>

#include "net/tcp_service.h"

namespace {

TEST(TcpEndpoint, SplitsAddressAndPortOrLeavesTheTextAnAddress)
{
    std::string a;
    uint16_t p = 0;
    ASSERT_TRUE(SplitEndpoint("127.0.0.1:50312", a, p));
    EXPECT_EQ(a + "/" + std::to_string(p), "127.0.0.1/50312");
    ASSERT_TRUE(SplitEndpoint("[::1]:65535", a, p));
    EXPECT_EQ(a + "/" + std::to_string(p), "::1/65535");
    for (const char* text : {"127.0.0.1", "localhost", "::1", "fe80::1:80", "host:", ":80", "host:0", "host:65536",
                             "host:123456", "host:8o", "[]:80"}) {
        a = "unchanged";
        EXPECT_FALSE(SplitEndpoint(text, a, p)) << text;
        EXPECT_EQ(a, "unchanged") << text;
    }
    for (const TTcpPeer& peer : {TTcpPeer{"192.0.2.1", "h", 8080}, TTcpPeer{"2001:db8::5", "", 443}}) {
        ASSERT_TRUE(SplitEndpoint(peer.Endpoint(), a, p)) << peer.Endpoint();
        EXPECT_EQ(a + "/" + std::to_string(p), peer.Address + "/" + std::to_string(peer.Port));
    }
}

}   // namespace
