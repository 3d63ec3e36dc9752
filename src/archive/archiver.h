// The archive drivers: one per format family behind the abstract driver TArchiver.
// A driver turns an operation and its option record into a command line in the
// option syntax of its format's archiver (kept as LastCommandLine, shown in error
// messages), then has the operation carried out by the backend (backend.h): the
// libarchive reader and writer, the own LHA writer, libgcab, or the arj program.
//
// Library bindings: each family has one binding per process, named after the
// archiver library the command lines are written for. A family whose backend is
// missing on this machine fails with that library's name when the operation is
// called, after its command line was built.
#pragma once
#include <memory>
#include <string>
#include <vector>

#include "archive/cmd_opt.h"
#include "archive/options.h"

class TPoruBase;

// What one driver operation works on. Paths are script paths (Shift_JIS).
struct TArchiveOp {
    std::string Archive;
    std::vector<std::string> Files;   // pack: names relative to Folder; extract: masks
    std::string Folder;               // pack: the base folder; extract: the destination
    bool UseResponseFile = false;
    TPoruBase* State = nullptr;   // asked through the gate for protected names; may be null
};

// The binding of one archiver library family.
struct TArchiverDll {
    const char* DisplayName;   // "LHA 形式書庫"
    const char* LibraryFile;   // "UNLHA32.DLL"
    const char* Prefix;        // "Unlha"
    bool (*Present)();         // whether this machine has the backend
};

// The bindings, created on first use and kept for the process.
const TArchiverDll& LhaDll();
const TArchiverDll& CabDll();
const TArchiverDll& ArjDll();
const TArchiverDll& TarDll();
const TArchiverDll& RarDll();
const TArchiverDll& BgaDll();
const TArchiverDll& SevenZipDll();
// The three libraries of the ZIP family.
const TArchiverDll& UnzipDll();    // UNZIP32.DLL (reading)
const TArchiverDll& Zip32jDll();   // ZIP32J.DLL (writing)
const TArchiverDll& LmzipDll();    // LMZIP32.DLL (neither on this platform)

// Whether a library's backend is there; tests may pretend one is missing
// (present: 0 missing, 1 there, -1 back to the machine's answer).
bool LibraryPresent(const TArchiverDll& dll);
void SetLibraryPresenceForTest(const std::string& libraryFile, int present);
// ENoArchiverDLL "%0:s を扱うには %1:s が 必要です。".
[[noreturn]] void RaiseNoLibrary(const TArchiverDll& dll);
// Raises ENoArchiverDLL unless the library is there.
void RequireLibrary(const TArchiverDll& dll);

class TArchiver {
public:
    virtual ~TArchiver() = default;

    virtual void LoadDLL();
    virtual void FreeDLL();
    virtual int OpenArchive(const std::string& path) { return 0; }
    virtual int FindFirst(const std::string& mask) { return -1; }
    virtual int FindNext() { return -1; }
    virtual int CloseArchive() { return 0; }
    virtual int Extract(const TArchiverOptions& o, const TArchiveOp& op) = 0;
    virtual int Pack(const TArchiverOptions& o, const TArchiveOp& op);
    virtual int RemoveItems(const TArchiverOptions& o, const TArchiveOp& op);
    virtual int Update(const TArchiverOptions& o, const TArchiveOp& op);
    virtual int MakeSfx(const TArchiverOptions& o, const TArchiveOp& op);
    virtual int ExtractMem(const TArchiverOptions& o, const TArchiveOp& op);
    virtual int CheckArchive(const std::string& path);
    void SetOwnerWindow() { owner_ = true; }
    void KillOwnerWindow() { owner_ = false; }
    bool OwnerWindowSet() const { return owner_; }
    virtual void EnsureLoaded() { LoadDLL(); }

    const std::string& LastCommandLine() const { return lastLine_; }

protected:
    bool owner_ = false;
    std::string lastLine_;
    // Records the command line (command word followed by the builder's text).
    void SetLine(const std::string& word, const TCmdOpt& c) { lastLine_ = word + c.Text(); }
    // The files part of the common tail: a response file when asked for and named,
    // else the names; then UserFileList.
    static void AddFilesPart(TCmdOpt& c, const TArchiverOptions& o, const TArchiveOp& op);
    // The common tail: archive path, folder, files part.
    static void AddCommonTail(TCmdOpt& c, const TArchiverOptions& o, const TArchiveOp& op);
};

// The driver of a format; none for atNone, atAutoDetect, atYz1, atGCA and atBel.
std::unique_ptr<TArchiver> CreateArchiver(TArchiverType type);

