// Where 取り込む looks for the file it is given: the read-path search of the file
// commands, so an included file is found like any file a script reads.
#pragma once
#include <string>

class TPoruBase;

std::string ResolveIncludePath(TPoruBase& st, const std::string& name);

// Decodes a file that 取り込む loads with the run's encoding; a failure raises the
// usual error naming the file `sjisPath` and the line.
std::string IncludedScriptToSjis(TPoruBase& st, const std::string& sjisPath, std::string bytes);
