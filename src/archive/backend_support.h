// Helpers shared by the backend files.
#pragma once
#include <sys/stat.h>

#include <string>

#include "archive/backend.h"

std::string SjisOf(const std::string& utf8);
[[noreturn]] void RaiseCannotCreate(const std::string& archiveNative, const std::string& detail);
[[noreturn]] void RaiseCannotRead(const std::string& fileNative, const std::string& detail);
// Raises the message of a failed extraction (nothing when it succeeded).
void RaiseExtractError(const TExtractResult& r, const std::string& archiveNative, const std::string& destNative);

// A new archive is written into a private folder beside its target and moved over
// the target only by Commit(); otherwise the folder and the partial file go.
class TStagedOutput {
public:
    explicit TStagedOutput(const std::string& target);
    ~TStagedOutput();
    TStagedOutput(const TStagedOutput&) = delete;
    TStagedOutput& operator=(const TStagedOutput&) = delete;
    const std::string& Path() const { return path_; }
    const std::string& Folder() const { return dir_; }
    void Commit();

private:
    std::string target_, dir_, path_;
};

// Opens a file to pack; -1 for anything but a regular file. Raises when it cannot
// be opened.
int OpenInput(const std::string& native, struct stat& sb);
// The path a job's file is read from.
std::string SourcePath(const TPackJob& job, const std::string& file);
