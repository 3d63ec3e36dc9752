// The CAB driver: reading through libarchive, writing through libgcab when the
// run-time was built with it.
#include "archive/archiver.h"
#include "archive/backend.h"
#include "commands/files/files.h"
#include "core/codec.h"

#include <filesystem>

void TCab32::LoadDLL()
{
    (void)CabDll();
}

std::string TCab32::Line(const char* word, const TArchiverOptions& o, const TArchiveOp& op)
{
    TCmdOpt c;
    if (o[swC] == 1)
        c.Add("-o");
    if (o[swN] > 0 || owner_)
        c.Add("-i");
    if (o[swR] > 0)
        c.Add("-r");
    c.AddFolder("h", o.W);
    if (o[swX] == 0)
        c.Add("-j");
    if (o[swJi] > 0)
        c.Add("-q");
    c.Add(o.UserOptions);
    AddCommonTail(c, o, op);
    SetLine(word, c);
    return lastLine_;
}

std::string TCab32::ExtractLine(const TArchiverOptions& o, const TArchiveOp& op)
{
    TArchiveOp abs = op;
    if (!ToNativePath(abs.Archive).starts_with("/")) {
        std::error_code ec;
        std::string cwd = std::filesystem::current_path(ec).string();
        if (cwd.empty() || cwd.back() != '/')
            cwd += '/';
        abs.Archive = FromNativePath(cwd) + abs.Archive;
    }
    return Line("-x", o, abs);
}

std::string TCab32::PackLine(const TArchiverOptions& o, const TArchiveOp& op)
{
    return Line("-a", o, op);
}

int TCab32::Extract(const TArchiverOptions& o, const TArchiveOp& op)
{
    ExtractLine(o, op);
    RequireLibrary(CabDll());
    ExtractWithLibarchive(o, op, false);
    return 0;
}

int TCab32::Pack(const TArchiverOptions& o, const TArchiveOp& op)
{
    PackLine(o, op);
    RequireLibrary(CabDll());
    if (!CabWriterPresent())
        RaiseNoLibrary(CabDll());
    PackCab(MakePackJob(o, op));
    return 0;
}
