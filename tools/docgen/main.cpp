// porukana-docgen: the reference of the built-in words, made from the registry
// table and the data files in docs/reference/data.
//
//   porukana-docgen check DATA_DIR
//       every registry row has an entry with a description, every command a
//       sample that uses each of its names; exit 1 with the faults otherwise
//   porukana-docgen pages DATA_DIR OUT_DIR      write the Markdown pages
//   porukana-docgen current DATA_DIR PAGE_DIR   exit 1 when the pages there are stale
//   porukana-docgen html [--search] OUT_DIR PAGE.md...
//       write an HTML page for each (--search: with the search box)
//   porukana-docgen search DATA_DIR OUT_DIR     write search.js, the search of the pages
//   porukana-docgen embed DATA_DIR OUT_FILE     the table porukana-cli --doc prints from
//   porukana-docgen run [--update] [--jobs N] [--timeout SECONDS] BIN_DIR FILE...
//       run the samples of data files (.txt) or guides (.md) and compare what
//       they write with what is shown; --update writes the results back instead
//   porukana-docgen extract OUT_DIR FILE...
//       write every sample of data files or guides as a program file of its own:
//       STEM-LINE.prk for the console, STEM-LINE.window.prk for the window, and
//       STEM-LINE.fails.prk for a sample that shows an error on purpose
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "check.h"
#include "html.h"
#include "objects.h"
#include "pages.h"
#include "refdata.h"
#include "registry_rows.h"
#include "runner.h"

namespace fs = std::filesystem;

