#include "check/sentences.h"

#include <cstring>

#include "check/words.h"
#include "core/hash.h"
#include "core/sjis.h"
#include "core/text.h"
#include "interp/builtins.h"
#include "interp/interp.h"
#include "loader/scanner.h"

namespace {

// Copies the literal or parenthesised group that starts at p into `into` and moves
// past it; false when it does not close (the sentence reader reports that).
bool CopyLiteralOrGroup(const char*& p, std::string& into)
{
    const char* s = p;
    try {
        if (*p == '(')
            ReadGroup(p);
        else
            ReadLiteral(p);
    } catch (...) {
        return false;
    }
    into.append(s, p);
    return true;
}

// The words a run reads without looking them up as commands.
const char* const kEventNames[] = {"イベント",       "クリックした時", "ダブルクリックした時",
                                   "マウス押した時", "マウス離した時", "キー押した時",
                                   "キー離した時",   "変更した時",     "マウス動かした時"};

bool EndsWithSjis(const std::string& text, const std::string& tail)
{
    if (tail.empty() || text.size() < tail.size() || text.compare(text.size() - tail.size(), tail.size(), tail) != 0)
        return false;
    // On a character boundary of the text.
    size_t i = 0;
    const size_t at = text.size() - tail.size();
    while (i < at)
        i += CharLenAt(text, i);
    return i == at;
}

bool StartsWith(const char* p, const char* word)
{
    return std::strncmp(p, word, std::strlen(word)) == 0;
}

bool IsLineEnd(char c)
{
    return c == '\r' || c == '\n' || c == '\0';
}

bool IsQuote(char c)
{
    return c == '"' || c == '`';
}

std::string Quoted(const std::string& s)
{
    return "「" + s + "」";
}

// A slot accepts an entry ending in its particle or in an equivalent one.
bool SlotAccepts(const std::string& slot, const std::string& entry)
{
    if (slot.empty() || EndsWithSjis(entry, slot))
        return true;
    if (slot == "と" || slot == "の")
        return EndsWithSjis(entry, "を");
    if (slot == "を")
        return EndsWithSjis(entry, "と") || EndsWithSjis(entry, "の");
    if (slot == "に")
        return EndsWithSjis(entry, "へ");
    if (slot == "へ")
        return EndsWithSjis(entry, "に");
    return false;
}

std::vector<std::string> TemplateSlots(const std::string& templ)
{
    std::vector<std::string> out;
    SplitTemplate(templ, out);
    return out;
}

// The word without the particle it ends in (the longest known one).
std::string Stem(const std::string& word)
{
    for (const std::string& particle : KnownParticles())
        if (word.size() > particle.size() && EndsWithSjis(word, particle))
            return word.substr(0, word.size() - particle.size());
    return word;
}

std::string Unquote(const std::string& literal)
{
    if (literal.size() >= 2 && IsQuote(literal.front()))
        return literal.substr(1, literal.size() - 2);
    return literal;
}

bool IsCallable(const THashNode* n)
{
    return n && (n->Kind == wkCommand || n->Kind == wkDllFunc || n->Kind == wkLabel);
}

enum class TPhraseKind { Word, Literal, Number, Group, Value };

struct TPhrase {
    std::string Text;   // as the executor pushes it: value and particle
    TPhraseKind Kind = TPhraseKind::Word;
    std::string Particle;   // of a literal, number or group
    const char* At = nullptr;
    bool Broken = false;   // a literal that a quote inside it ended early (reported)
};

class TReader {
public:
    TReader(const TCheckSource& src, TProgramFacts& facts, const TCheckOptions& options, bool report,
            std::vector<TDiagnostic>& out)
        : src_(src), facts_(facts), options_(options), report_(report), out_(out)
    {
    }

    void Run();

private:
    const TCheckSource& src_;
    TProgramFacts& facts_;
    const TCheckOptions& options_;
    bool report_;
    std::vector<TDiagnostic>& out_;
    std::vector<TPhrase> args_;
    std::vector<const char*> bodies_;   // open body groups: where their "(" stands
    int depth_ = 0;                     // nesting of calls and groups being looked into

    void Find(const char* at, TSeverity severity, const std::string& message, const std::string& hint,
              const std::string& token = {})
    {
        if (report_)
            AddFinding(out_, src_, src_.LineAt(at), severity, message, hint, token);
    }
    std::string LineText(const char* at) const
    {
        const int line = src_.LineAt(at);
        return line >= 1 && line <= static_cast<int>(src_.Lines.size()) ? src_.Lines[line - 1] : std::string();
    }

    static void SkipBlanks(const char*& p) { SkipSeparators(p); }
    static void ReadLineMarker(const char*& p);
    bool ReadLiteralChecked(const char*& p, std::string& literal);
    bool ReadGroupChecked(const char*& p, std::string& group);
    std::string ReadParticleAfterLiteral(const char*& p, const char* start, bool* broken = nullptr);
    void ReadConcatTail(const char*& p, std::string& phrase);
    std::string ReadToStatementEnd(const char*& p);

