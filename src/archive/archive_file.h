// One archive being worked on: its name selects the format (by extension, or by
// contents for ".exe"), it owns the format's driver and the option record, and it
// runs pack, extract and self-extracting operations, keeping the command line the
// driver built last.
#pragma once
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "archive/archiver.h"
#include "archive/options.h"

class TPoruBase;

// The format an extension selects (".exe" gives atAutoDetect: by contents).
TArchiverType FormatByExtension(const std::string& path);

class TArchiveFile {
public:
    TArchiveFile() = default;

    // Sets the path and selects the format: a format with a driver creates it; an
    // unknown extension changes nothing; ".gca" fails with "書庫の形式を特定できま
    // せんでした。".
    void SetFileName(const std::string& path);
    const std::string& FileName() const { return fileName_; }
    TArchiverType ArchiverType() const { return type_; }
    // Applies a format: creates its driver (freeing the old one).
    void SetArchiverType(TArchiverType t);
    TArchiver* Driver() { return driver_.get(); }

    TArchiverOptions Options;
    int OutputSize = 0;
    // Sees every name of the file-list expansion; false cancels.
    std::function<bool(const std::string&)> OnProgress;
    TPoruBase* State = nullptr;   // for the gate questions during extraction

    // Each returns the result code (32800 when the expansion was cancelled).
    int Pack(void* owner, const TArchiverOptions* options, const std::vector<std::string>& files,
             const std::string& baseFolder);
    int Extract(void* owner, const TArchiverOptions* options, const std::vector<std::string>& files,
                const std::string& destFolder);
    int MakeSfx(void* owner, const TArchiverOptions* options, const std::string& outputFolder);

    const std::string& LastCommandLine() const { return lastLine_; }

private:
    std::string fileName_;
    TArchiverType type_ = atAutoDetect;
    std::unique_ptr<TArchiver> driver_;
    std::string lastLine_;
};
