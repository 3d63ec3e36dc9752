// The BGA driver: the command lines are built, but no library on this platform
// reads or writes the format, so every operation ends in the missing-library error.
#include "archive/archiver.h"

void TBGA32::LoadDLL()
{
    (void)BgaDll();
}

std::string TBGA32::Line(const char* word, const TArchiverOptions& o, const TArchiveOp& op)
{
    TCmdOpt c;
    c.AddSwitch("a", o[swA] > 0);
    c.Add(o[swC] < 1 ? "-n" : "-o");
    c.AddSwitch("i", o[swN] > 0 || owner_);
    c.AddSwitch("r", o[swR] > 0);
    c.AddSwitch("j", o[swX] < 1);
    c.AddNumber("l", o[swJm]);
    c.Add(o.UserOptions);
    AddCommonTail(c, o, op);
    SetLine(word, c);
    return lastLine_;
}

std::string TBGA32::ExtractLine(const TArchiverOptions& o, const TArchiveOp& op)
{
    return Line("x", o, op);
}

std::string TBGA32::PackLine(const TArchiverOptions& o, const TArchiveOp& op)
{
    return Line("a", o, op);
}

int TBGA32::Extract(const TArchiverOptions& o, const TArchiveOp& op)
{
    ExtractLine(o, op);
    RequireLibrary(BgaDll());
    return 0;
}

int TBGA32::Pack(const TArchiverOptions& o, const TArchiveOp& op)
{
    PackLine(o, op);
    RequireLibrary(BgaDll());
    return 0;
}
