// porukana-pack: writes a stand-alone program, a copy of the run-time executable
// with a container appended that holds the script (entry "porukana.prk", scrambled),
// the script's own file name (entry "porukana.name", which errors show), and the
// files it needs (stored as they are, under the names given). What was written is
// reported on standard output.
//
//   porukana-pack [--console] [--bundle [--web]] OUTPUT SCRIPT [FILE...]
//
// --console packs the console run-time (porukana-cli) instead of the window
// run-time (porukana). Both are taken from the folder of this tool. --bundle makes
// a program that needs nothing installed: the launcher (lib/porukana/) takes the
// run-time's place at the front, and the container also carries the run-time with
// its shared libraries and Qt plug-ins (entry "porukana.bundle"). --web adds the
// browser's web engine to the bundle; a script that names ブラウザ gets it by itself.
// The program is written with mode 0755.
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <string>
#include <vector>

#include "bundle/bundle_archive.h"
#include "bundle/bundle_cache.h"
#include "bundle/bundle_files.h"
#include "core/codec.h"
#include "loader/container.h"
#include "loader/container_temp.h"
#include "loader/elf.h"
#include "porukana_version.h"

namespace fs = std::filesystem;

namespace {

const char* const kUsage = "使い方: porukana-pack [オプション] 出力ファイル スクリプト [ファイル...]\n"
                           "ぽるかなのプログラムを、それだけで動く実行ファイルにします。スクリプトは暗号化して、\n"
                           "ほかのファイル（画像、取り込むファイルなど）はそのままの名前で中に入れます。\n"
                           "\n"
                           "オプション:\n"
                           "  --console   端末用の実行環境（porukana-cli）で作る（既定はウインドウの porukana）\n"
                           "  --bundle    実行環境の共有ライブラリと Qt のプラグインも入れて、Qt などが入っていない\n"
                           "              マシンでも動くようにする（C ライブラリだけは動かすマシンのものを使う）\n"
                           "  --web       --bundle にブラウザ部品のウェブエンジンも入れる（スクリプトに「ブラウザ」が\n"
                           "              あれば自動で入れる）\n"
                           "  --help      この使い方を表示して終わる\n"
                           "  --version   版を表示して終わる\n"
                           "\n"
                           "終了コード: 0 成功、1 失敗、2 引数の誤り\n";

int Usage()
{
    std::cerr << "使い方: porukana-pack [--console] [--bundle [--web]] 出力ファイル スクリプト [ファイル...]"
                 "（詳しくは porukana-pack --help）\n";
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

// The image of an executable without whatever is appended to it.
bool ReadImage(const fs::path& exe, std::string& image, std::string& error)
{
    uint64_t end = 0;
    if (!ReadFile(exe.string(), image)) {
        error = "実行ファイル「" + exe.string() + "」が読めません。";
        return false;
    }
    if (!ElfImageEndOf(image, end)) {
        error = "「" + exe.string() + "」は実行ファイルではありません。";
        return false;
    }
    image.resize(end);
    return true;
}

// True when a script (Shift_JIS or UTF-8) names the browser control.
bool UsesBrowser(const std::vector<std::string>& files)
{
    const std::string word = "ブラウザ";
    const std::string sjisWord = Utf8ToSjis(word);
    for (const std::string& f : files) {
        std::string text;
        if (fs::path(f).extension() == ".prk" && ReadFile(f, text) &&
            (text.find(sjisWord) != std::string::npos || text.find(word) != std::string::npos))
            return true;
    }
    return false;
}

// Writes the run-time bundle into the private temporary folder; its path, or ""
// after reporting the failure.
std::string WriteBundle(const fs::path& tools, bool console, bool web)
{
    const std::string dir = PrivateTempDir();
    if (dir.empty()) {
        Fail("一時フォルダを作れません。");
        return std::string();
    }
    TBundleRequest request;
    request.Runtime = (tools / (console ? "porukana-cli" : "porukana")).string();
    request.Window = !console;
    // The run-time's debugging information is of no use where the program runs.
    const std::string stripped = dir + (console ? "porukana-cli" : "porukana");
    if (StripCopy(request.Runtime, stripped))
        request.Runtime = stripped;
    request.Web = web;
    request.WebModule = (tools.parent_path() / "lib" / "porukana" / "porukana-web.so").string();
    request.DataFolder = (tools.parent_path() / "share" / "porukana").string();
    // The modules the run-time loads on a family's first command, stripped like it.
    std::error_code listError;
    for (const auto& e : fs::directory_iterator(tools.parent_path() / "lib" / "porukana", listError)) {
        const std::string file = e.path().filename().string();
        if (file.rfind("porukana-", 0) != 0 || e.path().extension() != ".so" || file == "porukana-web.so")
            continue;
        const std::string strippedModule = dir + file;
        request.Modules.push_back(StripCopy(e.path().string(), strippedModule) ? strippedModule : e.path().string());
    }
    request.QtConf = CreatePrivateTempFile("qt.conf", BundleQtConf());
    if (!console) {
        request.Font = FindJapaneseFont();
        request.FontsConf = CreatePrivateTempFile("fonts.conf", BundleFontsConf());
    }
    TBundlePlan plan;
    if (request.QtConf.empty() || !PlanBundle(request, plan)) {
        Fail(plan.Error.empty() ? "qt.conf を書けません。" : plan.Error);
        return std::string();
    }
    for (const std::string& note : plan.Notes)
        std::cerr << "porukana-pack: 注意: " << note << "\n";
    const std::string path = dir + "bundle";
    TBundleWriter writer;
    uintmax_t total = 0;
    bool ok = writer.Open(path);
    for (size_t i = 0; ok && i < plan.Files.size(); ++i) {
        ok = writer.Add(plan.Files[i].Name, plan.Files[i].Source, plan.Files[i].Mode);
        std::error_code ec;
        total += fs::file_size(plan.Files[i].Source, ec);
    }
    if (!ok || !writer.Finish()) {
        Fail("実行環境をまとめられません: " + writer.Error());
        return std::string();
    }
    std::error_code ec;
    std::cerr << "porukana-pack: 実行環境 " << plan.Files.size() << " 個のファイル（" << total / 1048576
              << " MB、圧縮して " << fs::file_size(path, ec) / 1048576 << " MB）を入れました。\n";
    return path;
}

}   // namespace

int main(int argc, char** argv)
{
    bool console = false, bundle = false, web = false;
    std::vector<std::string> args;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--help") {
            std::cout << kUsage;
            return 0;
        }
        if (a == "--version") {
            std::cout << "porukana-pack " << PORUKANA_VERSION << "\n";
            return 0;
        }
        if (a == "--console")
            console = true;
        else if (a == "--bundle")
            bundle = true;
        else if (a == "--web")
            web = true;
        else if (a.size() > 2 && a.rfind("--", 0) == 0) {
            std::cerr << "porukana-pack: オプション「" << a << "」はありません。\n";
            return Usage();
        } else
            args.push_back(a);
    }
    if (args.size() < 2)
        return Usage();
    if (web && !bundle) {
        std::cerr << "porukana-pack: --web は --bundle と一緒に使います。\n";
        return Usage();
    }
    if (web && console) {
        std::cerr << "porukana-pack: 端末用の実行環境にはブラウザ部品がありません（--web と --console）。\n";
        return Usage();
    }
    const std::string output = args[0];

    std::error_code ec;
    const fs::path self = fs::read_symlink("/proc/self/exe", ec);
    if (ec)
        return Fail("自分の実行ファイルが見つかりません。");
    const fs::path tools = self.parent_path();
    const fs::path front = bundle ? tools.parent_path() / "lib" / "porukana" / "porukana-launcher"
                                  : tools / (console ? "porukana-cli" : "porukana");
    std::string image, error;
    if (!ReadImage(front, image, error))   // a container already appended is left out
        return Fail(error);

    TFileMixWriter writer;
    std::vector<std::string> packed;   // what the report lists
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
        if (UpperSjis(Utf8ToSjis(name)) == UpperSjis(kScriptNameEntry))
            return Fail("ファイル名「" + source + "」は台本の名前のために使われています。");
        if (bundle && UpperSjis(Utf8ToSjis(name)) == UpperSjis(kBundleEntry))
            return Fail("ファイル名「" + source + "」は実行環境のために使われています。");
        writer.Entries.push_back(FromNativePath(source) + "=" + Utf8ToSjis(name) + (i == 1 ? "=1" : "=0"));
        std::error_code se;
        const uintmax_t bytes = fs::file_size(source, se);
        packed.push_back(i == 1 ? "スクリプト " + fs::path(source).filename().string() + "（" + std::to_string(bytes) +
                                      " バイト、暗号化して " + name + " に）"
                                : "ファイル " + name + "（" + std::to_string(bytes) + " バイト）");
    }
    // The script's own name, shown by errors instead of the entry name.
    const std::string scriptName = fs::path(args[1]).filename().string();
    const std::string nameFile = CreatePrivateTempFile("script-name", FromNativePath(scriptName));
    if (nameFile.empty())
        return Fail("一時ファイルを作れません。");
    writer.Entries.push_back(FromNativePath(nameFile) + "=" + kScriptNameEntry + "=0");

    if (bundle) {
        if (!console && !web && UsesBrowser({args.begin() + 1, args.end()})) {
            std::cerr << "porukana-pack: スクリプトがブラウザを使うので、ウェブエンジンも入れます。\n";
            web = true;
        }
        const std::string bundlePath = WriteBundle(tools, console, web);
        if (bundlePath.empty())
            return 1;
        writer.Entries.push_back(FromNativePath(bundlePath) + "=" + kBundleEntry + "=0");
        // The bundle's version key: the launcher unpacks each version once into the
        // user's cache, under this name.
        uint32_t crc = 0;
        const uintmax_t bundleSize = fs::file_size(bundlePath, ec);
        if (ec || !FileCrc32(bundlePath, 0, bundleSize, crc))
            return Fail("実行環境のファイルを読めません。");
        const std::string keyFile = CreatePrivateTempFile("bundle-key", BundleKey(crc, bundleSize));
        if (keyFile.empty())
            return Fail("一時ファイルを作れません。");
        writer.Entries.push_back(FromNativePath(keyFile) + "=" + kBundleKeyEntry + "=0");
        packed.push_back(std::string("実行環境一式（") + (console ? "porukana-cli" : "porukana") + "、" +
                         std::to_string(fs::file_size(bundlePath, ec) / 1024) + " KB）");
    } else {
        packed.push_back(std::string("実行環境 ") + (console ? "porukana-cli" : "porukana"));
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
    const fs::path written = fs::absolute(output, ec);
    std::cout << "porukana-pack: 「" << (ec ? output : written.lexically_normal().string()) << "」を書きました（"
              << image.size() + container.size() << " バイト）。\n";
    for (const std::string& line : packed)
        std::cout << "  " << line << "\n";
    return 0;
}
