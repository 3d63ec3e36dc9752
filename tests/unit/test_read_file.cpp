// Whole-file reads of the loader: regular files only, never blocking.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "core/file_io.h"

namespace fs = std::filesystem;

namespace {

struct ReadFile : ::testing::Test {
    fs::path dir;
    void SetUp() override
    {
        char tmpl[] = "/tmp/poru-readfile-XXXXXX";
        dir = mkdtemp(tmpl);
    }
    void TearDown() override { fs::remove_all(dir); }
    std::string Write(const char* name, const std::string& bytes)
    {
        const fs::path p = dir / name;
        std::ofstream(p, std::ios::binary) << bytes;
        return p.string();
    }
};

TEST_F(ReadFile, RegularFilesAreReadWholeWithinTheBound)
{
    std::string big(200000, 'x');
    big[123456] = '\0';   // zero bytes are data here
    const std::string path = Write("big", big);
    std::string out = "old";
    ASSERT_TRUE(ReadRegularFile(path, out));
    EXPECT_EQ(out, big);
    ASSERT_TRUE(ReadRegularFile(Write("empty", ""), out));
    EXPECT_EQ(out, "");

    // More than the bound: refused, and what the caller had is kept.
    out = "kept";
    EXPECT_FALSE(ReadRegularFile(path, out, 199999));
    EXPECT_EQ(out, "kept");
    EXPECT_TRUE(ReadRegularFile(path, out, 200000));

    // A symbolic link to a regular file is that file.
    fs::create_symlink(path, dir / "link");
    EXPECT_TRUE(IsRegularFile((dir / "link").string()));
    EXPECT_TRUE(ReadRegularFile((dir / "link").string(), out));
    EXPECT_EQ(out.size(), big.size());
}

TEST_F(ReadFile, FoldersFifosDevicesAndFailingReadsAreRefused)
{
    ASSERT_EQ(mkfifo((dir / "fifo").c_str(), 0600), 0);   // no writer: opening would wait
    fs::create_directory(dir / "sub");
    for (const std::string& path : {(dir / "fifo").string(), (dir / "sub").string(), std::string("/dev/zero"),
                                    std::string("/dev/null"), (dir / "missing").string()}) {
        std::string out = "kept";
        EXPECT_FALSE(IsRegularFile(path)) << path;
        EXPECT_FALSE(ReadRegularFile(path, out)) << path;
        EXPECT_EQ(out, "kept") << path;
    }
    // Files under /proc have no size but can be read to their end; some fail.
    std::string status;
    ASSERT_TRUE(ReadRegularFile("/proc/self/status", status));
    EXPECT_NE(status.find("Pid:"), std::string::npos);
    std::string mem;
    EXPECT_FALSE(ReadRegularFile("/proc/self/mem", mem));
}

}   // namespace
