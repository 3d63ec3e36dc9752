// フォルダ削除 never removes the home folder, even at the low security level where
// it asks no question. (Kept out of the script tests: a script run by hand outside
// the test runner would aim at the real home folder.)
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "core/codec.h"
#include "interp/interp.h"

namespace fs = std::filesystem;

TEST(FolderRemoval, RefusesTheHomeFolder)
{
    fs::path home = fs::temp_directory_path() / ("porukana-home-" + std::to_string(::getpid()));
    fs::create_directories(home);
    std::ofstream(home / "keep.txt") << "x";
    const char* saved = std::getenv("HOME");
    std::string savedHome = saved ? saved : "";
    setenv("HOME", home.c_str(), 1);
    {
        TPoruBase st;
        st.FileName = "home.prk";
        st.SecurityLevel = 0;
        st.Source = "エラーを無視\r\nH=「" + FromNativePath(home.string()) + "」\r\nHの、フォルダ削除\r\n";
        st.PrepareRun();
        st.Cursor = st.Source.c_str();
        st.RunLoop();
    }
    if (saved)
        setenv("HOME", savedHome.c_str(), 1);
    else
        unsetenv("HOME");
    EXPECT_TRUE(fs::exists(home / "keep.txt"));
    fs::remove_all(home);
}
