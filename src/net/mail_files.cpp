// Names and files of received mail.
#include "net/mail_files.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

#include "commands/files/files.h"
#include "core/codec.h"
#include "core/sjis.h"
#include "core/text.h"

namespace {

constexpr size_t kMaxNativeName = 200;   // bytes; leaves room for the "_" prefixes

// Cuts the name (at character boundaries) until its native form fits, keeping the
// extension when it is short.
std::string FitName(std::string name)
{
    if (ToNativePath(name).size() <= kMaxNativeName)
        return name;
    std::string ext = PathExtPart(name);
    if (ext.size() > 16)
        ext.clear();
    std::string stem = name.substr(0, name.size() - ext.size());
    while (!stem.empty() && ToNativePath(stem + ext).size() > kMaxNativeName) {
        // drop the last character of the stem
        size_t last = 0;
        for (size_t i = 0; i < stem.size(); i += CharLen(stem.c_str() + i))
            last = i;
        stem.resize(last);
    }
    return stem + ext;
}

}   // namespace

std::string AttachmentFileName(std::string_view decoded)
{
    std::string name(decoded);
    const size_t space = name.find(' ');
    if (space != std::string::npos)
        name = Trim(name.substr(space + 1));
    name = PathNamePart(name);   // after the last "\", "/" or ":", character-wise
    std::string clean;
    for (size_t i = 0; i < name.size();) {
        const size_t len = CharLen(name.c_str() + i);
        const unsigned char c = static_cast<unsigned char>(name[i]);
        if (len == 1 && (c < 0x20 || c == 0x7F)) {
            ++i;
            continue;
        }
        clean.append(name, i, len);
        i += len;
    }
    size_t lead = 0;
    while (lead < clean.size() && (clean[lead] == '.' || clean[lead] == ' '))
        ++lead;
    clean.erase(0, lead);
    while (!clean.empty() && clean.back() == ' ')
        clean.pop_back();
    if (clean.empty())
        clean = "添付ファイル";
    if (LowerAscii(clean) == "security.ini")
        clean = "_" + clean;
    return FitName(clean);
}

std::string MailText(const TParsedMail& m, const std::string& attachmentLines)
{
    std::string t;
    if (!m.ReplyTo.empty())
        t += "返信先:" + m.ReplyTo + "\r\n";
    t += "送信者:" + m.From + "\r\n";
    t += "受信者:" + m.To + "\r\n";
    t += "日時:" + m.Date + "\r\n";
    t += "件名:" + m.Subject + "\r\n";
    t += attachmentLines;
    t += "本文:\r\n\r\n";
    t += m.Body;
    return t;
}

bool WriteNewFile(int folderFd, const std::string& nativeName, const std::string& data, bool& exists)
{
    exists = false;
    const int fd = openat(folderFd, nativeName.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
    if (fd < 0) {
        exists = errno == EEXIST;
        return false;
    }
    size_t done = 0;
    bool ok = true;
    while (done < data.size()) {
        const ssize_t n = write(fd, data.data() + done, data.size() - done);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            ok = false;
            break;
        }
        done += static_cast<size_t>(n);
    }
    if (close(fd) != 0)
        ok = false;
    if (!ok)
        unlinkat(folderFd, nativeName.c_str(), 0);
    return ok;
}

std::string SaveAttachment(int folderFd, const std::string& sjisName, const std::string& data)
{
    std::string name = ToNativePath(sjisName);
    for (int i = 0; i <= kMaxPrefixes; ++i) {
        bool exists = false;
        if (WriteNewFile(folderFd, name, data, exists))
            return name;
        if (!exists)
            return std::string();
        name = "_" + name;
    }
    return std::string();
}

int SaveNumberedMail(int folderFd, int from, const std::string& text, const std::string& raw)
{
    for (int n = from < 1 ? 1 : from; n < 0x7FFFFFFF; ++n) {
        const std::string base = std::to_string(n);
        if (faccessat(folderFd, (base + ".eml").c_str(), F_OK, AT_SYMLINK_NOFOLLOW) == 0)
            continue;
        bool exists = false;
        if (!WriteNewFile(folderFd, base + ".txt", text, exists)) {
            if (exists)
                continue;
            return 0;
        }
        if (!WriteNewFile(folderFd, base + ".eml", raw, exists)) {
            unlinkat(folderFd, (base + ".txt").c_str(), 0);
            if (exists)
                continue;
            return 0;
        }
        return n;
    }
    return 0;
}
