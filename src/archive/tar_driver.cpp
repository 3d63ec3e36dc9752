// The tar family: plain tar, gzip-compressed and bzip2-compressed tar, through
// libarchive. The compressed members also read a lone compressed file.
#include "archive/archiver.h"
#include "archive/backend.h"

void TTar32::LoadDLL()
{
    (void)TarDll();
}

int TTar32::WriteFormat() const
{
    return static_cast<int>(TWriteFormat::Tar);
}

int TTgz32::WriteFormat() const
{
    return static_cast<int>(TWriteFormat::TarGz);
}

int TBZ232::WriteFormat() const
{
    return static_cast<int>(TWriteFormat::TarBz2);
}

void TTgz32::AddCompression(TCmdOpt& c, const TArchiverOptions& o) const
{
    c.Add(o[swJm] > 0 ? "-z" + std::to_string(o[swJm]) : std::string("-z"));
}

void TBZ232::AddCompression(TCmdOpt& c, const TArchiverOptions& o) const
{
    c.Add(o[swJm] > 0 ? "-B" + std::to_string(o[swJm]) : std::string("-B"));
}

std::string TTar32::Line(const char* word, const TArchiverOptions& o, const TArchiveOp& op)
{
    TCmdOpt c;
    c.Style = 1;
    if (o[swA] > 0)
        c.Add("-AH");
    if (o[swA] == 0)
        c.Add("-I");
    if (!owner_ && o[swN] > 0)
        c.Add("--display-dialog=0");
    if (o[swO] > 0)
        c.Add("-g");
    c.AddNumber("-check-all-path=", o[swP]);
    c.AddNumber("-use-directory=", o[swX]);
    AddCompression(c, o);
    c.Add(o.UserOptions);
    c.AddValue("f", op.Archive);
    c.AddFolder("o", op.Folder);
    AddFilesPart(c, o, op);
    SetLine(word, c);
    return lastLine_;
}

std::string TTar32::ExtractLine(const TArchiverOptions& o, const TArchiveOp& op)
{
    return Line("x", o, op);
}

std::string TTar32::PackLine(const TArchiverOptions& o, const TArchiveOp& op)
{
    return Line("c", o, op);
}

int TTar32::Extract(const TArchiverOptions& o, const TArchiveOp& op)
{
    ExtractLine(o, op);
    RequireLibrary(TarDll());
    ExtractWithLibarchive(o, op, WriteFormat() != static_cast<int>(TWriteFormat::Tar));
    return 0;
}

int TTar32::Pack(const TArchiverOptions& o, const TArchiveOp& op)
{
    PackLine(o, op);
    RequireLibrary(TarDll());
    PackWithLibarchive(MakePackJob(o, op), static_cast<TWriteFormat>(WriteFormat()));
    return 0;
}
