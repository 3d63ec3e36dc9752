// The abstract driver, the library bindings and the driver factory.
#include "archive/archiver.h"

#include <map>

#include "archive/backend.h"

// ---- bindings --------------------------------------------------------------------------

namespace {

bool Always()
{
    return true;
}
bool Never()
{
    return false;
}

std::map<std::string, bool>& PresenceOverrides()
{
    static std::map<std::string, bool> m;
    return m;
}

}   // namespace

const TArchiverDll& LhaDll()
{
    static const TArchiverDll d{"LHA 形式書庫", "UNLHA32.DLL", "Unlha", Always};
    return d;
}
const TArchiverDll& CabDll()
{
    static const TArchiverDll d{"CAB 形式書庫", "CAB32.DLL", "Cab", Always};
    return d;
}
const TArchiverDll& ArjDll()
{
    static const TArchiverDll d{"ARJ 形式書庫", "UNARJ32J.DLL", "Unarj", ArjToolPresent};
    return d;
}
const TArchiverDll& TarDll()
{
    static const TArchiverDll d{"tar/tgz/taz/bz2 形式書庫", "TAR32.DLL", "Tar", Always};
    return d;
}
const TArchiverDll& RarDll()
{
    static const TArchiverDll d{"RAR 形式書庫", "UNRAR32.DLL", "Unrar", Always};
    return d;
}
const TArchiverDll& BgaDll()
{
    static const TArchiverDll d{"BGA 形式書庫", "BGA32.DLL", "Bga", Never};
    return d;
}
const TArchiverDll& SevenZipDll()
{
    static const TArchiverDll d{"7z 形式書庫", "7-zip32.dll", "SevenZip", Always};
    return d;
}
const TArchiverDll& UnzipDll()
{
    static const TArchiverDll d{"ZIP 形式書庫", "UNZIP32.DLL", "UnZip", Always};
    return d;
}
const TArchiverDll& Zip32jDll()
{
    static const TArchiverDll d{"ZIP 形式書庫", "ZIP32J.DLL", "Zip", Always};
    return d;
}
const TArchiverDll& LmzipDll()
{
    static const TArchiverDll d{"ZIP 形式書庫", "LMZIP32.DLL", "", Never};
    return d;
}

bool LibraryPresent(const TArchiverDll& dll)
{
    const auto& m = PresenceOverrides();
    auto it = m.find(dll.LibraryFile);
    if (it != m.end())
        return it->second;
    return dll.Present();
}

void SetLibraryPresenceForTest(const std::string& libraryFile, int present)
{
    if (present < 0)
        PresenceOverrides().erase(libraryFile);
    else
        PresenceOverrides()[libraryFile] = present != 0;
}

void RaiseNoLibrary(const TArchiverDll& dll)
{
    throw ENoArchiverDLL(std::string(dll.DisplayName) + " を扱うには " + dll.LibraryFile + " が 必要です。");
}

void RequireLibrary(const TArchiverDll& dll)
{
    if (!LibraryPresent(dll))
        RaiseNoLibrary(dll);
}

// ---- the abstract driver -------------------------------------------------------------------

void TArchiver::LoadDLL()
{
    throw EArchiver("Abstract method 'TArchiver.LoadDLL' was called");
}

void TArchiver::FreeDLL()
{
    throw EArchiver("Abstract method 'TArchiver.FreeDLL' was called");
}

int TArchiver::Pack(const TArchiverOptions&, const TArchiveOp&)
{
    throw EArchiver("この形式では書庫ファイルの作成をサポートしておりません。");
}

int TArchiver::RemoveItems(const TArchiverOptions&, const TArchiveOp&)
{
    throw EArchiver("この形式の書庫ではファイルの削除をサポートしておりません。");
}

int TArchiver::Update(const TArchiverOptions&, const TArchiveOp&)
{
    throw EArchiver("この形式の書庫では書庫の更新をサポートしておりません。");
}

int TArchiver::MakeSfx(const TArchiverOptions&, const TArchiveOp&)
{
    throw EArchiver("この形式では自己解凍書庫の作成をサポートしておりません。");
}

int TArchiver::ExtractMem(const TArchiverOptions&, const TArchiveOp&)
{
    throw EArchiver("この形式ではメモリへの展開をサポートしておりません。");
}

int TArchiver::CheckArchive(const std::string&)
{
    throw EArchiver("この形式では書庫チェック機能をサポートしておりません。");
}

void TArchiver::AddFilesPart(TCmdOpt& c, const TArchiverOptions& o, const TArchiveOp& op)
{
    if (op.UseResponseFile && !o.ResFileName.empty()) {
        if (!c.AddResponseFile(op.Files, o.ResFileName))
            throw EArchiver("応答ファイル\"" + o.ResFileName + "\"を作成できませんでした。");
    } else {
        c.AddFiles("", op.Files);
    }
    c.Add(o.UserFileList);
}

void TArchiver::AddCommonTail(TCmdOpt& c, const TArchiverOptions& o, const TArchiveOp& op)
{
    c.AddValue("", op.Archive);
    c.AddFolder("", op.Folder);
    AddFilesPart(c, o, op);
}

std::unique_ptr<TArchiver> CreateArchiver(TArchiverType type)
{
    switch (type) {
    case atLha:
        return std::make_unique<TLha32>();
    case atZip:
        return std::make_unique<TZip32>();
    case atCab:
        return std::make_unique<TCab32>();
    case atArj:
        return std::make_unique<TArj32>();
    case atTar:
        return std::make_unique<TTar32>();
    case atTgz:
        return std::make_unique<TTgz32>();
    case atBZ2:
        return std::make_unique<TBZ232>();
    case atRar:
        return std::make_unique<TRar32>();
    case atBga:
        return std::make_unique<TBGA32>();
    case at7z:
        return std::make_unique<TSevenZip32>();
    default:
        return nullptr;
    }
}
