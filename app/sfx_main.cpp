// porukana-sfx: the extractor at the front of a self-extracting archive. It finds
// the archive appended to its own file and unpacks it into a folder the user
// chooses (asked on the terminal unless given with -d), refusing entries that would
// land outside that folder.
//
//   NAME [-d FOLDER] [-o] [-l]
//     -d FOLDER  unpack into FOLDER (made when missing) without asking
//     -o         replace existing files (otherwise only by newer entries)
//     -l         list the entries and stop
#include <archive.h>
#include <archive_entry.h>
#include <limits.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <iostream>
#include <string>

#include "archive/safe_extract.h"

namespace {

std::string SelfPath()
{
    char buf[PATH_MAX];
    const ssize_t n = readlink("/proc/self/exe", buf, sizeof buf - 1);
    return n > 0 ? std::string(buf, static_cast<size_t>(n)) : std::string();
}

// The folder offered when asking: beside the program, named after it.
std::string DefaultFolder(const std::string& self)
{
    std::string name = self.substr(self.rfind('/') + 1);
    const size_t dot = name.rfind('.');
    if (dot != std::string::npos && dot > 0)
        name = name.substr(0, dot);
    return self.substr(0, self.rfind('/') + 1) + name;
}

// One answer line from the terminal; false at the end of input.
bool Ask(const std::string& question, std::string& answer)
{
    std::cerr << question << std::flush;
    if (!std::getline(std::cin, answer))
        return false;
    while (!answer.empty() && (answer.back() == '\r' || answer.back() == ' '))
        answer.pop_back();
    return true;
}

int List(const TArchiveSource& src)
{
    TUtf8Locale utf8;
    archive* a = archive_read_new();
    archive_read_support_format_all(a);
    archive_read_support_filter_all(a);
    int rc = 0;
    if (OpenArchiveSource(a, src) != ARCHIVE_OK) {
        rc = 1;
    } else {
        archive_entry* e;
        int r;
        while ((r = archive_read_next_header(a, &e)) == ARCHIVE_OK || r == ARCHIVE_WARN) {
            const char* raw = archive_entry_pathname(e);
            std::cout << EntryNameToUtf8(raw ? raw : "", true) << "\n";
        }
        rc = r == ARCHIVE_EOF ? 0 : 1;
    }
    if (rc != 0)
        std::cerr << "書庫を読めません（" << (archive_error_string(a) ? archive_error_string(a) : "") << "）。\n";
    archive_read_free(a);
    return rc;
}

void Report(const TExtractResult& r, const std::string& dest)
{
    switch (r.Error) {
    case TExtractError::None:
        std::cerr << r.Written << "個のファイルを「" << dest << "」に展開しました。";
        if (r.Skipped > 0)
            std::cerr << "（" << r.Skipped << "個は既にあるため展開しませんでした）";
        std::cerr << "\n";
        return;
    case TExtractError::Destination:
        std::cerr << "展開先のフォルダ「" << dest << "」を作成できません（" << r.Detail << "）。\n";
        return;
    case TExtractError::Open:
    case TExtractError::Read:
        std::cerr << "書庫が壊れています（" << r.Detail << "）。\n";
        return;
    case TExtractError::UnsafeName:
        std::cerr << "「" << r.Entry << "」は展開先の外を指しているため、展開を中止しました。\n";
        return;
    case TExtractError::UnsafeLink:
        std::cerr << "リンク「" << r.Entry << "」（「" << r.Detail
                  << "」へのリンク）は展開先の外を指しているため、展開を中止しました。\n";
        return;
    case TExtractError::Conflict:
        std::cerr << "展開先に「" << r.Entry << "」と同じ名前のファイルかフォルダがあるため、展開できません。\n";
        return;
    case TExtractError::Write:
        std::cerr << "「" << r.Entry << "」を書き込めません（" << r.Detail << "）。\n";
        return;
    }
}

}   // namespace

int main(int argc, char** argv)
{
    std::string dest;
    bool overwrite = false, list = false;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "-d" && i + 1 < argc) {
            dest = argv[++i];
        } else if (a == "-o") {
            overwrite = true;
        } else if (a == "-l") {
            list = true;
        } else {
            std::cerr << "使い方: " << argv[0] << " [-d 展開先フォルダ] [-o] [-l]\n";
            return 2;
        }
    }
    const std::string self = SelfPath();
    TArchiveSource src;
    if (self.empty() || !FindSfxPayload(self, src)) {
        std::cerr << "この実行ファイルには書庫が付いていません。\n";
        return 2;
    }
    if (list)
        return List(src);
    if (dest.empty()) {
        const std::string offered = DefaultFolder(self);
        std::string answer;
        if (!Ask("展開先のフォルダ [" + offered + "]: ", answer)) {
            std::cerr << "\n中止しました。\n";
            return 1;
        }
        dest = answer.empty() ? offered : answer;
    }
    TExtractSettings s;
    s.Dest = dest;
    s.Overwrite = overwrite ? TOverwrite::Always : TOverwrite::IfNewer;
    s.ConfirmProtected = [](const std::string& target) {
        std::string answer;
        return Ask("「" + target + "」を書き込みますか [y/N]: ", answer) && (answer == "y" || answer == "Y");
    };
    const TExtractResult r = ExtractArchive(src, s);
    Report(r, dest);
    return r.Error == TExtractError::None ? 0 : 1;
}
