// The packed file container: an 11-byte header "fMix", a directory of 265-byte
// records and the entries' data, all integers little-endian. A container can stand
// alone (a resource file) or be appended to an executable (a stand-alone program).
//
// Container file names given to these classes are native (UTF-8) paths; entry names
// and the source paths of the writer's entry lines are Shift_JIS script values.
#pragma once
#include <cstdint>
#include <cstdio>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "core/mix_index.h"
#include "loader/cipher.h"

constexpr size_t kMixHeaderSize = 11;
constexpr size_t kMixRecordSize = 265;
constexpr size_t kMixNameField = 256;

// A container that cannot be written or read; the message is Shift_JIS.
struct EContainer : std::runtime_error {
    explicit EContainer(const std::string& msg) : std::runtime_error(msg) {}
};

// Upper-cases the ASCII letters of a Shift_JIS name, leaving double-byte characters
// (whose second byte may look like a letter) untouched.
std::string UpperSjis(std::string_view name);

class TFileMixWriter {
public:
    // One line per entry: source path "=" entry name "=" flag (1 = scramble).
    std::vector<std::string> Entries;

    // Writes the container; true when written. Raises EContainer for 65536 or more
    // entries, a flag of 256 or more, or a file that cannot be read or written (a
    // partly written container remains).
    bool Save(const std::string& nativePath);
};

class TFileMixReader {
public:
    // Opens the container that starts at byte `base` of the file and indexes its
    // entries. Raises EContainer when the file cannot be opened or is no container.
    explicit TFileMixReader(const std::string& nativePath, uint64_t base = 0);
    ~TFileMixReader();
    TFileMixReader(const TFileMixReader&) = delete;
    TFileMixReader& operator=(const TFileMixReader&) = delete;

    // The entry's bytes, unscrambled when marked so; false when absent or unreadable.
    bool ExtractEntry(std::string_view name, TMemoryStream& out);
    bool ExtractEntry(std::string_view name, std::string& out);
    bool ExtractEntryToFile(std::string_view name, const std::string& nativeFile);
    // The entry's bytes as text (a zero byte ends it).
    bool ReadEntryText(std::string_view name, std::string& text);
    // Writes the whole container (from its first byte to the end of the file).
    bool CopyContainer(const std::string& nativeFile);
    // The entry of that name (upper-cased first), or nil.
    const TMixNode* Find(std::string_view name) const;

    const TMixIndex& Index() const { return index_; }
    const std::string& FileName() const { return fileName_; }
    uint64_t Base() const { return base_; }

private:
    std::FILE* file_ = nullptr;
    uint64_t fileSize_ = 0;   // entries are checked against it before they are read
    TMixIndex index_;
    std::string fileName_;
    uint64_t base_ = 0;
};

// Where the container appended to an executable (ELF or PE) starts, and its size.
// False when the file is no executable, is malformed, or carries nothing after its
// image (or nothing containing an "f").
bool LocateAppendedAt(const std::string& nativePath, uint64_t& offset, uint64_t& size);
// The appended container's bytes, positioned at 0.
bool LocateAppended(const std::string& nativePath, TMemoryStream& out);

// The entry that holds the file name of a packed program's script (as the user
// named it, Shift_JIS): errors name it instead of "porukana.prk".
constexpr const char* kScriptNameEntry = "porukana.name";

// The resource container of the run (PackedReader): the container appended to the
// executable, the one of a "-runtime" program, or a "-resource" file. Kept in the
// interpreter state as st.Ext<TPackedState>(); nil when the run has none.
struct TPackedState {
    std::shared_ptr<TFileMixReader> Reader;
};
