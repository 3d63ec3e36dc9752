// The ZIP driver: command lines for the unzip and zip libraries' syntax; reading
// and writing through libarchive (UTF-8 names flagged as such).
#include "archive/archiver.h"
#include "archive/backend.h"
#include "core/sjis.h"

std::string TZip32::ConvertName(const std::string& name)
{
    std::string out;
    size_t i = 0;
    if (!name.empty() && name[0] == '-') {
        out = "[-]";
        i = 1;
    }
    for (; i < name.size(); ++i) {
        const auto c = static_cast<unsigned char>(name[i]);
        if (IsLeadAt(name, i)) {
            out.push_back(name[i]);
            out.push_back(name[++i]);   // a trail byte is never a separator
        } else if (c == '\\') {
            out.push_back('/');
        } else if (c == '[') {
            out += "[[]";
        } else {
            out.push_back(name[i]);
        }
    }
    return out;
}

std::string TZip32::ExtractLine(const TArchiverOptions& o, const TArchiveOp& op)
{
    TCmdOpt c;
    c.Converter = ConvertName;
    if (o[swC] == 1)
        c.Add("-o");
    if (o[swN] > 0 || owner_)
        c.Add("--i");
    if (o[swX] == 0)
        c.Add("-j");
    c.Add(o.UserOptions);
    AddCommonTail(c, o, op);
    SetLine("-x", c);
    return lastLine_;
}

std::string TZip32::PackLine(const TArchiverOptions& o, const TArchiveOp& op)
{
    TCmdOpt c;
    if (LibraryPresent(Zip32jDll())) {
        c.Converter = ConvertName;
        auto when = [&](bool test, const char* sw) {
            if (test)
                c.Add(sw);
        };
        when(o[swA] > 0, "-S");
        when(o[swA] < 2, "-D");
        when(o[swL] > 0, "-v");
        when(o[swN] > 0, "-q");
        when(o[swR] > 0, "-r");
        when(o[swN] > 0, "-o");
        when(o[swU] > 0, "-u");
        when(o[swX] == 0, "-j");
        when(o[swJc] > 0, "-FF");
        when(o[swJi] > 0, "-k");
        c.AddNumber("", o[swJm]);
        when(o[swGd] > 0, "-J");
        c.Add(o.UserOptions);
        AddCommonTail(c, o, op);
        SetLine("", c);
    } else {
        if (o[swC] == 1)
            c.Add("-o");
        if (o[swX] == 0)
            c.Add("-j");
        c.Add(o.UserOptions);
        AddCommonTail(c, o, op);
        SetLine("-ru", c);
    }
    return lastLine_;
}

int TZip32::Extract(const TArchiverOptions& o, const TArchiveOp& op)
{
    if (!LibraryPresent(UnzipDll()) && !LibraryPresent(LmzipDll()))
        throw EArchiver("ZIP 形式書庫の解凍には UNZIP32.DLL または LMZIP32.DLL が必要です。");
    ExtractLine(o, op);
    ExtractWithLibarchive(o, op, false);
    return 0;
}

int TZip32::Pack(const TArchiverOptions& o, const TArchiveOp& op)
{
    if (!LibraryPresent(Zip32jDll()) && !LibraryPresent(LmzipDll()))
        throw EArchiver("ZIP 形式書庫の作成には ZIP32J.DLL または LMZIP32.DLL が必要です。");
    PackLine(o, op);
    PackWithLibarchive(MakePackJob(o, op), TWriteFormat::Zip);
    return 0;
}
