// The files メール受信 writes into its folder: attachments under names made safe
// (a name comes from a stranger's mail), and the numbered mail texts.
//
//   AttachmentFileName("../../.bashrc")   -> "bashrc"
//   AttachmentFileName("Re: 資料.txt")     -> "資料.txt"
//   MailText(mail, "添付ファイル:a.txt\r\n") -> "送信者:...\r\n...本文:\r\n\r\n..."
#pragma once
#include <string>
#include <string_view>

#include "net/mime_parse.h"

// The name an attachment is saved under (Shift_JIS): when the decoded name holds a
// space, the text after the first one (trimmed); then only the part after the last
// folder separator, without control characters and without leading dots and
// spaces; the empty name becomes "添付ファイル" and a name that the security gate
// reads ("security.ini") gets a "_" in front. Long names are cut to fit the file
// system, keeping their extension.
std::string AttachmentFileName(std::string_view decoded);

// The text of mail.txt: 返信先 (only when there is one), 送信者, 受信者, 日時, 件名,
// the attachment lines, then "本文:", an empty line and the body; CR LF line ends.
std::string MailText(const TParsedMail& mail, const std::string& attachmentLines);

// Creates a file that did not exist in the folder (never through a symbolic link)
// and writes the bytes; false when the name is taken (exists set) or writing failed.
bool WriteNewFile(int folderFd, const std::string& nativeName, const std::string& data, bool& exists);

// Saves an attachment under its name, putting "_" in front while that name is
// taken (at most kMaxPrefixes times); the native name it got, "" on failure.
constexpr int kMaxPrefixes = 100;
std::string SaveAttachment(int folderFd, const std::string& sjisName, const std::string& data);

// Saves the mail text as N.txt and the raw message as N.eml for the first N from
// `from` upwards for which neither file exists; N, or 0 on failure.
int SaveNumberedMail(int folderFd, int from, const std::string& text, const std::string& raw);
