#include "loader/include_path.h"

#include "commands/files.h"
#include "core/text.h"
#include "interp/interp.h"

// The name is found like any file a script reads (the read-path search), and a
// file packed into the program's container is extracted first.
std::string ResolveIncludePath(TPoruBase& st, const std::string& name)
{
    std::string path = Trim(FindReadPath(st, name));
    return FindReadPath(st, ExtractPacked(st, path));
}
