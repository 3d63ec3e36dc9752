// Telling an archive's format by its contents. Each probe answers whether it
// accepts the file; a probe whose backend is missing, or that fails, does not.
#pragma once
#include <string>

#include "archive/options.h"

// The tar probe: atTar, atTgz (gzip or compress), atBZ2, or atNone.
TArchiverType ProbeTar(const std::string& path);
bool ProbeRar(const std::string& path);
bool ProbeArj(const std::string& path);
bool ProbeZip(const std::string& path);
bool ProbeBga(const std::string& path);
bool ProbeCab(const std::string& path);
bool ProbeLha(const std::string& path);

// All probes in the order tar, RAR, ARJ, ZIP, BGA, CAB, LHA; a later accepting
// probe replaces the verdict of an earlier one. `path` is a script path.
TArchiverType SelectByContents(const std::string& path);
