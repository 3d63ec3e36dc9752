// The RAR driver: extraction only (RAR and RAR5 through libarchive).
#include "archive/archiver.h"
#include "archive/backend.h"

void TRar32::LoadDLL()
{
    (void)RarDll();
}

std::string TRar32::ExtractLine(const TArchiverOptions& o, const TArchiveOp& op)
{
    TCmdOpt c;
    if (o[swC] < 1)
        c.Add("-u");
    if (o[swM] > 0)
        c.Add("-y");
    if (o[swP] > 0)
        c.Add("-s");
    c.Add(o.UserOptions);
    AddCommonTail(c, o, op);
    SetLine(o[swX] == 0 ? "-e" : "-x", c);
    return lastLine_;
}

int TRar32::Extract(const TArchiverOptions& o, const TArchiveOp& op)
{
    ExtractLine(o, op);
    RequireLibrary(RarDll());
    ExtractWithLibarchive(o, op, false);
    return 0;
}
