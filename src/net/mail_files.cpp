// Names and files of received mail.
#include "net/mail_files.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <vector>

#include "commands/files/files.h"
#include "core/codec.h"
#include "core/sjis.h"
#include "core/text.h"

namespace {

constexpr size_t kMaxNativeName = 200;   // bytes; leaves room for the "_" prefixes

// Cuts the name (at character boundaries) until its native form fits, keeping the
// extension when it is short. The longest stem that fits is found by halving, so a
// long name is converted a few dozen times, not once for every character dropped.
std::string FitName(std::string name)
{
    if (ToNativePath(name).size() <= kMaxNativeName)
        return name;
    std::string ext = PathExtPart(name);
    if (ext.size() > 16)
        ext.clear();
    const std::string stem = name.substr(0, name.size() - ext.size());
    std::vector<size_t> ends{0};   // the character boundaries of the stem
    for (size_t i = 0; i < stem.size(); i += CharLen(stem.c_str() + i))
        ends.push_back(std::min(stem.size(), i + CharLen(stem.c_str() + i)));
    size_t lo = 0, hi = ends.size() - 1;   // ends[lo] fits (the empty stem is taken as fitting)
    while (lo < hi) {
        const size_t mid = (lo + hi + 1) / 2;
        if (ToNativePath(stem.substr(0, ends[mid]) + ext).size() <= kMaxNativeName)
            lo = mid;
        else
            hi = mid - 1;
    }
    return stem.substr(0, ends[lo]) + ext;
}

// A two-byte character whose second byte cannot follow the first is no character:
// its first byte becomes "_" and the second stands alone, so that a "/" or "\"
// after a lone lead byte is seen as the separator it turns into when converted.
std::string SplitBrokenPairs(std::string_view name)
{
    std::string out;
    for (size_t i = 0; i < name.size();) {
        const unsigned char c = static_cast<unsigned char>(name[i]);
        const bool lead = (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC);
        const unsigned char trail = i + 1 < name.size() ? static_cast<unsigned char>(name[i + 1]) : 0;
        if (lead && (trail < 0x40 || trail == 0x7F || trail > 0xFC)) {
            out += '_';
            ++i;
            continue;
        }
        const size_t len = lead ? 2 : 1;
        out.append(name.substr(i, len));
        i += len;
    }
    return out;
}

}   // namespace

std::string AttachmentFileName(std::string_view decoded)
{
    std::string name = SplitBrokenPairs(decoded);
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
    // The native name never leaves the folder, whatever the conversion made of it.
    std::string name = ToNativePath(sjisName);
    for (char& c : name)
        if (c == '/' || c == '\0')
            c = '_';
    if (name.empty() || name == "." || name == "..")
        name = "_" + name;
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
