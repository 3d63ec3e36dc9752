// The facts of a whole program: its labels and the names a run can create.
#include "check/sentences.h"
#include "check/words.h"
#include "core/codec.h"
#include "core/hash.h"
#include "core/sjis.h"
#include "loader/scanner.h"

bool TProgramFacts::IsLabel(const std::string& name) const
{
    return Labels.count(name) || FoldedLabels.count(FoldOkurigana(name));
}

bool TProgramFacts::IsDefined(const std::string& name) const
{
    return Defined.count(name) || Defined.count(FoldOkurigana(name));
}

void TProgramFacts::Define(const std::string& name)
{
    if (name.empty() || name.size() > 64)
        return;
    Defined.insert(name);
    Defined.insert(FoldOkurigana(name));
}

bool TProgramFacts::MaybeCallable(const std::string& name) const
{
    const THashNode* n = FindBuiltin(name);
    if (n && (n->Kind == wkCommand || n->Kind == wkDllFunc || n->Kind == wkLabel))
        return true;
    return IsLabel(name) || Literals.count(name) || Literals.count(FoldOkurigana(name));
}

std::vector<std::string> TProgramFacts::LabelNames() const
{
    std::vector<std::string> out;
    for (const auto& [name, where] : Labels)
        out.push_back(name);
    return out;
}

void ScanLabels(const TCheckSource& src, TProgramFacts& facts, std::vector<TDiagnostic>& out)
{
    const char* text = src.Text.c_str();
    const char* p = text;
    while (*p) {
        const unsigned char c = static_cast<unsigned char>(*p);
        if (IsLeadByte(c) && p[1]) {
            p += 2;
            continue;
        }
        if (c == '"' || c == '`') {
            try {
                ReadLiteral(p);
            } catch (...) {
                return;   // the sentence reader reports it
            }
            continue;
        }
        if (c != '*') {
            ++p;
            continue;
        }
        const char* before = p;
        ++p;
        if (*p == '*') {
            ++p;
            continue;
        }
        const std::string name = ReadWord(p);
        if (name.empty())
            continue;
        const char* q = before;
        while (q > text && (q[-1] == ' ' || q[-1] == '\t'))
            --q;
        const bool lineStart = q == text || q[-1] == '\r' || q[-1] == '\n' || q[-1] == ':';
        if (!lineStart || !(*p == '\r' || *p == '\n' || *p == '\0'))
            continue;
        const int line = src.LineAt(before);
        const auto old = facts.Labels.find(name);
        const THashNode* builtin = FindBuiltin(name);
        if (old != facts.Labels.end() || (builtin && builtin->Name == name)) {
            std::string hint = "ラベルの名前は、プログラム全体で一つずつにしてください。";
            if (old != facts.Labels.end())
                hint = "同じ名前のラベルが " + Utf8ToSjis(old->second.File) + " の" + std::to_string(old->second.Line) +
                       "行目にあります。";
            AddFinding(out, src, line, TSeverity::Error,
                       "ラベル\"" + name + "\"の定義に失敗しました。既に単語として使われています。", hint, "*" + name);
            continue;
        }
        facts.Labels[name] = {src.Path, line};
        facts.FoldedLabels.insert(FoldOkurigana(name));
    }
}
