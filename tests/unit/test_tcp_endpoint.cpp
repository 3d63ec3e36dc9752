// "address:port" as the TCP commands read it, and the form they give a peer in.
#include <gtest/gtest.h>

#include "net/tcp_service.h"

namespace {

bool Split(const std::string& text, std::string& address, uint16_t& port)
{
    address = "unchanged";
    port = 7;
    return SplitEndpoint(text, address, port);
}

TEST(TcpEndpoint, SplitsAddressAndPort)
{
    std::string a;
    uint16_t p = 0;
    ASSERT_TRUE(Split("127.0.0.1:50312", a, p));
    EXPECT_EQ(a, "127.0.0.1");
    EXPECT_EQ(p, 50312);
    ASSERT_TRUE(Split("example.org:1", a, p));
    EXPECT_EQ(a, "example.org");
    EXPECT_EQ(p, 1);
    ASSERT_TRUE(Split("[::1]:65535", a, p));
    EXPECT_EQ(a, "::1");
    EXPECT_EQ(p, 65535);
}

TEST(TcpEndpoint, OtherTextsAreAnAddressAlone)
{
    std::string a;
    uint16_t p = 0;
    for (const char* text : {"127.0.0.1", "localhost", "::1", "fe80::1:80", "host:", ":80", "host:0", "host:65536",
                             "host:123456", "host:8o", "[]:80"}) {
        EXPECT_FALSE(Split(text, a, p)) << text;
        EXPECT_EQ(a, "unchanged") << text;
        EXPECT_EQ(p, 7) << text;
    }
}

TEST(TcpEndpoint, PeerEndpointReadsBack)
{
    for (const TTcpPeer& peer : {TTcpPeer{"192.0.2.1", "h", 8080}, TTcpPeer{"2001:db8::5", "", 443}}) {
        std::string a;
        uint16_t p = 0;
        ASSERT_TRUE(SplitEndpoint(peer.Endpoint(), a, p)) << peer.Endpoint();
        EXPECT_EQ(a, peer.Address);
        EXPECT_EQ(p, peer.Port);
    }
    EXPECT_EQ((TTcpPeer{"192.0.2.1", "h", 8080}.Description()), "192.0.2.1,h");
}

}   // namespace
