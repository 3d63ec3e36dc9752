// The FTP commands: one session per program, opened by FTP接続 with the FTP
// variables and closed by FTP切断. Every other command checks the session, shows
// the progress window (whose 中止 button aborts the exchange) and makes one FTP
// exchange.
#include <sys/stat.h>

#include <cmath>

#include "commands/files/files.h"
#include "commands/files/security.h"
#include "commands/patterns/wildcard.h"
#include "commands/strings/strings.h"
#include "core/codec.h"
#include "core/hash.h"
#include "core/text.h"
#include "interp/builtins.h"
#include "interp/host.h"
#include "interp/interp.h"
#include "net/ftp_listing.h"
#include "net/ftp_session.h"

namespace {

struct TFtpState {
    TFtpSession Session;
};

TFtpSession& Session(TPoruBase& st)
{
    return st.Ext<TFtpState>().Session;
}

TFtpSession& ConnectedSession(TPoruBase& st)
{
    TFtpSession& s = Session(st);
    if (!s.Connected())
        st.Error("FTPで接続が確立されていません。");
    return s;
}

// One exchange under the progress window; false when it failed.
template <class Exchange> bool WithProgress(TPoruBase& st, const std::string& message, Exchange exchange)
{
    TProgressWindow progress(st, message, true);
    return exchange(progress.Hooks());
}

// FTP接続: a new session from FTPホスト ("host" or "host:port"), FTPユーザーID,
// FTPパスワード (both trimmed) and FTP接続方式 ("PASV" for passive transfers).
void cmdConnect(TPoruBase& st)
{
    TNetBusyGuard busy(st);
    TFtpSession& s = Session(st);
    s.Disconnect();
    TFtpSession::TConfig config;
    std::string mode = NetVariable(st, "FTP接続方式");
    for (char& c : mode)
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
    config.Passive = mode == "PASV";
    config.User = Trim(NetVariable(st, "FTPユーザーID"));
    config.Password = Trim(NetVariable(st, "FTPパスワード"));
    if (!SplitHostPort(NetVariable(st, "FTPホスト"), config.Host, config.Port, 21))
        st.Error("FTPのエラー。接続に失敗。ポート番号が正しくありません。");
    TTransferHooks hooks;
    hooks.Pump = [&st] {
        if (st.Host)
            st.Host->ProcessEvents();
    };
    hooks.ShouldStop = [&st] { return st.Stopping; };
    if (!s.Connect(config, hooks))
        st.Error("FTPのエラー。接続に失敗。" + s.Error());
}

// FTP切断: QUIT and forget the session.
void cmdDisconnect(TPoruBase& st)
{
    TNetBusyGuard busy(st);
    Session(st).Disconnect();
}

// FTPアップロード (local を, remote へ): STOR, replacing the remote file.
void cmdUpload(TPoruBase& st)
{
    const std::string remote = st.PopText();
    const std::string local = st.PopText();
    TNetBusyGuard busy(st);
    TFtpSession& s = ConnectedSession(st);
    const std::string path = ToNativePath(ResolveReadPath(st, local));
    if (!WithProgress(st, remote + "をアップロード中",
                      [&](const TTransferHooks& h) { return s.Store(path, remote, h); }))
        st.Error("\"" + remote + "\"へのFTPアップロードに失敗");
}

// FTPダウンロード (remote を, local へ): RETR into a new local file; an existing one
// is never overwritten. The file is written through the security gate like 書く.
void cmdDownload(TPoruBase& st)
{
    const std::string local = st.PopText();
    const std::string remote = st.PopText();
    TNetBusyGuard busy(st);
    TFtpSession& s = ConnectedSession(st);
    const std::string failure = "\"" + local + "\"へのFTPダウンロードに失敗";
    const std::string native = ToNativePath(local);
    struct stat info {};
    if (local.empty() || lstat(native.c_str(), &info) == 0)
        st.Error(failure);
    if (!SecurityGate(st, local, "\"" + local + "\"へ書き込みます。"))
        return;
    TPartFile part;
    const bool ok = part.Create(native) &&
                    WithProgress(st, local + "をダウンロード中",
                                 [&](const TTransferHooks& h) { return s.Retrieve(remote, part, h); }) &&
                    part.Commit(false);
    if (!ok)
        st.Error(failure);
}

// FTP転送モード: binary when the text holds "バイナリ", text (ASCII) otherwise.
void cmdTransferMode(TPoruBase& st)
{
    const std::string mode = st.PopText();
    TFtpSession& s = ConnectedSession(st);
    s.SetBinary(sjistext::FindAtCharStart(mode, "バイナリ") != sjistext::npos);
}

// FTP作業フォルダ: CWD, checked.
void cmdChangeFolder(TPoruBase& st)
{
    const std::string folder = st.PopText();
    TNetBusyGuard busy(st);
    TFtpSession& s = ConnectedSession(st);
    if (!WithProgress(st, folder + " へFTPフォルダ変更",
                      [&](const TTransferHooks& h) { return s.ChangeFolder(folder, h); }))
        st.Error("\"" + folder + "\"へのFTPフォルダ変更に失敗");
}

// FTP親フォルダ移動: CDUP.
void cmdParentFolder(TPoruBase& st)
{
    TNetBusyGuard busy(st);
    TFtpSession& s = ConnectedSession(st);
    if (!WithProgress(st, "FTP親ディレクトリに移動", [&](const TTransferHooks& h) { return s.ParentFolder(h); }))
        st.Error("FTP親ディレクトリに移動に失敗");
}

// The commands that send one command line in the working folder.
void SimpleCommand(TPoruBase& st, const std::string& name, const std::string& line, const std::string& message,
                   const std::string& failure, bool withReason)
{
    TNetBusyGuard busy(st);
    TFtpSession& s = ConnectedSession(st);
    if (name.empty() || !WithProgress(st, message, [&](const TTransferHooks& h) { return s.Command(line, h); }))
        st.Error(failure + (withReason ? s.Error() : std::string()));
}

// FTPフォルダ作成: MKD.
void cmdMakeFolder(TPoruBase& st)
{
    const std::string f = st.PopText();
    SimpleCommand(st, f, "MKD " + f, f + " へFTPフォルダ作成", "\"" + f + "\"へのFTPフォルダ作成に失敗。", true);
}

// FTPフォルダ削除: RMD.
void cmdRemoveFolder(TPoruBase& st)
{
    const std::string f = st.PopText();
    SimpleCommand(st, f, "RMD " + f, f + " へFTPフォルダ削除", "\"" + f + "\"へのFTPフォルダ削除に失敗", false);
}

// FTPファイル削除: DELE.
void cmdDeleteFile(TPoruBase& st)
{
    const std::string f = st.PopText();
    SimpleCommand(st, f, "DELE " + f, f + " のFTPファイル削除", "\"" + f + "\"のFTPファイル削除に失敗", false);
}

// FTPファイル属性変更 (file を, mode に): SITE chmod MODE FILE, the mode read as a
// number first and sent as a decimal integer.
void cmdChangeMode(TPoruBase& st)
{
    const long double mode = st.PopNumber();
    const std::string f = st.PopText();
    const std::string digits = std::isfinite(mode) ? std::to_string(static_cast<long long>(mode)) : "0";
    SimpleCommand(st, f, "SITE chmod " + digits + " " + f, f + " のFTPファイル属性変更",
                  "\"" + f + "\" のFTPファイル属性変更に失敗", false);
}

// The listing commands fetch their argument, mark それ as text, then check the
// session; a listing that fails gives the empty text.
struct TListingStart {
    std::string Argument;
    TFtpSession* Session;
};

TListingStart StartListing(TPoruBase& st)
{
    TListingStart ls{st.PopText(), nullptr};
    st.Sys.Sore->TypeText.assign(1, 's');
    ls.Session = &ConnectedSession(st);
    return ls;
}

// FTPファイル列挙 (mask): NLST with the mask. A server that does not expand masks
// itself refuses such a listing; then the folder's names are matched here.
void cmdListFiles(TPoruBase& st)
{
    const TListingStart ls = StartListing(st);
    TNetBusyGuard busy(st);
    const std::string& mask = ls.Argument;
    std::vector<std::string> lines;
    TProgressWindow progress(st, "\"" + mask + "\" のファイル一覧を取得中", true);
    const TTransferHooks hooks = progress.Hooks();
    bool ok = ls.Session->Listing(mask.empty() ? "NLST" : "NLST " + mask, lines, hooks);
    if (!ok && !progress.StopRequested() && mask.find_first_of("*?") != std::string::npos) {
        const std::string folder = MaskFolder(mask);
        ok = ls.Session->Listing(folder.empty() ? "NLST" : "NLST " + folder, lines, hooks);
        if (ok)
            lines = MatchingNames(lines, mask);
    }
    st.SetSore(ok ? TextFileToSjis(NameListText(lines)) : std::string(), "s");
}

// FTPフォルダ列挙 (pattern): the folders of LIST whose names match the wildcard.
void cmdListFolders(TPoruBase& st)
{
    const TListingStart ls = StartListing(st);
    TNetBusyGuard busy(st);
    std::vector<std::string> lines;
    bool ok;
    {
        TProgressWindow progress(st, "\"" + ls.Argument + "\" のディレクトリ一覧を取得中", true);
        ok = ls.Session->Listing("LIST", lines, progress.Hooks());
    }
    std::string names;
    try {
        names = ok ? FolderNames(lines, ls.Argument) : std::string();
    } catch (const EWildcard& e) {
        st.Error(std::string("マッチでエラー。") + e.what());
    }
    st.SetSore(TextFileToSjis(names), "s");
}

// FTPファイル情報 (name): the server's detailed listing of the name.
void cmdFileInfo(TPoruBase& st)
{
    const TListingStart ls = StartListing(st);
    TNetBusyGuard busy(st);
    std::vector<std::string> lines;
    bool ok;
    {
        TProgressWindow progress(st, "\"" + ls.Argument + "\" の情報を取得中", true);
        ok = ls.Session->Listing(ls.Argument.empty() ? "LIST" : "LIST " + ls.Argument, lines, progress.Hooks());
    }
    st.SetSore(ok ? TextFileToSjis(ListingText(lines)) : std::string(), "s");
}

HandlerRegistrar reg({
    {Cmd::FtpConnect, cmdConnect},
    {Cmd::FtpDisconnect, cmdDisconnect},
    {Cmd::FtpUpload, cmdUpload},
    {Cmd::FtpDownload, cmdDownload},
    {Cmd::FtpTransferMode, cmdTransferMode},
    {Cmd::FtpChangeFolder, cmdChangeFolder},
    {Cmd::FtpParentFolder, cmdParentFolder},
    {Cmd::FtpMakeFolder, cmdMakeFolder},
    {Cmd::FtpRemoveFolder, cmdRemoveFolder},
    {Cmd::FtpDeleteFile, cmdDeleteFile},
    {Cmd::FtpChangeMode, cmdChangeMode},
    {Cmd::FtpListFiles, cmdListFiles},
    {Cmd::FtpListFolders, cmdListFolders},
    {Cmd::FtpFileInfo, cmdFileInfo},
});

}   // namespace
