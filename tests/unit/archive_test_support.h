// Helpers of the archive tests: a private work folder, files, trees and the
// committed fixtures.
#pragma once
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <string>

namespace archive_test {

namespace fs = std::filesystem;

inline void WriteBytes(const fs::path& p, const std::string& bytes)
{
    fs::create_directories(p.parent_path());
    std::ofstream out(p, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

inline std::string ReadBytes(const fs::path& p)
{
    std::ifstream in(p, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

// Every regular file below `root` by relative path, with its contents.
inline std::map<std::string, std::string> Tree(const fs::path& root)
{
    std::map<std::string, std::string> t;
    if (!fs::exists(root))
        return t;
    for (const auto& e : fs::recursive_directory_iterator(root))
        if (e.is_regular_file())
            t[fs::relative(e.path(), root).string()] = ReadBytes(e.path());
    return t;
}

inline fs::path Fixture(const std::string& name)
{
    return fs::path(PORUKANA_SOURCE_DIR) / "tests/data/archive" / name;
}

// Compressible text of about `n` bytes that is the same in every run.
inline std::string Text(size_t n, unsigned seed = 1)
{
    static const char* words[] = {"archive ", "folder ", "file ", "data ", "pack ", "unpack ", "名前 ", "\n"};
    std::string s;
    unsigned x = seed;
    while (s.size() < n) {
        x = x * 1103515245u + 12345u;
        s += words[(x >> 16) % 8];
    }
    s.resize(n);
    return s;
}

inline std::string Noise(size_t n, unsigned seed = 7)
{
    std::string s(n, '\0');
    unsigned x = seed;
    for (char& c : s) {
        x = x * 1664525u + 1013904223u;
        c = static_cast<char>(x >> 24);
    }
    return s;
}

class WorkFolder : public ::testing::Test {
protected:
    fs::path dir;
    void SetUp() override
    {
        char tmpl[] = "/tmp/poru-archive-XXXXXX";
        dir = mkdtemp(tmpl);
    }
    void TearDown() override
    {
        std::error_code ec;
        fs::remove_all(dir, ec);
    }
};

}   // namespace archive_test
