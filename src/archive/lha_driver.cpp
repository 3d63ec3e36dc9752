// The LHA driver (and the ARJ driver built on it): command lines in the LHA
// archiver's switch syntax; packing with the own LHA writer, extraction through
// libarchive, self-extracting archives through the own extractor program.
#include "archive/archiver.h"
#include "archive/backend.h"
#include "core/codec.h"

namespace {

void Numbers(TCmdOpt& c, const TArchiverOptions& o, std::initializer_list<TSwitch> sws)
{
    for (TSwitch s : sws)
        c.AddNumber(kSwitchNames[s], o[s]);
}

void RequireSwitches(const TArchiverOptions& o, bool extract)
{
    if (o[swJso] < 0)
        throw EArchiver("jso オプションが設定されていません。");
    if (extract && o[swJse] < 0)
        throw EArchiver("jse オプションが設定されていません。");
}

}   // namespace

void TLha32::LoadDLL()
{
    (void)Dll();   // the binding exists from here on; presence is checked per call
}

std::string TLha32::Line(const char* word, const TArchiverOptions& o, const TArchiveOp& op, bool files)
{
    TCmdOpt c;
    c.Add("-+");
    Numbers(c, o, {swA, swC, swE, swF, swH, swI, swL, swM});
    c.AddNumber("n", owner_ ? 1 : o[swN]);
    Numbers(c, o, {swO, swP, swR, swS, swT, swU});
    c.AddFolder("w", o.W);
    Numbers(c, o, {swX, swY, swZ, swJc, swJd, swJe, swJf, swJh, swJi, swJm, swJn});
    c.AddValue("jo", o.Jo);
    c.AddValue("job", o.Job);
    Numbers(c, o, {swJp, swJr, swJsb, swJsc, swJsd, swJse, swJsf, swJsl, swJso, swJss, swJst, swJsv, swJsz, swJw});
    c.AddFiles("jx", o.Jx);
    Numbers(c, o, {swJyc, swJyd, swJyk, swJyn, swJyo});
    c.AddValue("jz", o.Jz);
    Numbers(c, o, {swGa, swGd, swGe, swGf, swGj, swGm, swGn, swGo, swGp});
    c.AddValue("gr", o.Gr);
    Numbers(c, o, {swGs, swGu, swGw});
    c.Add(o.UserOptions);
    if (files) {
        AddCommonTail(c, o, op);
    } else {   // the self-extracting command: no files, no response file
        c.AddValue("", op.Archive);
        c.AddFolder("", op.Folder);
        c.Add(o.UserFileList);
    }
    SetLine(word, c);
    return lastLine_;
}

std::string TLha32::ExtractLine(const TArchiverOptions& o, const TArchiveOp& op)
{
    return Line("x", o, op, true);
}

std::string TLha32::PackLine(const TArchiverOptions& o, const TArchiveOp& op)
{
    return Line("u", o, op, true);
}

std::string TLha32::SfxLine(const TArchiverOptions& o, const TArchiveOp& op)
{
    return Line("s", o, op, false);
}

int TLha32::Extract(const TArchiverOptions& o, const TArchiveOp& op)
{
    RequireSwitches(o, true);
    ExtractLine(o, op);
    RequireLibrary(Dll());
    ExtractWithLibarchive(o, op, false);
    return 0;
}

int TLha32::Pack(const TArchiverOptions& o, const TArchiveOp& op)
{
    RequireSwitches(o, false);
    PackLine(o, op);
    RequireLibrary(Dll());
    PackLha(MakePackJob(o, op));
    return 0;
}

int TLha32::MakeSfx(const TArchiverOptions& o, const TArchiveOp& op)
{
    RequireSwitches(o, false);
    SfxLine(o, op);
    RequireLibrary(Dll());
    WriteSfx(ToNativePath(op.Archive), ToNativePath(op.Folder));
    return 0;
}

// ---- ARJ ------------------------------------------------------------------------------------

int TArj32::Extract(const TArchiverOptions& o, const TArchiveOp& op)
{
    RequireSwitches(o, true);
    ExtractLine(o, op);
    RequireLibrary(Dll());
    ExtractArj(o, op);
    return 0;
}

int TArj32::Pack(const TArchiverOptions& o, const TArchiveOp& op)
{
    RequireSwitches(o, false);
    PackLine(o, op);
    RequireLibrary(Dll());
    PackArj(MakePackJob(o, op));
    return 0;
}

int TArj32::MakeSfx(const TArchiverOptions& o, const TArchiveOp& op)
{
    return TArchiver::MakeSfx(o, op);
}