namespace {

int Usage()
{
    std::cerr << "usage: porukana-docgen check DATA_DIR\n"
                 "       porukana-docgen pages DATA_DIR OUT_DIR\n"
                 "       porukana-docgen current DATA_DIR PAGE_DIR\n"
                 "       porukana-docgen html [--search] OUT_DIR PAGE.md...\n"
                 "       porukana-docgen search DATA_DIR OUT_DIR\n"
                 "       porukana-docgen embed DATA_DIR OUT_FILE\n"
                 "       porukana-docgen run [--update] [--jobs N] [--timeout SECONDS] BIN_DIR FILE...\n"
                 "       porukana-docgen extract OUT_DIR FILE...\n";
    return 2;
}

bool Report(const std::vector<std::string>& errors)
{
    for (const std::string& e : errors)
        std::cerr << e << "\n";
    return errors.empty();
}

std::vector<TDataFile> LoadData(const std::string& dir, bool& ok)
{
    std::vector<std::string> errors;
    std::vector<TDataFile> files = ReadDataFolder(dir, errors);
    ok = Report(errors);
    return files;
}

int Check(const std::string& dir)
{
    bool ok = false;
    const std::vector<TDataFile> files = LoadData(dir, ok);
    std::vector<std::string> faults = CheckReference(files, TRegistry::Get());
    // Every name a synonym leads to is the name of an entry.
    std::set<std::string> names;
    for (const TDataFile& f : files)
        for (const TEntry& e : f.entries)
            names.insert(e.names.begin(), e.names.end());
    for (const TObjectEntry& e : ObjectEntries(TObjectTable::Get()))
        names.insert(e.names.begin(), e.names.end());
    for (const auto& [word, targets] : ReadSynonyms(dir + "/synonyms.tsv", faults))
        for (const std::string& name : SplitLines(targets))
            if (!names.count(name))
                faults.push_back(dir + "/synonyms.tsv: \"" + word + "\" leads to \"" + name + "\", which has no entry");
    // The files stay in the form the tool writes, so that --update changes only
    // what it means to change.
    for (const TDataFile& f : files) {
        bool read = false;
        if (ReadWholeFile(f.path, read) != WriteDataFile(f))
            faults.push_back(f.path + ": not in the written form (blank lines, block order); "
                                      "porukana-docgen run --update rewrites it");
    }
    Report(faults);
    size_t entries = 0, samples = 0;
    for (const TDataFile& f : files)
        for (const TEntry& e : f.entries) {
            ++entries;
            samples += e.samples.size();
        }
    std::cout << files.size() << " files, " << entries << " entries, " << samples << " samples, " << faults.size()
              << " faults\n";
    return ok && faults.empty() ? 0 : 1;
}

int Pages(const std::string& dir, const std::string& outDir, bool compareOnly)
{
    bool ok = false;
    const std::vector<TDataFile> files = LoadData(dir, ok);
    if (!ok)
        return 1;
    int stale = 0;
    std::error_code ec;
    if (!compareOnly)
        fs::create_directories(outDir, ec);
    const std::map<std::string, std::string> pages = MarkdownPages(files, TRegistry::Get());
    for (const auto& [name, text] : pages) {
        const std::string path = outDir + "/" + name;
        if (compareOnly) {
            bool read = false;
            if (ReadWholeFile(path, read) != text || !read) {
                std::cerr << path << ": not what the data gives; run make docs\n";
                ++stale;
            }
        } else if (!WriteWholeFile(path, text)) {
            std::cerr << path << ": cannot be written\n";
            return 1;
        }
    }
    if (compareOnly) {
        // A page whose data file went away is stale too.
        for (const auto& de : fs::directory_iterator(outDir, ec)) {
            const std::string name = de.path().filename().string();
            if (de.path().extension() == ".md") {
                if (!pages.count(name)) {
                    std::cerr << de.path().string() << ": no data file makes this page\n";
                    ++stale;
                }
            }
        }
    }
    return stale ? 1 : 0;
}

std::string HtmlLink(std::string mdLink)
{
    const size_t dot = mdLink.find(".md");
    if (dot != std::string::npos)
        mdLink.replace(dot, 3, ".html");
    return mdLink;
}

int Search(const std::string& dir, const std::string& outDir)
{
    bool ok = false;
    const std::vector<TDataFile> files = LoadData(dir, ok);
    std::vector<std::string> errors;
    const auto synonyms = ReadSynonyms(dir + "/synonyms.tsv", errors);
    if (!ok || !Report(errors))
        return 1;
    std::vector<TSearchEntry> entries;
    auto joined = [](const std::vector<std::string>& names) {
        std::string s;
        for (const std::string& n : names)
            s += (s.empty() ? "" : "\n") + n;
        return s;
    };
    for (const TDataFile& f : files)
        for (const TEntry& e : f.entries)
            if (!e.names.empty())
                entries.push_back({joined(e.names), HtmlLink(PageFileName(f.stem)) + "#" + AnchorOf(e.names[0]),
                                   f.title, e.description});
    const TObjectTable& table = TObjectTable::Get();
    for (const TObjectEntry& e : ObjectEntries(table)) {
        std::string link = HtmlLink(PropertyLink(e.names[0]));
        for (const TObjectKindRow& k : table.kinds)
            if (k.name == e.names[0] && e.group == kKindGroup)
                link = HtmlLink(KindPageFile(k));
        entries.push_back({joined(e.names), link, e.group, e.description});
    }
    std::error_code ec;
    fs::create_directories(outDir, ec);
    return WriteWholeFile(outDir + "/search.js", SearchScript(entries, synonyms)) ? 0 : 1;
}

int Html(const std::string& outDir, const std::vector<std::string>& pages, bool search)
{
    std::error_code ec;
    fs::create_directories(outDir, ec);
    for (const std::string& page : pages) {
        bool ok = false;
        const std::string md = ReadWholeFile(page, ok);
        if (!ok) {
            std::cerr << page << ": cannot be read\n";
            return 1;
        }
        std::string title = fs::path(page).stem().string();
        for (const std::string& line : SplitLines(md))
            if (line.rfind("# ", 0) == 0) {
                title = line.substr(2);
                break;
            }
        const std::string out = outDir + "/" + fs::path(page).stem().string() + ".html";
        if (!WriteWholeFile(out, MarkdownToHtml(md, title, search))) {
            std::cerr << out << ": cannot be written\n";
            return 1;
        }
    }
    return 0;
}

int Embed(const std::string& dir, const std::string& outFile)
{
    bool ok = false;
    const std::vector<TDataFile> files = LoadData(dir, ok);
    std::vector<std::string> errors;
    const auto synonyms = ReadSynonyms(dir + "/synonyms.tsv", errors);
    if (!Report(errors))
        return 1;
    const std::string text = EmbedSource(files, TRegistry::Get(), synonyms);
    // Unchanged output keeps its time stamp, so that nothing is rebuilt for it.
    bool read = false;
    if (ReadWholeFile(outFile, read) == text && read)
        return 0;
    return WriteWholeFile(outFile, text) ? 0 : 1;
}

// Writes the results of a guide's samples back into its output blocks.
bool UpdateGuide(const std::string& path, const std::vector<TSample>& samples)
{
    bool ok = false;
    std::vector<std::string> lines = SplitLines(ReadWholeFile(path, ok));
    for (size_t k = samples.size(); k-- > 0;) {
        const TSample& s = samples[k];
        std::vector<std::string> out = SplitLines(s.out);
        out.insert(out.end(), static_cast<size_t>(s.outBlankLines), std::string());
        lines.erase(lines.begin() + s.outFirst, lines.begin() + s.outLast);
        lines.insert(lines.begin() + s.outFirst, out.begin(), out.end());
    }
    std::string text;
    for (const std::string& l : lines)
        text += l + "\n";
    return ok && WriteWholeFile(path, text);
}

int Run(const std::vector<std::string>& args)
{
    bool update = false;
    TRunOptions options;
    size_t i = 0;
    for (; i < args.size() && args[i].rfind("--", 0) == 0; ++i) {
        if (args[i] == "--update")
            update = true;
        else if (args[i] == "--jobs" && i + 1 < args.size())
            options.jobs = std::atoi(args[++i].c_str());
        else if (args[i] == "--timeout" && i + 1 < args.size())
            options.timeoutSeconds = std::max(1, std::atoi(args[++i].c_str()));
        else
            return Usage();
    }
    if (i + 2 > args.size())
        return Usage();
    options.binDir = args[i++];
    int failed = 0;
    size_t total = 0;
    for (; i < args.size(); ++i) {
        const std::string& path = args[i];
        std::vector<std::string> errors;
        const bool guide = fs::path(path).extension() == ".md";
        TDataFile data;
        std::vector<TSample> guideSamples;
        std::vector<TSample*> samples;
        if (guide) {
            guideSamples = ReadGuideSamples(path, errors);
            for (TSample& s : guideSamples)
                samples.push_back(&s);
        } else {
            data = ReadDataFile(path, errors);
            for (TEntry& e : data.entries)
                for (TSample& s : e.samples)
                    samples.push_back(&s);
        }
        if (!Report(errors))
            return 1;
        const std::vector<const TSample*> run(samples.begin(), samples.end());
        const std::vector<TRunResult> results = RunSamples(run, options);
        total += samples.size();
        for (size_t k = 0; k < samples.size(); ++k) {
            TSample& s = *samples[k];
            const std::string why = CompareResult(s, results[k]);
            if (why.empty())
                continue;
            const bool fixable = results[k].failure.empty() && !results[k].timedOut &&
                                 (!guide || (ShownText(results[k].err) == s.err && results[k].exitCode == s.exitCode));
            if (update && fixable) {
                std::cerr << s.file << ":" << s.line << ": updated\n" << why;
                s.out = ShownOutput(results[k].out, s.outBlankLines);
                s.err = ShownText(results[k].err);
                s.exitCode = results[k].exitCode;
                continue;
            }
            std::cerr << s.file << ":" << s.line << ": " << why;
            ++failed;
        }
        if (update) {
            const bool written = guide ? UpdateGuide(path, guideSamples) : WriteWholeFile(path, WriteDataFile(data));
            if (!written) {
                std::cerr << path << ": cannot be written\n";
                return 1;
            }
        }
    }
    std::cout << total << " samples, " << failed << " failed\n";
    return failed ? 1 : 0;
}

// Every sample as a program file of its own, for tools that read programs (the
// checker) rather than run them.
int Extract(const std::vector<std::string>& args)
{
    if (args.size() < 2)
        return Usage();
    const std::string out = args[0];
    std::error_code ec;
    fs::create_directories(out, ec);
    size_t written = 0;
    for (size_t i = 1; i < args.size(); ++i) {
        const std::string& path = args[i];
        std::vector<std::string> errors;
        std::vector<TSample> samples;
        if (fs::path(path).extension() == ".md") {
            samples = ReadGuideSamples(path, errors);
        } else {
            for (TEntry& e : ReadDataFile(path, errors).entries)
                for (TSample& s : e.samples)
                    samples.push_back(s);
        }
        if (!Report(errors))
            return 1;
        const std::string stem = fs::path(path).stem().string();
        for (const TSample& s : samples) {
            const bool fails = s.exitCode != 0 ||
                               s.err.find("[\xE3\x82\xA8\xE3\x83\xA9\xE3\x83\xBC]") != std::string::npos ||
                               s.out.find("[\xE3\x82\xA8\xE3\x83\xA9\xE3\x83\xBC]") != std::string::npos;
            const std::string kind = fails ? ".fails" : (s.window ? ".window" : "");
            const std::string file = out + "/" + stem + "-" + std::to_string(s.line) + kind + ".prk";
            if (!WriteWholeFile(file, s.code + "\n")) {
                std::cerr << file << ": cannot be written\n";
                return 1;
            }
            ++written;
        }
    }
    std::cout << written << " samples\n";
    return 0;
}

}   // namespace

int main(int argc, char** argv)
{
    const std::vector<std::string> args(argv + 1, argv + argc);
    if (args.empty())
        return Usage();
    const std::string& cmd = args[0];
    if (cmd == "check" && args.size() == 2)
        return Check(args[1]);
    if (cmd == "pages" && args.size() == 3)
        return Pages(args[1], args[2], false);
    if (cmd == "current" && args.size() == 3)
        return Pages(args[1], args[2], true);
    if (cmd == "html" && args.size() >= 4 && args[1] == "--search")
        return Html(args[2], std::vector<std::string>(args.begin() + 3, args.end()), true);
    if (cmd == "html" && args.size() >= 3)
        return Html(args[1], std::vector<std::string>(args.begin() + 2, args.end()), false);
    if (cmd == "search" && args.size() == 3)
        return Search(args[1], args[2]);
    if (cmd == "embed" && args.size() == 3)
        return Embed(args[1], args[2]);
    if (cmd == "extract")
        return Extract({args.begin() + 1, args.end()});
    if (cmd == "run")
        return Run(std::vector<std::string>(args.begin() + 1, args.end()));
    return Usage();
}
