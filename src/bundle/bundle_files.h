// What a bundled stand-alone program carries besides its script: the run-time
// executable, the shared libraries of its closure (found through ldd) except the C
// library's own, the Qt plug-ins it may load (platforms, pictures, sound, TLS, ...)
// with their libraries, a qt.conf that points Qt at them, the run-time data files,
// for a window a Japanese font with a fontconfig setup of its own, and, when
// asked, the browser's web engine with its helper process and resources.
#pragma once
#include <set>
#include <string>
#include <vector>

struct TBundleFile {
    std::string Name;     // inside the bundle ("bin/porukana", "lib/libQt6Core.so.6")
    std::string Source;   // the file on this machine
    unsigned Mode = 0644;
};

struct TBundleRequest {
    std::string Runtime;     // the run-time executable (porukana or porukana-cli)
    bool Window = true;      // the window run-time: platform and picture plug-ins too
    bool Web = false;        // the browser's web engine
    std::string WebModule;   // porukana-web.so
    // The run-time's modules (porukana-net.so, ...), carried with their libraries
    // into lib/porukana/ where the run-time looks for them.
    std::vector<std::string> Modules;
    std::string DataFolder;   // the run-time data files (share/porukana)
    std::string QtConf;       // a written qt.conf to carry as bin/qt.conf
    std::string Font;         // a Japanese font for the window run-time ("": none found)
    std::string FontsConf;    // a written BundleFontsConf() to carry beside it
};

struct TBundlePlan {
    std::vector<TBundleFile> Files;
    std::vector<std::string> Notes;   // plug-ins left out, and why (UTF-8)
    std::string Error;                // why no bundle can be made (UTF-8)
};

// One library of ldd's answer: the name asked for and the file found ("" when
// ldd found none).
struct TLddLine {
    std::string Name;
    std::string Path;
};
// Reads ldd's output; lines without a library name (the loader, the vDSO) give none.
std::vector<TLddLine> ParseLddOutput(const std::string& text);

// True for the libraries of the C library itself (libc, libm, libpthread, libdl,
// librt, the dynamic loader, ...), which stay those of the machine that runs the
// program.
bool IsSystemCLibrary(const std::string& soname);

// The qt.conf that lets Qt find the bundled plug-ins and web engine files.
std::string BundleQtConf();

// The fontconfig setup carried as share/fonts/fonts.conf: the machine's own
// configuration when there is one, plus the fonts of its own folder.
std::string BundleFontsConf();
// Writes `from` without its symbols and debugging information to `to` (with
// strip); false when that cannot be done (the file is then carried as it is).
bool StripCopy(const std::string& from, const std::string& to);
// The file of the font fontconfig gives Japanese sans-serif text here; "" when none.
std::string FindJapaneseFont();

bool PlanBundle(const TBundleRequest& request, TBundlePlan& plan);
