// Received mail, as hostile servers send it: the input is a raw message (mutated
// from the seeds). It is parsed, its mail text made, and every attachment saved
// into a scratch folder under the name the receiver would use. Each saved file must
// land directly in that folder, under a name that is neither empty, "." nor "..";
// parsing must take time linear in the input (AFL's time limit catches the rest).
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include "core/codec.h"
#include "fuzz_target.h"
#include "net/mail_files.h"
#include "net/mime_parse.h"

namespace {

int gFolder = -1;
std::string gPath;

void EmptyFolder()
{
    const int fd = dup(gFolder);
    DIR* d = fd >= 0 ? fdopendir(fd) : nullptr;
    if (!d)
        std::abort();
    rewinddir(d);
    while (dirent* e = readdir(d))
        if (std::strcmp(e->d_name, ".") != 0 && std::strcmp(e->d_name, "..") != 0)
            unlinkat(gFolder, e->d_name, 0);
    closedir(d);
}

}   // namespace

void FuzzSetUp()
{
    char dir[] = "/tmp/porukana-fuzz-mail-XXXXXX";
    if (!mkdtemp(dir))
        std::abort();
    gPath = dir;
    gFolder = open(dir, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (gFolder < 0)
        std::abort();
    std::atexit([] {
        EmptyFolder();
        rmdir(gPath.c_str());
    });
}

void FuzzOne(const uint8_t* data, size_t size)
{
    const std::string_view raw(reinterpret_cast<const char*>(data), size);
    const TParsedMail mail = ParseMail(raw);
    std::string lines;
    int saved = 0;
    for (const TReceivedAttachment& a : mail.Attachments) {
        if (saved >= 16)
            break;   // enough to check the names; the folder stays small
        const std::string name = AttachmentFileName(a.Name);
        fuzz::Check(!name.empty(), "an empty attachment name");
        const std::string native = SaveAttachment(gFolder, name, a.Data.substr(0, 64));
        if (native.empty())
            continue;
        ++saved;
        fuzz::Check(native.find('/') == std::string::npos, "a saved name holds a folder separator");
        fuzz::Check(native != "." && native != "..", "a saved name is . or ..");
        fuzz::Check(native.size() <= 255, "a saved name is too long");
        struct stat sb {};
        fuzz::Check(fstatat(gFolder, native.c_str(), &sb, AT_SYMLINK_NOFOLLOW) == 0 && S_ISREG(sb.st_mode),
                    "a saved attachment is not a file in the folder");
        lines += "添付ファイル:" + name + "\r\n";
    }
    (void)MailText(mail, lines);
    (void)DecodeHeaderValue(raw.substr(0, 4096));
    EmptyFolder();
}
