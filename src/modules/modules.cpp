#include "modules/modules.h"

#include <dlfcn.h>
#include <unistd.h>

#include <cstdlib>
#include <map>
#include <memory>

#include "core/codec.h"
#include "core/file_io.h"
#include "interp/services.h"
#include "media/player.h"
#include "porukana_version.h"

#ifndef PORUKANA_INSTALL_MODULE_DIR
#define PORUKANA_INSTALL_MODULE_DIR ""
#endif

namespace {

struct TModuleState {
    bool Tried = false;
    bool Loaded = false;
    std::string Reason;   // why it could not be loaded (Shift_JIS)
};

std::map<std::string, TModuleState>& States()
{
    static std::map<std::string, TModuleState> states;
    return states;
}

std::string ExeFolder()
{
    char buf[4096];
    const ssize_t n = readlink("/proc/self/exe", buf, sizeof buf - 1);
    if (n <= 0)
        return std::string();
    std::string path(buf, static_cast<size_t>(n));
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

void RunThroughModule(TPoruBase& st);

// The command cannot run here: the same words as any command this run-time cannot
// run, with the reason in brackets.
[[noreturn]] void RaiseUnavailable(TPoruBase& st, const std::string& reason)
{
    st.Error("\"" + RunningCommandName(st) + "\"は、この実行環境では使えません（" + reason + "）。");
}

void RunThroughModule(TPoruBase& st)
{
    if (!st.CurrentCommand)
        st.Error("ぽるかな命令のリンク切れ。作者へ報告を！");
    const int id = st.CurrentCommand->Id;
    Family family;
    const char* module = FamilyOfId(id, family) ? ModuleOfFamily(family) : nullptr;
    if (!module)
        RaiseUnavailable(st, "モジュールがありません");
    std::string reason;
    if (!LoadModule(module, reason))
        RaiseUnavailable(st, reason);
    const Handler h = GetHandler(id);
    if (!h || h == RunThroughModule)
        RaiseUnavailable(st, std::string("モジュールporukana-") + module + ".soにこの命令がありません");
    h(st);
}

// The media service (the players) lives in the media module too: the window's
// animation box asks for it without running a media command first.
struct TMediaServiceLater {
    TMediaServiceLater()
    {
        ProvideServiceLater(typeid(IMediaService), [] {
            std::string reason;
            return LoadModule("media", reason);
        });
    }
};
TMediaServiceLater gMediaServiceLater;

// Installed while the executable starts: a host's own installers that fill only the
// commands without a handler (the console's window refusals) keep their hands off
// these, and the modules' registrars replace them when they load.
struct TInstallPlaceholders {
    TInstallPlaceholders() { InstallModulePlaceholders(); }
};
TInstallPlaceholders gInstallPlaceholders;

}   // namespace

const std::vector<TModuleFamily>& ModuleFamilies()
{
    static const std::vector<TModuleFamily> families = {
        {"net", Family::Net},     {"net", Family::Tcp},       {"archive", Family::Archive},
        {"media", Family::Media}, {"office", Family::Office},
    };
    return families;
}

const char* ModuleOfFamily(Family f)
{
    for (const TModuleFamily& m : ModuleFamilies())
        if (m.Family_ == f)
            return m.Module;
    return nullptr;
}

std::vector<std::string> ModuleNames()
{
    std::vector<std::string> names;
    for (const TModuleFamily& m : ModuleFamilies())
        if (names.empty() || names.back() != m.Module)
            names.push_back(m.Module);
    return names;
}

bool FolderServesThisVersion(const std::string& folder)
{
    std::string stamp = ReadFileHead(folder + kModuleVersionFile, 64);
    while (!stamp.empty() && (stamp.back() == '\n' || stamp.back() == '\r'))
        stamp.pop_back();
    return stamp == PORUKANA_VERSION;
}

std::vector<std::string> ModuleFolders()
{
    std::vector<std::string> folders;
    auto add = [&folders](std::string folder) {
        if (folder.empty())
            return;
        if (folder.back() != '/')
            folder += '/';
        for (const std::string& f : folders)
            if (f == folder)
                return;
        folders.push_back(folder);
    };
    if (const char* named = std::getenv("PORUKANA_MODULE_DIR")) {
        add(named);
        return folders;
    }
    const std::string exe = ExeFolder();
    if (!exe.empty())
        add(exe + "../lib/porukana/");
    // The installation's modules serve a copy of the run-time of the same version
    // only: another version's would not fit the executable they are loaded into.
    if (FolderServesThisVersion(PORUKANA_INSTALL_MODULE_DIR))
        add(PORUKANA_INSTALL_MODULE_DIR);
    return folders;
}

bool (*gPrepareModule)(const std::string& name) = nullptr;

std::shared_ptr<void> MakeModuleService(std::type_index type, const std::function<bool()>& load, TPoruBase& st,
                                        bool& busy)
{
    if (busy || !load())
        return nullptr;
    services_detail::Factory real = services_detail::FactoryOf(type);
    if (!real)
        return nullptr;
    busy = true;   // a module without the service leaves the factory asking in place
    std::shared_ptr<void> made = real(st);
    busy = false;
    return made;
}

void ProvideServiceLater(std::type_index type, std::function<bool()> load)
{
    auto asking = std::make_shared<bool>(false);
    services_detail::Provide(type, [type, load, asking](TPoruBase& st) -> std::shared_ptr<void> {
        // The module's provider replaces (and so destroys) this factory while it
        // loads: nothing it captured is used after that, only these copies.
        const std::shared_ptr<bool> busy = asking;
        const std::function<bool()> loadModule = load;
        return MakeModuleService(type, loadModule, st, *busy);
    });
}

bool LoadModule(const std::string& name, std::string& reason)
{
    TModuleState& state = States()[name];
    if (!state.Tried) {
        state.Tried = true;
        if (gPrepareModule && !gPrepareModule(name)) {
            state.Reason = "モジュールporukana-" + name + ".soの準備ができません";
            reason = state.Reason;
            return false;
        }
        const std::string file = "porukana-" + name + ".so";
        std::string failure;
        for (const std::string& folder : ModuleFolders()) {
            const std::string path = folder + file;
            if (access(path.c_str(), F_OK) != 0)
                continue;
            // The module's static registrars install its handlers while it loads.
            if (dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL)) {
                state.Loaded = true;
                break;
            }
            const char* why = dlerror();
            failure = "モジュール" + file + "を読み込めません: " + Utf8ToSjis(why ? why : "");
            break;
        }
        if (!state.Loaded)
            state.Reason = failure.empty() ? "モジュール" + file + "が見つかりません" : failure;
    }
    reason = state.Reason;
    return state.Loaded;
}

bool ModuleLoaded(const std::string& name)
{
    auto it = States().find(name);
    return it != States().end() && it->second.Loaded;
}

void InstallModulePlaceholders()
{
    size_t count = 0;
    const CommandRow* rows = CommandRows(count);
    for (size_t i = 0; i < count; ++i) {
        const char* module = ModuleOfFamily(rows[i].family);
        if (module && !ModuleLoaded(module))
            SetHandler(static_cast<Cmd>(rows[i].id), RunThroughModule);
    }
}

bool IsModulePlaceholder(Handler h)
{
    return h == RunThroughModule;
}
