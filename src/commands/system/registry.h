// The registry of the system commands: a tree of keys holding named values (string,
// binary or 32-bit integer), one tree per root, each root kept in a file of its own
// under $XDG_CONFIG_HOME/porukana/registry/. Key and value names are compared
// without regard to ASCII case and keep the case they were created with. Names and
// data are Shift_JIS script bytes, stored unchanged.
//
// Every operation reads the root's file afresh; a change is made under an
// exclusive lock on the root (flock on a lock file beside it), on the file as it is
// then, and saved atomically (a temporary file renamed over the old one), so that
// several run-times can share the store without losing each other's changes.
#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

enum class TRegType : uint32_t { String = 1, Binary = 3, DWord = 4 };

struct TRegValue {
    std::string Name;   // "" is the key's default value
    TRegType Type = TRegType::String;
    std::string Data;   // a DWORD is 4 bytes, little-endian
};

struct TRegKey {
    std::string Name;
    std::vector<TRegValue> Values;
    std::vector<std::unique_ptr<TRegKey>> Subkeys;

    TRegKey* FindSubkey(std::string_view name) const;
    TRegKey* SubkeyOrNew(std::string_view name);
    TRegValue* FindValue(std::string_view name);
    // Follows a path of names from this key; nil when a part is missing.
    TRegKey* Walk(const std::vector<std::string>& path);
};

// Names equal without regard to ASCII case (two-byte characters compared as bytes).
bool SameRegName(std::string_view a, std::string_view b);

// The names of a key path separated by "\" (a trail byte is never a separator);
// empty names (leading, doubled or trailing separators) are dropped.
std::vector<std::string> SplitKeyPath(std::string_view path);

// The file form of one root's tree, and its reading. Parsing fails (false) on a
// file that is not in this form; the tree is then left empty.
std::string SerialiseRegistry(const TRegKey& root);
bool ParseRegistry(std::string_view text, TRegKey& root);

// DWORD data from and to its 4 little-endian bytes (shorter data reads as 0-padded).
std::string DWordData(uint32_t v);
uint32_t DWordValue(std::string_view data);

class TRegistryStore {
public:
    enum class TResult { Ok, Missing, HasSubkeys, Failed };

    // `folder` is the native folder holding the root files ("/" at the end or not).
    explicit TRegistryStore(std::string folder);
    // $XDG_CONFIG_HOME/porukana/registry/ (~/.config when the variable is unset).
    static std::string DefaultFolder();
    // The file name of a root number (0 HKEY_CLASSES_ROOT ... 6 HKEY_DYN_DATA), nil
    // for any other number.
    static const char* RootName(int64_t root);

    // Creates every missing key of the path; false when the store cannot be written.
    bool CreateKey(int root, std::string_view path);
    bool KeyExists(int root, std::string_view path) const;
    // False when the key or the value does not exist.
    bool ReadValue(int root, std::string_view path, std::string_view name, TRegValue& out) const;
    // Creates the key when needed; replaces a value of that name (keeping its case).
    bool WriteValue(int root, std::string_view path, const TRegValue& value);
    TResult DeleteValue(int root, std::string_view path, std::string_view name);
    // A key with subkeys is refused (HasSubkeys) unless `withSubkeys`.
    TResult DeleteKey(int root, std::string_view path, bool withSubkeys);
    // Names of the subkeys in creation order; false when the key does not exist.
    bool SubkeyNames(int root, std::string_view path, std::vector<std::string>& names) const;

    const std::string& Folder() const { return folder_; }

private:
    std::string folder_;
    std::string FilePath(int root) const;
    bool Load(int root, TRegKey& tree) const;
    // Runs `change` on the tree under the exclusive lock and saves it when the
    // change returns Ok.
    template <class F> TResult Modify(int root, F change);
};
