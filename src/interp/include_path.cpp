#include "interp/include_path.h"

#include "core/error.h"
#include "core/text.h"
#include "interp/interp.h"
#include "interp/read_path.h"
#include "interp/startup.h"
#include "loader/script_encoding.h"

// The name is found like any file a script reads (the read-path search), and a
// file packed into the program's container is extracted first.
std::string ResolveIncludePath(TPoruBase& st, const std::string& name)
{
    std::string path = Trim(FindReadPath(st, name));
    return FindReadPath(st, ExtractPacked(st, path));
}

std::string IncludedScriptToSjis(TPoruBase& st, const std::string& sjisPath, std::string bytes)
{
    TScriptText decoded = DecodeScriptBytes(std::move(bytes), RunScriptEncoding(st));
    if (!decoded.Ok)
        Raise(SeverityMark(TSeverity::Error) + ScriptTextFailure(sjisPath, decoded));
    return std::move(decoded.Text);
}
