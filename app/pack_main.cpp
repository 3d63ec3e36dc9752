// porukana-pack: writes a stand-alone program, a copy of the run-time executable
// with a container appended that holds the script (entry "porukana.prk", scrambled)
// and the files it needs (stored as they are, under the names given).
//
//   porukana-pack OUTPUT SCRIPT [FILE...] [--console]
//
// --console packs the console run-time (porukana-cli) instead of the window
// run-time (porukana). Both are taken from the folder of this tool. The program is
// written with mode 0755.
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <string>
#include <vector>

#include "core/codec.h"
#include "loader/container.h"
#include "loader/container_temp.h"
#include "loader/elf.h"

namespace fs = std::filesystem;

namespace {

int Usage()
{
    std::cerr << "使い方: porukana-pack 出力ファイル スクリプト [ファイル...] [--console]\n";
    return 2;
}

int Fail(const std::string& utf8)
{
    std::cerr << "porukana-pack: " << utf8 << "\n";
    return 1;
}

bool ReadFile(const std::string& path, std::string& out)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return false;
    out.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return !in.bad();
}

// The entry name of a packed file: the relative path as given ("\" between
// folders), or the bare name of an absolute path.
std::string EntryName(const std::string& path)
{
    fs::path p(path);
    std::string name = p.is_absolute() ? p.filename().string() : p.lexically_normal().string();
    while (name.rfind("./", 0) == 0)
        name.erase(0, 2);
    for (char& c : name)
        if (c == '/')
            c = '\\';
    return name;
}

}  // namespace

int main(int argc, char** argv)
{
    bool console = false;
    std::vector<std::string> args;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--console")
            console = true;
        else
            args.push_back(a);
    }
    if (args.size() < 2)
        return Usage();
    const std::string output = args[0];

    std::error_code ec;
    const fs::path self = fs::read_symlink("/proc/self/exe", ec);
    const fs::path runtime = self.parent_path() / (console ? "porukana-cli" : "porukana");
    std::string image;
    uint64_t end = 0;
    if (ec || !ReadFile(runtime.string(), image))
        return Fail("実行ファイル「" + runtime.string() + "」が読めません。");
    if (!ElfImageEndOf(image, end))
        return Fail("「" + runtime.string() + "」は実行ファイルではありません。");
    image.resize(end);   // a container already appended to the run-time is left out

    TFileMixWriter writer;
    for (size_t i = 1; i < args.size(); ++i) {
        const std::string& source = args[i];
        std::error_code fe;
        if (!fs::is_regular_file(source, fe))
            return Fail("ファイル「" + source + "」がありません。");
        const std::string name = i == 1 ? std::string("porukana.prk") : EntryName(source);
        if (source.find('=') != std::string::npos || name.find('=') != std::string::npos)
            return Fail("ファイル名「" + source + "」に「=」は使えません。");
        if (Utf8ToSjis(name).size() > 255)
            return Fail("ファイル名「" + source + "」が長すぎます。");
        writer.Entries.push_back(FromNativePath(source) + "=" + Utf8ToSjis(name) + (i == 1 ? "=1" : "=0"));
    }

    const std::string dir = PrivateTempDir();
    if (dir.empty())
        return Fail("一時フォルダを作れません。");
    const std::string containerPath = dir + "container";
    std::string container;
    try {
        writer.Save(containerPath);
    } catch (const EContainer& e) {
        return Fail(SjisToUtf8(e.what()));
    }
    if (!ReadFile(containerPath, container))
        return Fail("合成ファイルが読めません。");

    {
        std::ofstream out(output, std::ios::binary | std::ios::trunc);
        if (!out || !out.write(image.data(), static_cast<std::streamsize>(image.size())) ||
            !out.write(container.data(), static_cast<std::streamsize>(container.size())) || !out.flush())
            return Fail("「" + output + "」へ書き込めません。");
    }
    if (chmod(output.c_str(), 0755) != 0)
        return Fail("「" + output + "」の属性を変更できません。");
    return 0;
}
