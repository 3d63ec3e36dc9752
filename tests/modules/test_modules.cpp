// The module families as a run-time sees them: before a module is loaded each of its
// commands has the placeholder that loads it; loading it leaves none of them, and
// every command of its families then runs the module's own handler.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <set>
#include <string>

#include "core/codec.h"
#include "interp/builtins.h"
#include "interp/interp.h"
#include "interp/services.h"
#include "media/player.h"
#include "modules/modules.h"
#include "porukana_version.h"

namespace {

std::set<std::string> FamiliesOf(const std::string& module)
{
    std::set<std::string> names;
    for (const TModuleFamily& m : ModuleFamilies())
        if (module == m.Module)
            names.insert(FamilyName(m.Family_));
    return names;
}

std::string Describe(const CommandRow& row)
{
    return SjisToUtf8(row.name) + " (Cmd::" + row.symbol + ", " + FamilyName(row.family) + ")";
}

// Before a module loads, every command of a module family has the placeholder (the
// families the executable links have their own handlers); loading the module leaves
// none on its families and keeps them on the others' (each module is loaded by a test
// of its own, in a process of its own under ctest).
void CheckLoading(const std::string& module)
{
    size_t count = 0;
    const CommandRow* rows = CommandRows(count);
    int placeholders = 0;
    for (size_t i = 0; i < count; ++i) {
        const Handler h = GetHandler(rows[i].id);
        const char* owner = ModuleOfFamily(rows[i].family);
        if (owner && !ModuleLoaded(owner)) {
            EXPECT_TRUE(IsModulePlaceholder(h)) << Describe(rows[i]);
            placeholders += owner == module;
        } else if (!owner && !IsWindowFamily(rows[i].family)) {
            EXPECT_NE(h, nullptr) << Describe(rows[i]);
            EXPECT_FALSE(IsModulePlaceholder(h)) << Describe(rows[i]);
        }
    }
    EXPECT_GT(placeholders, 0) << module << " has no commands, or was loaded before";

    std::string reason;
    ASSERT_TRUE(LoadModule(module, reason)) << SjisToUtf8(reason);
    EXPECT_TRUE(reason.empty());
    EXPECT_TRUE(ModuleLoaded(module));
    EXPECT_TRUE(LoadModule(module, reason));   // a second load is the first one's answer
    const std::set<std::string> families = FamiliesOf(module);
    for (size_t i = 0; i < count; ++i) {
        const char* owner = ModuleOfFamily(rows[i].family);
        if (!owner)
            continue;
        const Handler h = GetHandler(rows[i].id);
        if (families.count(FamilyName(rows[i].family))) {
            EXPECT_NE(h, nullptr) << Describe(rows[i]);
            EXPECT_FALSE(IsModulePlaceholder(h)) << Describe(rows[i]);
        } else if (!ModuleLoaded(owner)) {
            EXPECT_TRUE(IsModulePlaceholder(h)) << Describe(rows[i]) << " before " << owner << " loads";
        }
    }
    // Installing again (a host that installs after a load) keeps the real handlers.
    InstallModulePlaceholders();
    for (size_t i = 0; i < count; ++i) {
        if (families.count(FamilyName(rows[i].family))) {
            EXPECT_FALSE(IsModulePlaceholder(GetHandler(rows[i].id))) << Describe(rows[i]);
        }
    }
}

}   // namespace

TEST(Modules, EveryModuleFamilyHasItsModule)
{
    EXPECT_EQ(ModuleNames(), (std::vector<std::string>{"net", "archive", "media", "office"}));
}

TEST(Modules, TheNetModuleReplacesItsPlaceholders)
{
    CheckLoading("net");
}

TEST(Modules, TheArchiveModuleReplacesItsPlaceholders)
{
    CheckLoading("archive");
}

TEST(Modules, TheMediaModuleReplacesItsPlaceholders)
{
    CheckLoading("media");
}

TEST(Modules, TheOfficeModuleReplacesItsPlaceholders)
{
    CheckLoading("office");
}

TEST(Modules, TheNamedFolderIsTheOnlyOneLookedIn)
{
    setenv("PORUKANA_MODULE_DIR", "/nonexistent/modules", 1);
    const std::vector<std::string> named = ModuleFolders();
    EXPECT_EQ(named, (std::vector<std::string>{"/nonexistent/modules/"}));
    unsetenv("PORUKANA_MODULE_DIR");
    const std::vector<std::string> folders = ModuleFolders();
    ASSERT_FALSE(folders.empty());
    EXPECT_NE(folders[0].find("/../lib/porukana/"), std::string::npos) << folders[0];
}

// The window's animation box asks for the players without a media command first: the
// service table loads the media module for it. Without the module there is no
// service (nil, the "cannot work here" path of its callers), and no loop.
TEST(Modules, ThePlayersComeWithTheMediaModule)
{
    if (ModuleLoaded("media"))
        GTEST_SKIP() << "the media module was loaded by an earlier test of this process";
    TPoruBase st;
    IMediaService* media = FindService<IMediaService>(st);
    EXPECT_NE(media, nullptr);
    EXPECT_TRUE(ModuleLoaded("media"));
    EXPECT_EQ(FindService<IMediaService>(st), media);
}

TEST(Modules, WithoutTheMediaModuleThereAreNoPlayers)
{
    if (ModuleLoaded("media"))
        GTEST_SKIP() << "the media module was loaded by an earlier test of this process";
    setenv("PORUKANA_MODULE_DIR", "/nonexistent/modules", 1);
    TPoruBase st;
    EXPECT_EQ(FindService<IMediaService>(st), nullptr);
    std::string reason;
    EXPECT_FALSE(LoadModule("media", reason));
    EXPECT_EQ(reason, "モジュールporukana-media.soが見つかりません") << SjisToUtf8(reason);
    unsetenv("PORUKANA_MODULE_DIR");
}

// An installation's modules serve a run-time of their own version only.
TEST(Modules, AFolderServesTheVersionItsStampNames)
{
    namespace fs = std::filesystem;
    const fs::path dir = fs::temp_directory_path() / ("porukana-modules-test-" + std::to_string(getpid()));
    fs::create_directories(dir);
    const std::string folder = dir.string() + "/";
    EXPECT_FALSE(FolderServesThisVersion(folder)) << "no stamp";
    std::ofstream(dir / kModuleVersionFile) << "0.0.1\n";
    EXPECT_FALSE(FolderServesThisVersion(folder)) << "another version";
    std::ofstream(dir / kModuleVersionFile) << PORUKANA_VERSION << "\n";
    EXPECT_TRUE(FolderServesThisVersion(folder));
    fs::remove_all(dir);
}