    bool ReadPhrase(const char*& p, TPhrase& ph);
    void EndSentence(const char* at);
    void CheckCommand(const TPhrase& word, std::vector<TPhrase>& args);
    void CheckParticles(const THashNode* node, const TPhrase& word, std::vector<TPhrase>& args);
    void CheckLabelName(const THashNode* node, const TPhrase& word, const std::vector<TPhrase>& args);
    void CheckFunctionDefinition(const std::vector<TPhrase>& args);
    void CheckOkurigana(const TPhrase& word);
    void Assign(const TPhrase& left, const char*& p);
    void CheckRightSide(const std::string& left, const std::string& right, const char* at);
    void CheckCallsIn(const std::string& text, const char* at);
    void CheckCall(const std::string& name, const std::string& inside, const char* at);
    void Condition(const char*& p, const char* at);
    void Body(const char*& p);
    void Note(const TPhrase& ph);
    void ClearArgs()
    {
        for (const TPhrase& a : args_)
            Note(a);
        args_.clear();
    }
};

void TReader::ReadLineMarker(const char*& p)
{
    while (*p == '\t' || *p == '\r' || *p == '\n' || *p == ' ')
        ++p;
    if (*p >= '0' && *p <= '9') {
        while (*p && *p != ':')
            ++p;
        if (*p == ':')
            ++p;
    }
}

bool TReader::ReadLiteralChecked(const char*& p, std::string& literal)
{
    const char* start = p;
    try {
        literal = ReadLiteral(p);
        return true;
    } catch (const EPoru& e) {
        Find(start, TSeverity::Error, e.Message, "この行で開いた引用符が閉じていません: " + LineText(start));
        p = start + std::strlen(start);
        return false;
    }
}

bool TReader::ReadGroupChecked(const char*& p, std::string& group)
{
    const char* start = p;
    try {
        group = ReadGroup(p);
        return true;
    } catch (const EPoru& e) {
        Find(start, TSeverity::Error, e.Message, "この行で開いた「(」が閉じていません: " + LineText(start), "(");
        p = start + std::strlen(start);
        return false;
    }
}

// The particle after a literal. A word glued between two literals means that a
// quote inside the literal ended it early.
std::string TReader::ReadParticleAfterLiteral(const char*& p, const char* start, bool* broken)
{
    std::string particle = ReadWord(p);
    bool known = particle == "も";
    for (const std::string& pt : KnownParticles())
        known = known || particle == pt;
    if (!particle.empty() && IsQuote(*p) && !known) {
        Find(start, TSeverity::Warning,
             "文字列が途中で終わっています。「…」の中の「 」（または『 』）が文字列を閉じ、" + Quoted(particle) +
                 "は文字列の外の語になります。",
             "中に括弧を書くときは、外側を別の種類の括弧にします: 『…「" + particle + "」…』", particle);
        if (broken)
            *broken = true;
    }
    return particle;
}

void TReader::ReadConcatTail(const char*& p, std::string& phrase)
{
    SkipSpaces(p);
    if (*p != '&') {
        phrase += ReadWord(p);
        return;
    }
    while (*p == '&') {
        ++p;
        SkipBlanks(p);
        if (*p == '\r' || *p == '\n') {
            ReadLineMarker(p);
            SkipBlanks(p);
        }
        if (IsQuote(*p)) {
            const char* s = p;
            std::string lit;
            if (!ReadLiteralChecked(p, lit))
                return;
            phrase += "&" + lit;
            SkipSpaces(p);
            if (*p == '&')
                continue;
            phrase += ReadParticleAfterLiteral(p, s);
            return;
        }
        const char* s = p;
        std::string word = ReadWord(p);
        if (word.empty() && *p == '(') {
            std::string group;
            if (!ReadGroupChecked(p, group))
                return;
            word = "(" + group + ")" + ReadWord(p);
        } else if (!word.empty() && *p == '(') {
            std::string group;
            if (!ReadGroupChecked(p, group))
                return;
            CheckCall(word, group, s);
            word += "(" + group + ")" + ReadWord(p);
        }
        phrase += "&" + word;
        SkipSpaces(p);
    }
}

// The rest of the statement: literals and groups whole; "&" before a line break
// continues it on the next line.
std::string TReader::ReadToStatementEnd(const char*& p)
{
    std::string out;
    while (*p && *p != ';') {
        // Groups are taken whole below: a ")" here closes the open body (the
        // statement ends there, as it does when the program runs).
        if (*p == ')' && !bodies_.empty())
            break;
        if (*p == '\r' || *p == '\n') {
            size_t end = out.find_last_not_of(" \t,");
            if (end == std::string::npos || out[end] != '&')
                break;
            ReadLineMarker(p);
            continue;
        }
        if (IsQuote(*p)) {
            std::string lit;
            if (!ReadLiteralChecked(p, lit))
                break;
            out += lit;
            continue;
        }
        if (*p == '(') {
            std::string group;
            if (!ReadGroupChecked(p, group))
                break;
            out += "(" + group + ")";
            continue;
        }
        const size_t len = CharLen(p);
        out.append(p, len);
        p += len;
    }
    return out;
}

void TReader::Note(const TPhrase& ph)
{
    if (ph.Kind == TPhraseKind::Word) {
        facts_.Define(ph.Text);
        facts_.Define(Stem(ph.Text));
    } else if (ph.Kind == TPhraseKind::Literal) {
        size_t end = ph.Text.size() - ph.Particle.size();
        const std::string content = Unquote(ph.Text.substr(0, end));
        facts_.Define(content);
        if (!content.empty() && content.size() <= 64) {
            // A template and a name in one literal ("?を,見せる") names a word too.
            const char* c = content.c_str();
            while (*c) {
                const std::string part(TrimView(ReadUntil(c, ",")));
                facts_.Literals.insert(part);
                facts_.Literals.insert(FoldOkurigana(part));
                facts_.Define(part);
            }
            facts_.Literals.insert(content);
            facts_.Literals.insert(FoldOkurigana(content));
        }
    }
}

bool TReader::ReadPhrase(const char*& p, TPhrase& ph)
{
    ph = TPhrase{};
    ph.At = p;
    const unsigned char c = static_cast<unsigned char>(*p);
    if (IsQuote(*p)) {
        std::string lit;
        if (!ReadLiteralChecked(p, lit))
            return false;
        ph.Kind = TPhraseKind::Literal;
        ph.Text = lit;
        SkipSpaces(p);
        if (*p == '&') {
            ReadConcatTail(p, ph.Text);
            ph.Kind = TPhraseKind::Value;
        } else {
            ph.Particle = ReadParticleAfterLiteral(p, ph.At, &ph.Broken);
            ph.Text += ph.Particle;
        }
        return true;
    }
    if (c == '$' || c == '+' || c == '-' || (c >= '0' && c <= '9')) {
        ph.Kind = TPhraseKind::Number;
        ph.Text = ReadNumberLiteral(p);
        SkipSpaces(p);
        while (IsOperatorChar(static_cast<unsigned char>(*p))) {
            while (IsOperatorChar(static_cast<unsigned char>(*p)))
                ph.Text += *p++;
            SkipSpaces(p);
            if (*p == '(') {
                std::string group;
                if (!ReadGroupChecked(p, group))
                    return false;
                ph.Text += "(" + group + ")";
            } else {
                ph.Text += ReadNumberLiteral(p);
            }
            SkipSpaces(p);
        }
        if (!(*p == '\r' || *p == '\n' || *p == ',' || *p == ';' || static_cast<unsigned char>(*p) == 0xA4)) {
            ph.Particle = ReadWord(p);
            ph.Text += ph.Particle;
        }
        return true;
    }
    if (c == '(') {
        std::string group;
        if (!ReadGroupChecked(p, group))
            return false;
        CheckCallsIn(group, ph.At);
        ph.Kind = TPhraseKind::Group;
        ph.Particle = ReadWord(p);
        ph.Text = "(" + group + ")" + ph.Particle;
        return true;
    }
    ph.Text = ReadWord(p);
    if (ph.Text.empty()) {
        const std::string ch(1, static_cast<char>(c));
        std::string message = "\"" + ch + "\"は、文法が正しくないため、実行できません。";
        if (c == '&')
            message += "\"&\"は、文字列との連結に使います。";
        else if (IsOperatorChar(c))
            message += "\"" + ch + "\"は、計算式で使います。";
        Find(ph.At, TSeverity::Error, message, "", ch);
        ++p;
        return false;
    }
    return true;
}

void TReader::Run()
{
    const char* p = src_.Text.c_str();
    const char* const start = p;
    for (;;) {
        SkipBlanks(p);
        const char* at = p;
        const char c = *p;
        if (c == '\0') {
            EndSentence(at);
            break;
        }
        if (c == '\r' || c == '\n') {
            const bool goesOn = p > start && p[-1] == ',';
            ReadLineMarker(p);
            if (!goesOn)
                EndSentence(at);
            continue;
        }
        if (c == ';') {
            ++p;
            EndSentence(at);
            continue;
        }
        if (c == ')') {
            ++p;
            EndSentence(at);
            if (bodies_.empty())
                Find(at, TSeverity::Error, "\")\"は、文法が正しくないため、実行できません。",
                     "「(」を開いた行と、閉じる「)」の数を確かめてください。", ")");
            else
                bodies_.pop_back();
            continue;
        }
        if (c == '*') {
            while (!IsLineEnd(*p))
                ++p;
            continue;
        }
        if (c == '?') {
            ++p;
            ClearArgs();
            Body(p);
            continue;
        }
        if (c == '#') {
            // An index of the phrase before it.
            TPhrase prev;
            if (!args_.empty()) {
                prev = args_.back();
                args_.pop_back();
            }
            ++p;
            std::string index;
            for (int k = 0; k < 2; ++k) {
                if (*p == '(') {
                    std::string group;
                    if (!ReadGroupChecked(p, group))
                        break;
                    index += "(" + group + ")";
                } else {
                    index += ReadWord(p);
                }
                SkipSpaces(p);
                if (k == 0 && *p == '#') {
                    index += "#";
                    ++p;
                } else {
                    break;
                }
            }
            TPhrase ph;
            ph.At = prev.At ? prev.At : at;
            ph.Kind = TPhraseKind::Value;
            ph.Text = prev.Text + "#" + index;
            if (!IsWordTerminator(static_cast<unsigned char>(*p)) && !IsLineEnd(*p))
                ph.Text += ReadWord(p);
            args_.push_back(ph);
            continue;
        }
        TPhrase ph;
        if (!ReadPhrase(p, ph))
            continue;
        if (ph.Kind == TPhraseKind::Word && ph.Text == "そして") {
            EndSentence(at);
            continue;
        }
        const char* after = p;
        const char* q = p;
        SkipBlanks(q);
        if (*q == '=') {
            p = q + 1;
            Assign(ph, p);
            continue;
        }
        if (*q == '&' && ph.Kind == TPhraseKind::Word) {
            p = q;
            ReadConcatTail(p, ph.Text);
            ph.Kind = TPhraseKind::Value;
            args_.push_back(ph);
            continue;
        }
        if (EndsWithSjis(ph.Text, "の")) {
            args_.push_back(ph);
            continue;
        }
        if (EndsWithSjis(ph.Text, "は")) {
            ph.Text.resize(ph.Text.size() - std::strlen("は"));
            Assign(ph, p);
            continue;
        }
        if (EndsWithSjis(ph.Text, "回")) {
            ClearArgs();
            Body(p);
            continue;
        }
        if (EndsWithSjis(ph.Text, "の時")) {
            ClearArgs();
            Body(p);
            continue;
        }
        if (ph.Kind != TPhraseKind::Word) {
            args_.push_back(ph);
            continue;
        }
        const THashNode* node = FindBuiltin(ph.Text);
        const std::string folded = FoldOkurigana(ph.Text);
        if (EndsWithSjis(ph.Text, "て") && facts_.MaybeCallable(ph.Text)) {
            if (*after == '(') {
                std::string group;
                if (ReadGroupChecked(p, group))
                    CheckCall(ph.Text, group, at);
            } else {
                CheckCommand(ph, args_);
            }
            ClearArgs();
            continue;
        }
        if (ph.Text == "もし") {
            ClearArgs();
            Condition(p, at);
            continue;
        }
        if (folded == "繰返" || folded == "反復" || folded == "ループ") {
            CheckCommand(ph, args_);
            ClearArgs();
            Body(p);
            continue;
        }
        if (node && node->Kind == wkCommand &&
            (folded == "ならば" || folded == "なら" || folded == "違" || folded == "でなければ")) {
            ClearArgs();
            Body(p);
            continue;
        }
        if (*q == '(' && (IsCallable(node) || facts_.IsLabel(ph.Text))) {
            if (q != after)
                Find(at, TSeverity::Error,
                     "関数\"" + ph.Text + "\"の呼び出しで、引数の()は、すぐ後ろに書いてください。", ph.Text + "(…)",
                     ph.Text);
            p = q;
            std::string group;
            if (!ReadGroupChecked(p, group))
                continue;
            CheckCall(ph.Text, group, at);
            SkipSpaces(p);
            if (IsLineEnd(*p) || *p == ';')
                continue;
            TPhrase value;
            value.At = at;
            value.Kind = TPhraseKind::Value;
            value.Text = ph.Text + "(" + group + ")";
            if (*p != '#')
                value.Text += ReadWord(p);
            args_.push_back(value);
            continue;
        }
        args_.push_back(ph);
    }
    if (!bodies_.empty()) {
        const char* open = bodies_.back();
        Find(open, TSeverity::Error, "\")\"が対応していません。",
             "この行で開いた「(」が閉じていません: " + LineText(open), "(");
    }
}

void TReader::Body(const char*& p)
{
    SkipBlanks(p);
    if (*p == '\r' || *p == '\n') {
        ReadLineMarker(p);
        SkipBlanks(p);
    }
    if (*p == '(') {
        bodies_.push_back(p);
        ++p;
    }
}

void TReader::EndSentence(const char* at)
{
    (void)at;
    if (args_.empty())
        return;
    TPhrase word = args_.back();
    args_.pop_back();
    std::vector<TPhrase> args;
    args.swap(args_);
    for (const TPhrase& a : args)
        Note(a);
    if (word.Kind == TPhraseKind::Literal && !word.Particle.empty()) {
        // 「…」を表示: a particle and a command written together.
        for (const std::string& particle : KnownParticles()) {
            if (word.Particle.compare(0, particle.size(), particle) != 0 || word.Particle.size() == particle.size())
                continue;
            const std::string command = word.Particle.substr(particle.size());
            if (IsCallable(FindBuiltin(command)) || facts_.IsLabel(command)) {
                const std::string value = word.Text.substr(0, word.Text.size() - word.Particle.size());
                Find(word.At, TSeverity::Error,
                     "\"" + word.Text + "\"は未定義の命令です。(;o;)<綴りミスか、命令の引数に注意！",
                     "助詞と命令の間に「、」が要ります: " + WrittenForm(value) + particle + "、" + command, command);
                return;
            }
        }
        return;
    }
    if (word.Kind != TPhraseKind::Word)
        return;
    CheckCommand(word, args);
}

void TReader::CheckCommand(const TPhrase& word, std::vector<TPhrase>& args)
{
    const THashNode* node = FindBuiltin(word.Text);
    if (node && node->Kind == wkCommand) {
        CheckOkurigana(word);
        if (options_.Console && IsWindowOnlyCommand(node)) {
            Find(word.At, TSeverity::Error,
                 "\"" + word.Text + "\"は、ウィンドウが要る命令なので、端末（porukana-cli）では使えません。",
                 "ウィンドウで実行してください: porukana ファイル.prk", word.Text);
        }
        if (node->Id == static_cast<int>(Cmd::DefineFunction))
            CheckFunctionDefinition(args);
        if (node->Id == static_cast<int>(Cmd::Include)) {
            if (args.size() == 1 && args[0].Kind == TPhraseKind::Literal)
                facts_.Includes.push_back(
                    Unquote(args[0].Text.substr(0, args[0].Text.size() - args[0].Particle.size())));
            else
                facts_.Incomplete = true;
        }
        CheckLabelName(node, word, args);
        CheckParticles(node, word, args);
        return;
    }
    if (node)
        return;   // variables, constants, DLL functions: their own errors at run time
    if (facts_.IsLabel(word.Text)) {
        if (!args.empty() && !facts_.FunctionsUnknown && !facts_.FunctionLabels.count(word.Text)) {
            Find(word.At, TSeverity::Error,
                 "ラベル\"" + word.Text + "\"は関数定義されていないので、引数を受け取れません。",
                 "先に書式を付けます: 「" + word.Text + "」を、「?と,?を」で、関数定義", word.Text);
        }
        return;
    }
    for (const char* event : kEventNames)
        if (word.Text == event)
            return;
    if (facts_.IsDefined(word.Text) || facts_.Incomplete)
        return;
    if (!report_)
        return;
    std::string message = "\"";
    for (const TPhrase& a : args)
        message += a.Text + ",";
    message += word.Text + "\"は未定義の命令です。(;o;)<綴りミスか、命令の引数に注意！";
    std::string hint;
    const std::vector<std::string> near = NearestNames(word.Text, facts_.LabelNames());
    for (const std::string& n : near)
        hint += (hint.empty() ? "近い名前: " : "、") + Quoted(n);
    if (hint.empty())
        hint = "命令・ラベル・変数のどれでもありません。綴りと、助詞の後の「、」を確かめてください。";
    Find(word.At, TSeverity::Error, message, hint, word.Text);
}

// A command found only by folding away okurigana that no form of it has (表示すろ,
// 置換え) runs, but is most likely a typo.
void TReader::CheckOkurigana(const TPhrase& word)
{
    const std::string folded = FoldOkurigana(word.Text);
    if (folded == word.Text)
        return;
    static const char* const kSuru[] = {"する",     "して",   "します", "した",   "しない",   "しろ",       "せよ",
                                        "しなさい", "すれば", "したら", "しても", "している", "しています", "さ"};
    std::string forms;
    size_t count = 0;
    const CommandRow* rows = CommandRows(count);
    for (size_t i = 0; i < count; ++i) {
        const std::string name = rows[i].name;
        if (FoldOkurigana(name) != folded)
            continue;
        if (name.size() < folded.size() || name.compare(0, folded.size(), folded) != 0)
            return;   // written otherwise than its folded form: not judged
        const std::string nameTail = name.substr(folded.size());
        if (!nameTail.empty() || word.Text == name)
            return;   // a verb with okurigana of its own conjugates freely
        const std::string tail = word.Text.substr(folded.size());
        for (const char* s : kSuru)
            if (tail == s)
                return;
        forms = name;
    }
    if (forms.empty())
        return;
    Find(word.At, TSeverity::Warning,
         "\"" + word.Text + "\"は、送り仮名を除いた\"" + forms + "\"として実行されます。送り仮名\"" +
             word.Text.substr(folded.size()) + "\"は、この命令の形ではありません。",
         "綴りを確かめてください: " + forms + "する、" + forms + "して", word.Text);
}

void TReader::CheckFunctionDefinition(const std::vector<TPhrase>& args)
{
    bool named = false;
    for (const TPhrase& a : args) {
        if (a.Kind == TPhraseKind::Literal && EndsWithSjis(a.Text, "を")) {
            const std::string name = Unquote(a.Text.substr(0, a.Text.size() - a.Particle.size()));
            facts_.FunctionLabels.insert(name);
            named = true;
        }
    }
    if (!named)
        facts_.FunctionsUnknown = true;
}

void TReader::CheckLabelName(const THashNode* node, const TPhrase& word, const std::vector<TPhrase>& args)
{
    const bool jump = node->Id == static_cast<int>(Cmd::Jump);
    if (!jump && node->Id != static_cast<int>(Cmd::Call) && node->Id != static_cast<int>(Cmd::ErrorLabel))
        return;
    if (args.size() != 1 || args[0].Kind != TPhraseKind::Word)
        return;
    const std::vector<std::string> slots = TemplateSlots(node->ArgSpec);
    std::string name = args[0].Text;
    if (!slots.empty() && EndsWithSjis(name, slots[0]))
        name.resize(name.size() - slots[0].size());
    else if (EndsWithSjis(name, "へ") || EndsWithSjis(name, "に") || EndsWithSjis(name, "を"))
        name.resize(name.size() - std::strlen("へ"));
    if (name.empty() || facts_.Labels.count(name) || facts_.Incomplete)
        return;
    std::string hint = "ラベルは行の初めに「*" + name + "」と書きます。";
    const std::vector<std::string> near = NearestNames(name, facts_.LabelNames());
    for (const std::string& n : near)
        if (facts_.Labels.count(n)) {
            hint = "近いラベル: *" + n;
            break;
        }
    (void)word;
    Find(args[0].At, TSeverity::Error, "未定義のラベル\"" + name + "\"に、ジャンプしようとしました。", hint, name);
}

void TReader::CheckParticles(const THashNode* node, const TPhrase& word, std::vector<TPhrase>& args)
{
    // Phrases read as values of other commands, and owner phrases ending in の,
    // bind at run time in ways the template alone does not tell.
    for (const TPhrase& a : args) {
        if (EndsWithSjis(a.Text, "の") || a.Broken)
            return;
        if (a.Kind == TPhraseKind::Word) {
            const std::string stem = Stem(a.Text);
            if (facts_.MaybeCallable(stem) || facts_.MaybeCallable(a.Text))
                return;
        }
    }
    const std::vector<std::string> slots = TemplateSlots(node->ArgSpec);
    std::vector<std::string> entries;
    for (const TPhrase& a : args)
        entries.push_back(a.Text);
    if (slots.size() == entries.size() + 1)
        entries.insert(entries.begin(), "それ" + slots[0]);
    const std::string form = slots.empty() ? std::string("引数なし") : "\"" + node->ArgSpec + "\"";
    if (entries.size() < slots.size()) {
        Find(word.At, TSeverity::Error,
             "\"" + word.Text + "\"命令の引数に誤りがあります。" + form +
                 "の形式で指定してください。引数が少ないです。",
             "書式: " + node->ArgSpec + " " + word.Text, word.Text);
        return;
    }
    for (size_t k = slots.size(); k-- > 0;) {
        bool taken = false;
        for (size_t i = entries.size(); i-- > 0;) {
            if (SlotAccepts(slots[k], entries[i])) {
                entries.erase(entries.begin() + static_cast<std::ptrdiff_t>(i));
                taken = true;
                break;
            }
        }
        if (!taken) {
            Find(word.At, TSeverity::Error,
                 "\"" + word.Text + "\"命令の引数に誤りがあります。" + form + "の形式で指定してください。\"" +
                     slots[k] + "\"",
                 "書式: " + node->ArgSpec + " " + word.Text + "（「" + slots[k] + "」の付いた語句がありません）",
                 word.Text);
            return;
        }
    }
    if (!entries.empty() && !slots.empty()) {
        std::string rest;
        for (const std::string& e : entries)
            rest += (rest.empty() ? "" : ",") + e;
        Find(word.At, TSeverity::Warning,
             "\"" + word.Text + "\"命令の引数に誤りがあります。引数が多いです。\"" + rest + "\"",
             "書式: " + node->ArgSpec + " " + word.Text + "（どの助詞にも当たらない語句があります）", word.Text);
    }
}

void TReader::Assign(const TPhrase& left, const char*& p)
{
    const char* at = left.At;
    const bool member = !args_.empty();
    ClearArgs();
    if (!member && left.Kind == TPhraseKind::Literal) {
        Find(at, TSeverity::Error, "\"" + left.Text + "の代入文\"は、文法が正しくないため、実行できません。",
             "『変数名は、「内容」』のように書いてください。");
    }
    std::string name = left.Text;
    const size_t hash = name.find('#');
    if (hash != std::string::npos)
        name.resize(hash);
    facts_.Define(name);
    const std::string right = ReadToStatementEnd(p);
    CheckRightSide(name, right, at);
}

void TReader::CheckRightSide(const std::string& left, const std::string& right, const char* at)
{
    CheckCallsIn(right, at);
    // The phrases of the right side, split at blanks outside literals and groups.
    std::vector<std::string> parts;
    const char* p = right.c_str();
    std::string part;
    while (*p) {
        if (IsBlank(static_cast<unsigned char>(*p))) {
            if (!part.empty())
                parts.push_back(part);
            part.clear();
            ++p;
            continue;
        }
        if (IsQuote(*p) || *p == '(') {
            if (!CopyLiteralOrGroup(p, part))
                return;
            continue;
        }
        const size_t len = CharLen(p);
        part.append(p, len);
        p += len;
    }
    if (!part.empty())
        parts.push_back(part);
    if (parts.size() < 2)
        return;
    const std::string& last = parts.back();
    // The last phrase, or its end after a particle, is a command word.
    std::string command;
    for (size_t i = 0; i < last.size(); i += CharLenAt(last, i)) {
        const std::string tail = last.substr(i);
        const std::string head = last.substr(0, i);
        if (i > 0) {
            bool particle = false;
            for (const std::string& pt : KnownParticles())
                if (EndsWithSjis(head, pt) && head.size() > pt.size())
                    particle = true;
            if (!particle)
                continue;
        }
        const THashNode* n = FindBuiltin(tail);
        if ((n && n->Kind == wkCommand && !n->ArgSpec.empty()) || facts_.FunctionLabels.count(tail)) {
            command = tail;
            break;
        }
    }
    if (command.empty())
        return;
    std::string sentence;
    for (const std::string& s : parts)
        sentence += (sentence.empty() ? "" : "、") + s;
    Find(at, TSeverity::Warning,
         "\"=\"の右側が命令\"" + command + "\"で終わる文になっています。右側は値として読まれ、命令は実行されません。",
         "文を先に実行して、結果のそれを代入します: " + WrittenForm(sentence) + "。" + left + "=それ", left);
}

// name(arguments) inside a text: an owner phrase among the arguments and an index
// after the call are silently not applied.
void TReader::CheckCall(const std::string& name, const std::string& inside, const char* at)
{
    const char* p = inside.c_str();
    std::vector<std::string> arguments;
    std::string arg;
    while (*p) {
        if (IsQuote(*p) || *p == '(') {
            if (!CopyLiteralOrGroup(p, arg))
                return;
            continue;
        }
        if (*p == ',') {
            arguments.push_back(std::string(TrimView(arg)));
            arg.clear();
            ++p;
            continue;
        }
        const size_t len = CharLen(p);
        arg.append(p, len);
        p += len;
    }
    arguments.push_back(std::string(TrimView(arg)));
    for (size_t i = 0; i + 1 < arguments.size(); ++i) {
        const std::string& a = arguments[i];
        if (a.empty() || IsQuote(a.front()) || !EndsWithSjis(a, "の"))
            continue;
        const std::string owner = a.substr(0, a.size() - std::strlen("の"));
        Find(at, TSeverity::Warning,
             "\"" + name + "(…)\"の中の\"" + a + "、" + arguments[i + 1] + "\"は、" + Quoted(owner) + "の" +
                 Quoted(arguments[i + 1]) + "としては読まれず、別々の引数になります。",
             WrittenForm("先に値を取り出します: X=" + a + "、" + arguments[i + 1] + "。" + name + "(X)"), a);
    }
    if (facts_.IsLabel(name) && !FindBuiltin(name) && !inside.empty() && !facts_.FunctionsUnknown &&
        !facts_.FunctionLabels.count(name)) {
        Find(at, TSeverity::Error, "ラベル\"" + name + "\"は関数定義されていないので、引数を受け取れません。",
             "先に書式を付けます: 「" + name + "」を、「?と,?を」で、関数定義", name);
    }
    CheckCallsIn(inside, at);
}

void TReader::CheckCallsIn(const std::string& text, const char* at)
{
    // Calls nested deeper than any program writes them are not looked into.
    if (depth_ >= 64)
        return;
    struct TDepth {
        int& d;
        explicit TDepth(int& depth) : d(depth) { ++d; }
        ~TDepth() { --d; }
    } depth(depth_);
    const char* p = text.c_str();
    while (*p) {
        if (IsQuote(*p)) {
            try {
                ReadLiteral(p);
            } catch (...) {
                return;
            }
            continue;
        }
        const std::string word = ReadWord(p);
        if (word.empty()) {
            if (*p == '(') {
                try {
                    CheckCallsIn(ReadGroup(p), at);
                } catch (...) {
                    return;
                }
                continue;
            }
            if (*p)
                ++p;
            continue;
        }
        if (*p != '(')
            continue;
        const THashNode* node = FindBuiltin(word);
        std::string inside;
        try {
            inside = ReadGroup(p);
        } catch (...) {
            return;
        }
        if (!IsCallable(node) && !facts_.IsLabel(word)) {
            CheckCallsIn(inside, at);
            continue;
        }
        CheckCall(word, inside, at);
        if (*p == '#') {
            Find(at, TSeverity::Warning,
                 "\"" + word + "(…)\"の後の\"#\"は働きません。呼び出しの結果に番号は付けられません。",
                 WrittenForm("結果を変数に入れてから番号を付けます: X=" + word + "(" + inside + ")。X#…"), word);
        }
    }
}

// After a branch taken at `at` (a condition word), is there a further 違えば? Then
// a condition ended by an else word has two else branches.
bool ElseFollows(const char* at)
{
    const char* p = at;
    ReadWord(p);
    SkipSeparators(p);
    if (*p == '(') {
        try {
            ReadGroup(p);
        } catch (...) {
            return false;
        }
    } else {
        while (*p && *p != '\r' && *p != '\n') {
            if (IsQuote(*p)) {
                try {
                    ReadLiteral(p);
                } catch (...) {
                    return false;
                }
                continue;
            }
            if (StartsWith(p, "違") || StartsWith(p, "でなければ"))
                return true;
            p += CharLen(p);
        }
    }
    for (;;) {
        while (*p == ' ' || *p == '\t' || *p == ',' || *p == ';' || *p == '\r' || *p == '\n' ||
               (*p >= '0' && *p <= '9') || *p == ':')
            ++p;
        return StartsWith(p, "違") || StartsWith(p, "でなければ");
    }
}

// もし: the condition runs up to the first ならば, なら, 違 or でなければ, wherever it
// stands, even inside a word.
void TReader::Condition(const char*& p, const char* at)
{
    const char* q = p;
    const char* stop = nullptr;
    const char* kw = nullptr;
    static const char* const kWords[] = {"ならば", "なら", "違", "でなければ"};
    for (;;) {
        for (const char* w : kWords)
            if (StartsWith(q, w)) {
                kw = w;
                break;
            }
        if (kw) {
            stop = q;
            break;
        }
        if (*q == '\0' || *q == '\r' || *q == '\n') {
            const char* r = q;
            if (*r) {
                ReadLineMarker(r);
                SkipBlanks(r);
                for (const char* w : kWords)
                    if (StartsWith(r, w)) {
                        kw = w;
                        break;
                    }
            }
            if (kw) {
                stop = r;
                break;
            }
            Find(at, TSeverity::Error, "条件分岐の終端文字を認識できませんでした。",
                 "条件の後に「ならば」を書きます: もし、AがBならば、…", "もし");
            p = q;
            return;
        }
        q += CharLen(q);
    }
    // The word that holds the condition word.
    const char* w0 = stop;
    while (w0 > p && !IsWordTerminator(static_cast<unsigned char>(w0[-1])) && w0[-1] != '\n' && w0[-1] != '\r' &&
           w0[-1] != ':')
        --w0;
    const char* r = w0;
    const std::string word = ReadWord(r);
    const char* t = stop;
    const std::string tail = ReadWord(t);
    const std::string k = kw;
    const bool keywordForm =
        (k == "ならば" || k == "なら")
            ? (tail == "ならば" || tail == "なら")
            : (k == "違" ? (tail == "違えば" || tail == "違う" || tail == "違") : tail == "でなければ");
    if (!keywordForm) {
        p = r;
        Body(p);
        Find(stop, TSeverity::Warning,
             "\"" + word + "\"の中の\"" + k +
                 "\"で条件が終わります。「もし」の条件は、最初に現れる「ならば・なら・違・でなければ」までです。",
             "名前を変えるか（" + Quoted(word) + "→別の名前）、条件を「(」「)」で囲みます", word);
        return;
    } else if ((k == "違" || k == "でなければ") && ElseFollows(stop)) {
        Find(stop, TSeverity::Warning,
             "「もし」の条件が\"" + word + "\"で終わっています。\"" + tail +
                 "\"は「違えば」と同じ意味の語なので、後の「違えば」の側は、条件が成り立つときにも実行されません。",
             "条件を「ならば」で終えます: もし、A≠Bならば、…。違えば、…", tail);
    }
    p = stop;
}

}   // namespace

void ReadSentences(const TCheckSource& src, TProgramFacts& facts, const TCheckOptions& options, bool report,
                   std::vector<TDiagnostic>& out)
{
    if (!src.Ok)
        return;
    TReader reader(src, facts, options, report, out);
    reader.Run();
}
