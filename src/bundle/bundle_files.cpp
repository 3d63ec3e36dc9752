// Collecting the files of a run-time bundle.
#include "bundle/bundle_files.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>

extern char** environ;

namespace fs = std::filesystem;

namespace {

// The Qt plug-in folders a run-time may load from: all of every listed folder,
// or the files of a folder that start with one of the given names.
struct TPluginGroup {
    const char* Folder;
    bool WindowOnly;
    std::vector<const char*> Prefixes;   // empty: every plug-in of the folder
};

const std::vector<TPluginGroup>& PluginGroups()
{
    static const std::vector<TPluginGroup> groups = {
        {"platforms", true, {"libqoffscreen", "libqminimal.", "libqxcb", "libqwayland"}},
        {"xcbglintegrations", true, {}},
        {"wayland-shell-integration", true, {}},
        {"wayland-decoration-client", true, {}},
        {"wayland-graphics-integration-client", true, {}},
        {"imageformats", true, {}},
        {"iconengines", true, {}},
        {"platforminputcontexts", true, {}},
        {"printsupport", true, {}},
        // Qt Multimedia plays through GStreamer here; the FFmpeg back end (and its
        // hundred megabytes of codecs) is only used when asked for by name.
        {"multimedia", false, {"libgstreamermediaplugin"}},
        {"tls", false, {}},
        {"networkinformation", false, {}},
    };
    return groups;
}

// What a program writes to standard output; false when it cannot be run or fails.
bool RunCapture(std::vector<std::string> args, std::string& out)
{
    int pipeFd[2];
    if (pipe(pipeFd) != 0)
        return false;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, pipeFd[1], 1);
    posix_spawn_file_actions_addclose(&actions, pipeFd[0]);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    std::vector<char*> argv;
    for (std::string& a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    pid_t pid = 0;
    const int rc = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(pipeFd[1]);
    if (rc != 0) {
        close(pipeFd[0]);
        return false;
    }
    char buf[8192];
    ssize_t n;
    while ((n = read(pipeFd[0], buf, sizeof buf)) > 0 || (n < 0 && errno == EINTR))
        if (n > 0)
            out.append(buf, static_cast<size_t>(n));
    close(pipeFd[0]);
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

// ldd's answer for a file.
bool RunLdd(const std::string& file, std::string& out)
{
    return RunCapture({"ldd", file}, out);
}

std::string RealPath(const std::string& path)
{
    std::error_code ec;
    fs::path p = fs::canonical(path, ec);
    return ec ? std::string() : p.string();
}

bool IsDirectory(const fs::path& p)
{
    std::error_code ec;
    return fs::is_directory(p, ec);
}

class TPlanner {
public:
    TPlanner(TBundlePlan& plan) : plan_(plan) {}

    void AddFile(const std::string& name, const std::string& source, unsigned mode)
    {
        if (names_.insert(name).second)
            plan_.Files.push_back({name, source, mode});
    }

    // Adds the libraries `file` needs. `required`: a library ldd cannot find is an
    // error; otherwise it makes the file useless here and false is returned.
    bool AddLibrariesOf(const std::string& file, bool required, std::string& missing)
    {
        std::string out;
        if (!RunLdd(file, out)) {
            missing = "ldd";
            if (required)
                plan_.Error = "「" + file + "」の共有ライブラリを調べられません（ldd が必要です）。";
            return false;
        }
        const std::vector<TLddLine> lines = ParseLddOutput(out);
        for (const TLddLine& l : lines)
            if (l.Path.empty() && !IsSystemCLibrary(l.Name)) {
                missing = l.Name;
                if (required)
                    plan_.Error = "「" + file + "」に必要な " + l.Name + " が見つかりません。";
                return false;
            }
        for (const TLddLine& l : lines) {
            if (IsSystemCLibrary(l.Name))
                continue;
            const std::string real = RealPath(l.Path);
            if (real.empty())
                continue;
            AddFile("lib/" + l.Name, real, 0644);
            if (l.Name.rfind("libQt6Core.so", 0) == 0)
                qtCore_ = real;
        }
        return true;
    }

    // A Qt file taken with its libraries; one whose libraries are missing here is
    // left out (it could not load here either) with a note.
    void AddQtFile(const std::string& name, const std::string& source, unsigned mode)
    {
        std::string missing;
        if (AddLibrariesOf(source, false, missing))
            AddFile(name, source, mode);
        else
            plan_.Notes.push_back(name + " は入れません（" + missing + " がありません）。");
    }

    void AddTree(const fs::path& from, const std::string& name)
    {
        std::error_code ec;
        for (auto it = fs::recursive_directory_iterator(from, ec); !ec && it != fs::recursive_directory_iterator();
             it.increment(ec)) {
            if (it->is_regular_file(ec))
                AddFile(name + "/" + fs::relative(it->path(), from, ec).string(), RealPath(it->path().string()), 0644);
        }
    }

    // Qt's folders, from the place of libQt6Core: the distribution layout
    // (LIBDIR/qt6/plugins, PREFIX/lib/qt6/libexec, PREFIX/share/qt6) or Qt's own
    // (PREFIX/lib, PREFIX/plugins, ...).
    fs::path QtFolder(const char* what) const
    {
        const fs::path lib = fs::path(qtCore_).parent_path();
        const std::string w = what;
        std::vector<fs::path> candidates;
        if (w == "plugins" || w == "libexec")   // Debian keeps libexec in /usr/lib/qt6
            candidates = {lib / "qt6" / w, lib.parent_path() / "qt6" / w, lib.parent_path() / w};
        else   // data
            candidates = {lib.parent_path().parent_path() / "share" / "qt6", lib.parent_path()};
        for (const fs::path& c : candidates)
            if (IsDirectory(c / (w == "data" ? "resources" : "")))
                return c;
        return {};
    }

    const std::string& QtCore() const { return qtCore_; }

private:
    TBundlePlan& plan_;
    std::set<std::string> names_;
    std::string qtCore_;
};

}   // namespace

std::vector<TLddLine> ParseLddOutput(const std::string& text)
{
    std::vector<TLddLine> lines;
    size_t pos = 0;
    while (pos < text.size()) {
        size_t end = text.find('\n', pos);
        if (end == std::string::npos)
            end = text.size();
        std::string line = text.substr(pos, end - pos);
        pos = end + 1;
        const size_t arrow = line.find(" => ");
        if (arrow == std::string::npos)
            continue;   // the loader or the vDSO: no library to carry
        const size_t start = line.find_first_not_of(" \t");
        TLddLine l;
        l.Name = line.substr(start, arrow - start);
        std::string rest = line.substr(arrow + 4);
        if (rest.rfind("not found", 0) != 0) {
            const size_t paren = rest.find(" (0x");
            l.Path = rest.substr(0, paren);
        }
        if (!l.Name.empty())
            lines.push_back(l);
    }
    return lines;
}

bool IsSystemCLibrary(const std::string& soname)
{
    static const char* const kPrefixes[] = {
        "libc.so",
        "libm.so",
        "libpthread.so",
        "libdl.so",
        "librt.so",
        "libresolv.so",
        "libutil.so",
        "libanl.so",
        "libnsl.so",
        "libBrokenLocale.so",
        "libmvec.so",
        "libthread_db.so",
        "libc_malloc_debug.so",
        "libmemusage.so",
        "libpcprofile.so",
        "libnss_",
        "ld-linux",
        "linux-vdso",
        "linux-gate",
        "ld64.so",
    };
    for (const char* p : kPrefixes)
        if (soname.rfind(p, 0) == 0)
            return true;
    return false;
}

std::string BundleQtConf()
{
    return "[Paths]\n"
           "Prefix=..\n"
           "Plugins=plugins\n"
           "LibraryExecutables=libexec\n"
           "Data=share/qt6\n"
           "Translations=share/qt6/translations\n";
}

std::string BundleFontsConf()
{
    return "<?xml version=\"1.0\"?>\n"
           "<!DOCTYPE fontconfig SYSTEM \"urn:fontconfig:fonts.dtd\">\n"
           "<!-- The fonts of a bundled program: the machine's own setup when it has one,\n"
           "     and the Japanese font that travels in this folder. -->\n"
           "<fontconfig>\n"
           "  <include ignore_missing=\"yes\">/etc/fonts/fonts.conf</include>\n"
           "  <dir prefix=\"relative\">.</dir>\n"
           "  <cachedir prefix=\"xdg\">porukana/fontconfig</cachedir>\n"
           "</fontconfig>\n";
}

bool StripCopy(const std::string& from, const std::string& to)
{
    std::string out;
    std::error_code ec;
    return RunCapture({"strip", "-o", to, from}, out) && fs::file_size(to, ec) > 0 && !ec;
}

std::string FindJapaneseFont()
{
    std::string out;
    if (!RunCapture({"fc-match", "-f", "%{file}", "sans-serif:lang=ja"}, out) || out.empty())
        return std::string();
    const std::string real = RealPath(out);
    const std::string ext = fs::path(real).extension().string();
    return ext == ".ttf" || ext == ".otf" || ext == ".ttc" || ext == ".otc" ? real : std::string();
}

bool PlanBundle(const TBundleRequest& request, TBundlePlan& plan)
{
    TPlanner p(plan);
    const std::string runtimeName = request.Window ? "bin/porukana" : "bin/porukana-cli";
    std::string missing;
    if (!p.AddLibrariesOf(request.Runtime, true, missing))
        return false;
    p.AddFile(runtimeName, request.Runtime, 0755);
    if (!request.QtConf.empty())
        p.AddFile("bin/qt.conf", request.QtConf, 0644);
    for (const std::string& module : request.Modules) {
        if (!p.AddLibrariesOf(module, true, missing))
            return false;
        p.AddFile("lib/porukana/" + fs::path(module).filename().string(), module, 0644);
    }
    // The console's run-time has Qt in its event loop's module only.
    if (p.QtCore().empty()) {
        plan.Error = "「" + request.Runtime + "」も、そのモジュールも Qt を使っていません。";
        return false;
    }

    const fs::path plugins = p.QtFolder("plugins");
    if (plugins.empty()) {
        plan.Error = "Qt のプラグインのフォルダが見つかりません（" + p.QtCore() + " の近く）。";
        return false;
    }
    for (const TPluginGroup& g : PluginGroups()) {
        if (g.WindowOnly && !request.Window)
            continue;
        std::error_code ec;
        for (const auto& e : fs::directory_iterator(plugins / g.Folder, ec)) {
            const std::string file = e.path().filename().string();
            if (!e.is_regular_file(ec) || e.path().extension() != ".so")
                continue;
            bool wanted = g.Prefixes.empty();
            for (const char* prefix : g.Prefixes)
                wanted = wanted || file.rfind(prefix, 0) == 0;
            if (wanted)
                p.AddQtFile(std::string("plugins/") + g.Folder + "/" + file, e.path().string(), 0644);
        }
    }

    std::error_code ec;
    if (!request.DataFolder.empty() && IsDirectory(request.DataFolder))
        p.AddTree(request.DataFolder, "share/porukana");

    // A window without a Japanese font shows every character as an empty box: one
    // travels along, found through the bundle's own fontconfig setup.
    if (request.Window) {
        if (request.Font.empty() || request.FontsConf.empty())
            plan.Notes.push_back("日本語のフォントが見つからないので入れません（fc-match sans-serif:lang=ja）。");
        else {
            p.AddFile("share/fonts/" + fs::path(request.Font).filename().string(), request.Font, 0644);
            p.AddFile("share/fonts/fonts.conf", request.FontsConf, 0644);
        }
    }

    if (request.Web) {
        const fs::path libexec = p.QtFolder("libexec");
        const fs::path data = p.QtFolder("data");
        const fs::path process = libexec / "QtWebEngineProcess";
        if (request.WebModule.empty() || !fs::is_regular_file(request.WebModule, ec) || libexec.empty() ||
            !fs::is_regular_file(process, ec) || data.empty()) {
            plan.Error = "ブラウザのウェブエンジン（Qt WebEngine とそのモジュール）が見つかりません。";
            return false;
        }
        if (!p.AddLibrariesOf(request.WebModule, true, missing) || !p.AddLibrariesOf(process.string(), true, missing))
            return false;
        p.AddFile("lib/porukana/porukana-web.so", request.WebModule, 0644);
        p.AddFile("libexec/QtWebEngineProcess", RealPath(process.string()), 0755);
        p.AddTree(data / "resources", "share/qt6/resources");
        const fs::path locales = data / "translations" / "qtwebengine_locales";
        for (const char* locale : {"ja.pak", "en-US.pak"})
            if (fs::is_regular_file(locales / locale, ec))
                p.AddFile(std::string("share/qt6/translations/qtwebengine_locales/") + locale,
                          (locales / locale).string(), 0644);
        // NSS loads its crypto and root-certificate modules itself.
        std::string nss;
        for (const TBundleFile& f : plan.Files)
            if (f.Name.rfind("lib/libnss3.so", 0) == 0)
                nss = fs::path(f.Source).parent_path().string();
        for (const char* module : {"libsoftokn3.so", "libfreebl3.so", "libfreeblpriv3.so", "libnssckbi.so"})
            if (!nss.empty() && fs::is_regular_file(fs::path(nss) / module, ec))
                p.AddQtFile(std::string("lib/") + module, RealPath((fs::path(nss) / module).string()), 0644);
    }
    return true;
}
