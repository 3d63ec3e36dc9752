// The command families that live in modules of their own, beside the executables
// (lib/porukana/porukana-<name>.so for bin/): networking, archives, media and the
// office link. Their libraries (curl, libarchive, FluidSynth, Qt Multimedia) are
// mapped only by a program that uses one of their commands, so that a small script
// starts as fast as the run-time's core allows.
//
// A host that links the families as modules calls InstallModulePlaceholders() once
// before the first run: every command of a module's family gets a placeholder
// handler that loads the module on first use (its static registrars then install the
// real handlers) and calls the real one. A module that cannot be loaded makes the
// command raise the error of a command this run-time cannot run, naming it.
#pragma once
#include <functional>
#include <memory>
#include <string>
#include <typeindex>
#include <vector>

#include "interp/builtins.h"

struct TModuleFamily {
    const char* Module;   // "net" for porukana-net.so
    Family Family_;
};

// Every family that lives in a module, with its module.
const std::vector<TModuleFamily>& ModuleFamilies();
// The module of a family; nil for a family linked into the executables.
const char* ModuleOfFamily(Family f);
// The modules' names, each once ("net", "archive", ...).
std::vector<std::string> ModuleNames();

// Where modules are looked for: $PORUKANA_MODULE_DIR alone when it is set; else
// <folder of the executable>/../lib/porukana/, then the installation's folder when
// its modules are of this version (a packed program copied elsewhere runs with the
// modules of the installed run-time).
std::vector<std::string> ModuleFolders();
// The file beside the modules that names the run-time version they belong to.
constexpr const char* kModuleVersionFile = "porukana-modules.version";
// True when `folder` (ending in "/") holds the modules of this run-time's version.
bool FolderServesThisVersion(const std::string& folder);
// Loads a module once; false with the reason (Shift_JIS) when it cannot be loaded.
bool LoadModule(const std::string& name, std::string& reason);
// Set by a host whose modules need something loaded before them (the console loads
// the event loop before the media module, whose players run on it): called once
// before a module loads; false keeps it from loading.
extern bool (*gPrepareModule)(const std::string& name);
// Provides the service of `type` through a module: the factory calls `load` (which
// loads the module; its own provider then replaces this factory) and makes the
// module's service. Nothing when the module cannot be loaded or does not provide it.
void ProvideServiceLater(std::type_index type, std::function<bool()> load);
// The service of `type` as the module's own provider makes it, once `load` has loaded
// the module; nullptr when it cannot be loaded, provides none, or while `busy` (the
// factory that asks is being asked again).
std::shared_ptr<void> MakeModuleService(std::type_index type, const std::function<bool()>& load, TPoruBase& st,
                                        bool& busy);
bool ModuleLoaded(const std::string& name);

// Gives every command of a module's family that is not loaded yet the placeholder.
void InstallModulePlaceholders();
bool IsModulePlaceholder(Handler h);
