// The checker's entry points: prepares the main file and every file it includes by
// a literal name, gathers what the whole program defines, then reads each file's
// sentences and returns the findings in file and line order.
#include "check/check.h"

#include <algorithm>
#include <filesystem>
#include <memory>
#include <set>

#include "check/sentences.h"
#include "check/source.h"
#include "core/codec.h"
#include "core/file_io.h"

namespace fs = std::filesystem;

namespace {

// The place of an included file: beside the file that includes it, then the
// working folder (the search a run makes goes further; a name not found here is
// left to the run).
std::string FindIncluded(const std::string& fromUtf8, const std::string& nameUtf8)
{
    std::error_code ec;
    fs::path beside = fs::path(fromUtf8).parent_path() / nameUtf8;
    if (fs::is_regular_file(beside, ec))
        return beside.string();
    if (fs::is_regular_file(nameUtf8, ec))
        return nameUtf8;
    return {};
}

}   // namespace

std::vector<TDiagnostic> CheckText(const std::string& pathUtf8, const std::string& text, const TCheckOptions& options)
{
    std::vector<TDiagnostic> out;
    std::vector<std::unique_ptr<TCheckSource>> sources;
    TProgramFacts facts;
    std::set<std::string> seen;
    auto add = [&](const std::string& path, const std::string& bytes) {
        auto src = std::make_unique<TCheckSource>();
        src->Path = path;
        src->Prepare(bytes, out);
        if (src->Ok) {
            ScanLabels(*src, facts, out);
            ReadSentences(*src, facts, options, false, out);
        }
        sources.push_back(std::move(src));
    };
    std::error_code ec;
    seen.insert(fs::weakly_canonical(pathUtf8, ec).string());
    add(pathUtf8, text);
    // Included files, as far as their names are written as literals.
    for (size_t done = 0; done < facts.Includes.size() && sources.size() < 64; ++done) {
        const std::string name = SjisToUtf8(facts.Includes[done]);
        const std::string found = FindIncluded(pathUtf8, name);
        if (found.empty())
            facts.Incomplete = true;
        if (found.empty() || !seen.insert(fs::weakly_canonical(found, ec).string()).second)
            continue;
        std::string bytes;
        if (ReadWholeFile(found, bytes))
            add(found, bytes);
    }
    for (const auto& src : sources)
        ReadSentences(*src, facts, options, true, out);
    // Files in the order they were read, lines in order; a finding once.
    std::vector<std::string> order;
    for (const auto& src : sources)
        order.push_back(src->Path);
    auto rank = [&](const std::string& f) { return std::find(order.begin(), order.end(), f) - order.begin(); };
    std::stable_sort(out.begin(), out.end(), [&](const TDiagnostic& a, const TDiagnostic& b) {
        if (a.File != b.File)
            return rank(a.File) < rank(b.File);
        return a.Line < b.Line;
    });
    out.erase(std::unique(out.begin(), out.end(),
                          [](const TDiagnostic& a, const TDiagnostic& b) {
                              return a.File == b.File && a.Line == b.Line && a.Message == b.Message;
                          }),
              out.end());
    return out;
}

std::vector<TDiagnostic> CheckFile(const std::string& pathUtf8, const TCheckOptions& options)
{
    std::string text;
    if (!ReadWholeFile(pathUtf8, text)) {
        TDiagnostic d;
        d.File = pathUtf8;
        d.Line = 1;
        d.Severity = TSeverity::Error;
        d.Message = SjisToUtf8("ファイル\"") + pathUtf8 + SjisToUtf8("\"が、ありません。");
        return {d};
    }
    return CheckText(pathUtf8, text, options);
}
