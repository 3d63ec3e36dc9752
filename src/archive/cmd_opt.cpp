// The command-line builder.
#include "archive/cmd_opt.h"

#include <fstream>

#include "commands/files/files.h"
#include "core/codec.h"

void TCmdOpt::Add(const std::string& piece)
{
    text_ += ' ';
    text_ += piece;
}

void TCmdOpt::AddValue(const std::string& name, const std::string& value)
{
    if (value.empty())
        return;
    if (name.empty()) {
        Add("\"" + value + "\"");
        return;
    }
    const std::string sw = name[0] == ' ' ? name.substr(1) : "-" + name;
    if (Style == 0)
        Add("\"" + sw + value + "\"");
    else
        Add(sw + " \"" + value + "\"");
}

void TCmdOpt::AddNumber(const std::string& name, int n)
{
    if (n >= 0)
        Add("-" + name + std::to_string(n));
}

void TCmdOpt::AddSwitch(const std::string& name, bool on)
{
    if (on)
        Add("-" + name);
}

std::string FolderWithSeparator(const std::string& folder)
{
    if (folder.empty())
        return folder;
    const size_t sep = LastPathSeparator(folder);
    if (sep == folder.size() - 1 && folder[sep] != ':')
        return folder;
    // Follow the style of the last separator written: "/tmp/out" becomes "/tmp/out/".
    const bool slash = sep != std::string::npos && folder[sep] == '/';
    return folder + (slash ? "/" : "\\");
}

void TCmdOpt::AddFolder(const std::string& name, const std::string& folder)
{
    if (folder.empty())
        return;
    AddValue(name, FolderWithSeparator(folder));
}

void TCmdOpt::AddFile(const std::string& name, const std::string& file)
{
    AddValue(name, Converter ? Converter(file) : file);
}

void TCmdOpt::AddFiles(const std::string& name, const std::vector<std::string>& files)
{
    for (const std::string& f : files)
        AddFile(name, f);
}

bool TCmdOpt::AddResponseFile(const std::vector<std::string>& files, const std::string& path)
{
    std::ofstream out(ToNativePath(path), std::ios::binary | std::ios::trunc);
    if (!out)
        return false;
    for (const std::string& f : files)
        out << '"' << (Converter ? Converter(f) : f) << "\"\r\n";
    out.close();
    if (!out)
        return false;
    AddValue("", "@" + path);
    return true;
}
