// FTP listings turned into results, the session's own working folder, and the
// small helpers of the network commands (host:port, URL segments, command lines).
#include <gtest/gtest.h>

#include "commands/patterns/wildcard.h"
#include "net/ftp_listing.h"
#include "net/ftp_session.h"
#include "net/transfer.h"

TEST(FtpListing, FolderNamesFromADetailedListing)
{
    const std::vector<std::string> lines = {
        "total 12",
        "drwxr-xr-x   2 user  group  4096 Dec  1 10:00 docs",
        "-rw-r--r--   1 user  group    10 Dec  1 10:00 a.txt",
        "DRWX------   2 user  group  4096 Dec  1 10:00 Private",
        "lrwxrwxrwx   1 user  group     4 Dec  1 10:00 link -> docs",
        "",
        "drwxr-xr-x   2 user  group  4096 Dec  1 10:00 my folder",
        "TOTAL 3",
        "d",
    };
    EXPECT_EQ(FolderNames(lines, ""), "docs\r\nPrivate\r\nfolder\r\nd");
    EXPECT_EQ(FolderNames(lines, "d*"), "docs\r\nd");
    EXPECT_EQ(FolderNames(lines, "*ri*"), "Private");
    EXPECT_EQ(FolderNames(lines, "none"), "");
    EXPECT_EQ(FolderNames({}, ""), "");
    EXPECT_THROW(FolderNames(lines, "[\\q]"), EWildcard);   // an unknown escape in a class
}

TEST(FtpListing, NameListsAndInfo)
{
    EXPECT_EQ(NameListText({"a.txt", "b.txt", ""}), "a.txt\r\nb.txt");
    EXPECT_EQ(NameListText({}), "");
    EXPECT_EQ(ListingText({"line 1", "line 2"}), "line 1\r\nline 2\r\n");
    EXPECT_EQ(MaskFolder("sub/dir/*.txt"), "sub/dir/");
    EXPECT_EQ(MaskFolder("*.txt"), "");
    EXPECT_EQ(MatchingNames({"a.txt", "B.TXT", "c.dat", "sub/d.txt", ""}, "*.txt"),
              (std::vector<std::string>{"a.txt", "B.TXT", "sub/d.txt"}));
    EXPECT_EQ(MatchingNames({"sub/a.txt", "sub/b.dat"}, "sub/?.dat"), (std::vector<std::string>{"sub/b.dat"}));
    EXPECT_EQ(MatchingNames({"a", "b"}, ""), (std::vector<std::string>{"a", "b"}));
}

TEST(FtpSession, WorkingFolderWalk)
{
    struct {
        std::vector<std::string> from;
        bool absolute;
        const char* path;
        std::vector<std::string> to;
        bool toAbsolute;
    } cases[] = {
        {{}, false, "pub", {"pub"}, false},
        {{"pub"}, false, "docs/old", {"pub", "docs", "old"}, false},
        {{"pub", "docs"}, false, "..", {"pub"}, false},
        {{"pub"}, false, "../..", {".."}, false},   // above the login folder
        {{".."}, false, "..", {"..", ".."}, false},
        {{".."}, false, "x", {"..", "x"}, false},
        {{"pub"}, false, "./a//b/.", {"pub", "a", "b"}, false},
        {{"pub"}, false, "/srv/ftp", {"srv", "ftp"}, true},
        {{}, true, "..", {}, true},   // the root's parent is the root
        {{"srv"}, true, "../../x", {"x"}, true},
        {{"a"}, false, "/", {}, true},
    };
    for (const auto& c : cases) {
        std::vector<std::string> segs = c.from;
        bool absolute = c.absolute;
        TFtpSession::Walk(segs, absolute, c.path);
        EXPECT_EQ(segs, c.to) << c.path;
        EXPECT_EQ(absolute, c.toAbsolute) << c.path;
    }
}

TEST(FtpSession, CommandsNeedASession)
{
    TFtpSession s;
    EXPECT_FALSE(s.Connected());
    EXPECT_EQ(s.RemotePath(), "");
    EXPECT_TRUE(s.Binary());
    TTransferHooks hooks;
    EXPECT_FALSE(s.Connect({"", 21, "u", "p", true}, hooks));
    EXPECT_FALSE(s.Connected());
    EXPECT_FALSE(s.Connect({"127.0.0.1", 21, "u\r\nDELE x", "p", true}, hooks));
    EXPECT_FALSE(s.Connected());
}

TEST(NetHelpers, HostAndPort)
{
    struct {
        const char* in;
        bool ok;
        const char* host;
        int port;
    } cases[] = {
        {"mail.example.com", true, "mail.example.com", 25},
        {"127.0.0.1:2525", true, "127.0.0.1", 2525},
        {"[::1]:2121", true, "::1", 2121},
        {"[::1]", true, "::1", 25},
        {"::1", true, "::1", 25},
        {"host:", false, "host", 25},
        {"host:0", false, "host", 25},
        {"host:65536", false, "host", 25},
        {"host:12a", false, "host", 25},
        {"[::1", false, "", 25},
    };
    for (const auto& c : cases) {
        std::string host;
        int port = 0;
        EXPECT_EQ(SplitHostPort(c.in, host, port, 25), c.ok) << c.in;
        if (c.ok) {
            EXPECT_EQ(host, c.host) << c.in;
            EXPECT_EQ(port, c.port) << c.in;
        }
    }
    EXPECT_EQ(ServerUrl("ftp", "::1", 21), "ftp://[::1]:21/");
    EXPECT_EQ(ServerUrl("smtp", "a.b", 25), "smtp://a.b:25/");
}

TEST(NetHelpers, SegmentsAndCommandLines)
{
    EXPECT_EQ(EscapeSegment("a b/c%d.txt"), "a%20b%2Fc%25d.txt");
    EXPECT_EQ(EscapeSegment("資料"), "%E8%B3%87%E6%96%99");   // in UTF-8, as servers expect names
    EXPECT_EQ(EscapeSegment("A-z_0.9~"), "A-z_0.9~");
    EXPECT_TRUE(HasControlChar("a\r\nDELE b"));
    EXPECT_TRUE(HasControlChar(std::string("a\0b", 3)));
    EXPECT_FALSE(HasControlChar("資料 です.txt"));
}
