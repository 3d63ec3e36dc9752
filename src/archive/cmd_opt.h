// The command-line builder of the archive drivers. Every "add" appends one space and
// the piece, so a built text begins with a space and the driver's command word goes
// directly in front of it.
#pragma once
#include <functional>
#include <string>
#include <vector>

class TCmdOpt {
public:
    // Quoting of named values: 0 puts the switch inside the quotes ("-wC:\tmp\"),
    // 1 writes the switch, a space and the quoted value (-f "a.tar").
    int Style = 0;
    // Applied to every file name by AddFile (the ZIP driver escapes names with it).
    std::function<std::string(const std::string&)> Converter;

    const std::string& Text() const { return text_; }

    void Add(const std::string& piece);                                 // even when empty
    void AddValue(const std::string& name, const std::string& value);   // nothing when value is empty
    void AddNumber(const std::string& name, int n);                     // nothing when n < 0
    void AddSwitch(const std::string& name, bool on);
    void AddFolder(const std::string& name, const std::string& folder);
    void AddFile(const std::string& name, const std::string& file);
    void AddFiles(const std::string& name, const std::vector<std::string>& files);
    // Writes every (converted) name quoted, one per CR LF line, to `path` and adds
    // "@path"; false when the file cannot be written (nothing is added then).
    bool AddResponseFile(const std::vector<std::string>& files, const std::string& path);

private:
    std::string text_;
};

// A folder as the builder writes it: a folder that does not end in a separator gets
// one, "/" when its last separator is "/", else "\".
std::string FolderWithSeparator(const std::string& folder);
