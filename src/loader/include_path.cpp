#include "loader/include_path.h"

#include <sys/stat.h>

#include "core/codec.h"
#include "interp/interp.h"

// A relative name is tried in the current folder, then in the script's folder.
std::string ResolveIncludePath(TPoruBase& st, const std::string& name)
{
    std::string native = ToNativePath(name);
    if (!native.empty() && native[0] == '/') return name;
    struct stat sb;
    if (::stat(native.c_str(), &sb) == 0) return name;
    if (!st.StartFolder.empty()) {
        std::string candidate = st.StartFolder + name;
        if (::stat(ToNativePath(candidate).c_str(), &sb) == 0) return candidate;
    }
    return name;
}