class TLha32 : public TArchiver {
public:
    void LoadDLL() override;
    void FreeDLL() override {}
    int Extract(const TArchiverOptions& o, const TArchiveOp& op) override;
    int Pack(const TArchiverOptions& o, const TArchiveOp& op) override;
    int MakeSfx(const TArchiverOptions& o, const TArchiveOp& op) override;
    // The command lines, also recorded as the last command line.
    std::string ExtractLine(const TArchiverOptions& o, const TArchiveOp& op);
    std::string PackLine(const TArchiverOptions& o, const TArchiveOp& op);
    std::string SfxLine(const TArchiverOptions& o, const TArchiveOp& op);

protected:
    virtual const TArchiverDll& Dll() const { return LhaDll(); }
    // The command line; `files` false leaves out the files and the response file.
    std::string Line(const char* word, const TArchiverOptions& o, const TArchiveOp& op, bool files);
};

class TArj32 : public TLha32 {
public:
    int Extract(const TArchiverOptions& o, const TArchiveOp& op) override;
    int Pack(const TArchiverOptions& o, const TArchiveOp& op) override;
    int MakeSfx(const TArchiverOptions& o, const TArchiveOp& op) override;

protected:
    const TArchiverDll& Dll() const override { return ArjDll(); }
};

class TZip32 : public TArchiver {
public:
    void LoadDLL() override {}
    void FreeDLL() override {}
    int Extract(const TArchiverOptions& o, const TArchiveOp& op) override;
    int Pack(const TArchiverOptions& o, const TArchiveOp& op) override;
    std::string ExtractLine(const TArchiverOptions& o, const TArchiveOp& op);
    std::string PackLine(const TArchiverOptions& o, const TArchiveOp& op);
    // The file-name escape of the ZIP libraries: a leading "-" becomes "[-]", "\"
    // becomes "/" and "[" becomes "[[]".
    static std::string ConvertName(const std::string& name);
};

class TCab32 : public TArchiver {
public:
    void LoadDLL() override;
    void FreeDLL() override {}
    int Extract(const TArchiverOptions& o, const TArchiveOp& op) override;
    int Pack(const TArchiverOptions& o, const TArchiveOp& op) override;
    std::string ExtractLine(const TArchiverOptions& o, const TArchiveOp& op);
    std::string PackLine(const TArchiverOptions& o, const TArchiveOp& op);

private:
    std::string Line(const char* word, const TArchiverOptions& o, const TArchiveOp& op);
};

class TTar32 : public TArchiver {
public:
    void LoadDLL() override;
    void FreeDLL() override {}
    int Extract(const TArchiverOptions& o, const TArchiveOp& op) override;
    int Pack(const TArchiverOptions& o, const TArchiveOp& op) override;
    std::string ExtractLine(const TArchiverOptions& o, const TArchiveOp& op);
    std::string PackLine(const TArchiverOptions& o, const TArchiveOp& op);

protected:
    // The compression switch of the family member ("" for plain tar).
    virtual void AddCompression(TCmdOpt& c, const TArchiverOptions& o) const {}
    virtual int WriteFormat() const;   // a TWriteFormat
    std::string Line(const char* word, const TArchiverOptions& o, const TArchiveOp& op);
};

class TTgz32 : public TTar32 {
protected:
    void AddCompression(TCmdOpt& c, const TArchiverOptions& o) const override;
    int WriteFormat() const override;
};

class TBZ232 : public TTar32 {
protected:
    void AddCompression(TCmdOpt& c, const TArchiverOptions& o) const override;
    int WriteFormat() const override;
};

class TRar32 : public TArchiver {
public:
    void LoadDLL() override;
    void FreeDLL() override {}
    int Extract(const TArchiverOptions& o, const TArchiveOp& op) override;
    std::string ExtractLine(const TArchiverOptions& o, const TArchiveOp& op);
};

class TBGA32 : public TArchiver {
public:
    void LoadDLL() override;
    void FreeDLL() override {}
    int Extract(const TArchiverOptions& o, const TArchiveOp& op) override;
    int Pack(const TArchiverOptions& o, const TArchiveOp& op) override;
    std::string ExtractLine(const TArchiverOptions& o, const TArchiveOp& op);
    std::string PackLine(const TArchiverOptions& o, const TArchiveOp& op);

private:
    std::string Line(const char* word, const TArchiverOptions& o, const TArchiveOp& op);
};

class TSevenZip32 : public TArchiver {
public:
    void LoadDLL() override;
    void FreeDLL() override {}
    int Extract(const TArchiverOptions& o, const TArchiveOp& op) override;
    int Pack(const TArchiverOptions& o, const TArchiveOp& op) override;
    std::string ExtractLine(const TArchiverOptions& o, const TArchiveOp& op);
    std::string PackLine(const TArchiverOptions& o, const TArchiveOp& op);

private:
    std::string Line(const char* word, bool extract, const TArchiverOptions& o, const TArchiveOp& op);
};
