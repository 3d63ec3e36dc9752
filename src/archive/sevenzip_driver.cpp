// The 7z driver: reading and writing through libarchive.
#include "archive/archiver.h"
#include "archive/backend.h"

void TSevenZip32::LoadDLL()
{
    (void)SevenZipDll();
}

std::string TSevenZip32::Line(const char* word, bool extract, const TArchiverOptions& o, const TArchiveOp& op)
{
    TCmdOpt c;
    if (extract) {
        if (o[swM] == 2)
            c.Add("-aou");
        else if (o[swJn] > 0)
            c.Add("-aos");
        else if (o[swC] > 0)
            c.Add("-aoa");
    }
    if (o[swN] > 0)
        c.Add("-hide");
    if (o[swR] == 0)
        c.Add("-r-");
    if (o[swR] > 1)
        c.Add("-r");
    c.AddFolder("w", o.W);
    if (o[swY] > 0)
        c.Add("-y");
    c.AddFiles("x!", o.Jx);
    c.AddFolder("o", op.Folder);
    c.Add(o.UserOptions);
    c.AddValue("", op.Archive);
    AddFilesPart(c, o, op);
    SetLine(word, c);
    return lastLine_;
}

std::string TSevenZip32::ExtractLine(const TArchiverOptions& o, const TArchiveOp& op)
{
    return Line(o[swX] == 0 ? "e" : "x", true, o, op);
}

std::string TSevenZip32::PackLine(const TArchiverOptions& o, const TArchiveOp& op)
{
    return Line("u", false, o, op);
}

int TSevenZip32::Extract(const TArchiverOptions& o, const TArchiveOp& op)
{
    ExtractLine(o, op);
    RequireLibrary(SevenZipDll());
    ExtractWithLibarchive(o, op, false);
    return 0;
}

int TSevenZip32::Pack(const TArchiverOptions& o, const TArchiveOp& op)
{
    PackLine(o, op);
    RequireLibrary(SevenZipDll());
    PackWithLibarchive(MakePackJob(o, op), TWriteFormat::SevenZip);
    return 0;
}
