// Library-function words: the declaration commands DLL宣言, 文字型DLL宣言 and
// DLLを利用, the state's list of loaded libraries, and the call of such a word:
// argument collection, conversion by type letters and the reading of the result.
#include "interp/dll.h"

#include <dlfcn.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <new>

#include "core/codec.h"
#include "core/hash.h"
#include "core/paths.h"
#include "core/sjis.h"
#include "core/text.h"
#include "interp/builtins.h"
#include "interp/interp.h"
#include "interp/read_path.h"

namespace {

// The libraries the declarations loaded, one record per successful declaration
// (the same library declared twice is held twice); released with the state.
struct TDllLibraries {
    std::vector<void*> Handles;
    TDllLibraries() = default;
    TDllLibraries(const TDllLibraries&) = delete;
    TDllLibraries& operator=(const TDllLibraries&) = delete;
    ~TDllLibraries()
    {
        for (auto it = Handles.rbegin(); it != Handles.rend(); ++it)
            dlclose(*it);
    }
};

// Text parameters are passed in buffers at least this large, zeroed, so that a
// function that fills a conventional buffer cannot write past the copy.
constexpr size_t kArgumentSlack = 4096;
// The text-parameter forms pass at most this many parameters.
constexpr size_t kMaxTextParameters = 5;

bool IsBlank(char c)
{
    return c == ' ' || c == '\t';
}

std::string WithoutBlanks(std::string_view text)
{
    std::string out;
    for (char c : text)
        if (!IsBlank(c))
            out += c;
    return out;
}

std::string_view TrimBlanks(std::string_view text)
{
    while (!text.empty() && IsBlank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && IsBlank(text.back()))
        text.remove_suffix(1);
    return text;
}

// Splits "name(inside)" at its first "(": the text before it, and the text after it
// with one ")" at its very end removed. Without "(" the whole text is the head.
void SplitAtParenthesis(std::string_view text, std::string& head, std::string& inside)
{
    size_t open = text.find('(');
    if (open == std::string_view::npos) {
        head.assign(text);
        inside.clear();
        return;
    }
    head.assign(text.substr(0, open));
    std::string_view rest = text.substr(open + 1);
    if (!rest.empty() && rest.back() == ')')
        rest.remove_suffix(1);
    inside.assign(rest);
}

size_t CountQuestionMarks(std::string_view templ)
{
    size_t n = 0;
    for (char c : templ)
        if (c == '?')
            ++n;
    return n;
}

std::string Normalised(TPoruBase& st, std::string text)
{
    st.NormaliseOrRaise(text);
    return text;
}

// Loads a library by its script name: a path with a separator as given; a bare name
// from the script's folder, the executable's folder, the current folder, and at
// last through the system's own search. Nil when nothing loads.
void* LoadSharedLibrary(TPoruBase& st, const std::string& file)
{
    const std::string native = ToNativePath(file);
    if (native.empty())
        return nullptr;
    const int mode = RTLD_NOW | RTLD_LOCAL;
    if (native.find('/') != std::string::npos)
        return dlopen(native.c_str(), mode);
    if (st.StartFolder.empty())
        CommandLineText(st);
    const std::string folders[] = {st.StartFolder, PathFolderPart(st.ExePath), CurrentFolderValue()};
    for (const std::string& folder : folders) {
        if (folder.empty())
            continue;
        std::string candidate = ToNativePath(folder);
        if (candidate.back() != '/')
            candidate += '/';
        candidate += native;
        if (!IsRegularFile(candidate))
            continue;
        if (void* h = dlopen(candidate.c_str(), mode))
            return h;
    }
    return dlopen(native.c_str(), mode);
}

TLibraryGate gLibraryGate = nullptr;

bool LibraryAllowed(TPoruBase& st)
{
    return gLibraryGate ? gLibraryGate(st) : st.SecurityLevel < 2;
}

[[noreturn]] void DeclarationError(TPoruBase& st)
{
    st.ArgError(RunningCommandName(st), {});
}

// Loads the library, finds the function and adds the word (replacing a word of the
// same name). On any failure the library is released again and the word table and
// the library list stay as they were.
void DeclareWord(TPoruBase& st, const std::string& file, const std::string& function, const std::string& name,
                 const std::string& templ, const std::string& form)
{
    if (name.empty())
        DeclarationError(st);
    if (!LibraryAllowed(st))
        st.Error("セキュリティレベルが「高」なので、" + RunningCommandName(st) + "で外部DLL\"" + file + "\"の関数\"" +
                 function + "\"は使えません。");
    void* handle = LoadSharedLibrary(st, file);
    if (!handle)
        st.Error("DLL\"" + file + "\"が見つかりません。");
    dlerror();
    void* fn = function.empty() ? nullptr : dlsym(handle, function.c_str());
    if (!fn) {
        dlclose(handle);
        st.Error("DLL\"" + file + "\"の関数\"" + function + "\"が見つかりません。");
    }
    if (THashNode* old = st.Words.FindExact(name); old && old->Reserved) {
        dlclose(handle);
        st.Error("\"" + name + "\"は予約語なので、登録できません。");
    }
    TDllLibraries& libraries = st.Ext<TDllLibraries>();
    libraries.Handles.reserve(libraries.Handles.size() + 1);   // no failure after Add
    auto* node = new THashNode(name, templ, form, "\"" + file + "\"" + function,
                               static_cast<int32_t>(libraries.Handles.size()), wkDllFunc, fn, false);
    st.Words.Add(node);
    libraries.Handles.push_back(handle);
}

// DLL宣言 / 文字型DLL宣言: library の, function(template) を, new name で.
void DeclareDll(TPoruBase& st, bool textResult)
{
    std::string name = Normalised(st, st.PopText());
    std::string declaration = Normalised(st, st.PopText());
    std::string file = st.PopText();
    std::string head, templ;
    SplitAtParenthesis(declaration, head, templ);
    DeclareWord(st, file, std::string(TrimBlanks(head)), name, templ, textResult ? "P" : "");
}

void cmdDeclareDll(TPoruBase& st)
{
    DeclareDll(st, false);
}

void cmdDeclareTextDll(TPoruBase& st)
{
    DeclareDll(st, true);
}

// DLLを利用: library の, prototype を, template の, new name として.
void cmdDeclareTypedDll(TPoruBase& st)
{
    std::string name = Normalised(st, st.PopText());
    std::string templ = Normalised(st, st.PopText());
    std::string prototype = Normalised(st, st.PopText());
    std::string file = st.PopText();
    TDllPrototype proto = ParsePrototype(prototype);
    size_t passed = 0;
    for (char c : proto.Params)
        if (c != 'v')
            ++passed;
    if (!proto.Valid || CountQuestionMarks(templ) != passed)
        DeclarationError(st);
    DeclareWord(st, file, proto.Function, name, templ, "=" + std::string(1, proto.Return) + proto.Params);
}

HandlerRegistrar reg({
    {Cmd::DeclareDll, cmdDeclareDll},
    {Cmd::DeclareTextDll, cmdDeclareTextDll},
    {Cmd::DeclareTypedDll, cmdDeclareTypedDll},
});

// ---- the call ----------------------------------------------------------------------

// The call's own NUL-terminated copies of the text arguments, with slack.
struct TArgumentCopies {
    std::vector<char*> Buffers;
    TArgumentCopies() = default;
    TArgumentCopies(const TArgumentCopies&) = delete;
    TArgumentCopies& operator=(const TArgumentCopies&) = delete;
    ~TArgumentCopies()
    {
        for (char* b : Buffers)
            std::free(b);
    }
    char* Add(const std::string& text)
    {
        const size_t size = text.size() + 1 > kArgumentSlack ? text.size() + 1 : kArgumentSlack;
        Buffers.reserve(Buffers.size() + 1);
        char* b = static_cast<char*>(std::calloc(size, 1));
        if (!b)
            throw std::bad_alloc();
        std::memcpy(b, text.data(), text.size());
        Buffers.push_back(b);
        return b;
    }
};

[[noreturn]] void CallFailed(TPoruBase& st, const THashNode* node)
{
    st.Error("外部DLLからの関数\"" + node->Name + "\"の呼び出しに失敗しました。");
}

// The text at a returned address (copied; the function's memory stays its own).
bool ReadResultText(uint64_t raw, std::string& out)
{
    const char* p = reinterpret_cast<const char*>(static_cast<uintptr_t>(raw));
    if (!p) {
        out.clear();
        return true;
    }
    size_t length = 0;
    if (!GuardedTextLength(p, length))
        return false;
    out.assign(p, length);
    return true;
}

TForeignType ParameterType(char letter)
{
    switch (letter) {
    case 'p':
        return TForeignType::Pointer;
    case 'w':
    case 'd':
        return TForeignType::UInt32;
    case 'i':
    case 'b':
        return TForeignType::SInt32;
    default:
        return TForeignType::Void;
    }
}

// DLL宣言 and 文字型DLL宣言: every argument by the address of its text.
void CallTextDll(TPoruBase& st, THashNode* node, const std::vector<std::string>& args, bool textResult)
{
    if (args.size() > kMaxTextParameters)
        st.Error("DLLからインポートした命令\"" + node->Name + "\"の定義が間違っています。");
    TArgumentCopies copies;
    std::vector<TForeignType> types(args.size(), TForeignType::Pointer);
    std::vector<TForeignSlot> values(args.size());
    for (size_t k = 0; k < args.size(); ++k)
        values[k].Pointer = copies.Add(args[k]);
    uint64_t raw = 0;
    if (!CallForeign(node->Payload, textResult ? TForeignType::Pointer : TForeignType::SInt32, types, values, raw))
        CallFailed(st, node);
    if (!textResult) {
        st.SetSore(DllNumberText('i', raw), "e");
        return;
    }
    std::string text;
    if (!ReadResultText(raw, text))
        CallFailed(st, node);
    st.SetSore(std::move(text), "s");
}

// DLLを利用: parameters converted by their letters, the result by the return letter.
void CallTypedDll(TPoruBase& st, THashNode* node, const std::vector<std::string>& args)
{
    std::string_view letters(node->Value);
    letters.remove_prefix(1);   // "="
    const char ret = letters.empty() ? 'v' : letters.front();
    std::string_view params = letters.empty() ? letters : letters.substr(1);
    bool onlyVoid = true;
    for (char c : params)
        if (c != 'v')
            onlyVoid = false;
    if (onlyVoid)
        params = std::string_view();
    if (params.size() > args.size())
        CallFailed(st, node);

    TArgumentCopies copies;
    std::vector<TForeignType> types;
    std::vector<TForeignSlot> values;
    for (size_t k = 0; k < params.size(); ++k) {
        const char letter = params[k];
        if (letter == 'v')
            continue;
        TForeignSlot slot{};
        if (letter == 'p') {
            slot.Pointer = copies.Add(args[k]);
        } else if (!ConvertDllArgument(letter, args[k], slot.UInt32)) {
            CallFailed(st, node);
        }
        types.push_back(ParameterType(letter));
        values.push_back(slot);
    }
    TForeignType retType = ret == 'v' ? TForeignType::Void : ParameterType(ret);
    uint64_t raw = 0;
    if (!CallForeign(node->Payload, retType, types, values, raw))
        CallFailed(st, node);
    std::string text;
    if (ret == 'p') {
        if (!ReadResultText(raw, text))
            CallFailed(st, node);
        st.SetSore(std::move(text), "s");
        return;
    }
    if (ret != 'v')
        text = DllNumberText(ret, raw);
    st.SetSore(std::move(text), "e");
}

// An entry "stemの member" whose stem is a variable, object or hash: the member's
// value. ReadValue takes a member only after a word that ends in の, so the
// entry is read again with a blank after the の.
bool MemberValue(TPoruBase& st, std::string_view entry, std::string& value)
{
    for (size_t i = 0; i + 2 < entry.size(); i += CharLen(entry.data() + i)) {
        if (entry.compare(i, 2, "の") != 0)
            continue;
        const THashNode* n = st.Words.FindExact(entry.substr(0, i));
        if (!n || (n->Kind != wkVariable && n->Kind != wkObject && n->Kind != wkHash))
            continue;
        std::string text(entry.substr(0, i + 2));
        text += ' ';
        text += entry.substr(i + 2);
        const char* q = text.c_str();
        value = st.ReadValue(q);
        return true;
    }
    return false;
}

std::string ArgumentText(TPoruBase& st, const std::string& entry)
{
    if (st.Words.FindExact(entry)) {
        const char* q = entry.c_str();
        return st.ReadValue(q);
    }
    if (std::string v; MemberValue(st, entry, v))
        return v;
    if (entry.size() >= 2 &&
        ((entry.front() == '"' && entry.back() == '"') || (entry.front() == '`' && entry.back() == '`')))
        return st.EvaluateValue(entry);
    return entry;
}

}   // namespace

// ---- exposed parts -------------------------------------------------------------------

void SetLibraryGate(TLibraryGate gate)
{
    gLibraryGate = gate;
}

std::string TypeLetter(std::string_view typeName)
{
    const std::string t = LowerAsciiSjis(typeName);
    if (t == "void")
        return "v";
    if (t == "char*")
        return "p";
    if (t == "word")
        return "w";
    if (t == "dword")
        return "d";
    if (t == "bool")
        return "b";
    if (t == "int")
        return "i";
    return std::string();
}

TDllPrototype ParsePrototype(std::string_view prototype)
{
    TDllPrototype r;
    std::string head, list;
    SplitAtParenthesis(prototype, head, list);
    bool valid = true;
    std::string_view rest(list);
    while (!rest.empty()) {
        size_t comma = rest.find(',');
        std::string item = WithoutBlanks(rest.substr(0, comma));
        rest = comma == std::string_view::npos ? std::string_view() : rest.substr(comma + 1);
        if (item.empty())
            break;
        std::string letter = TypeLetter(item);
        if (letter.empty())
            valid = false;
        r.Params += letter;
    }
    std::string_view h = TrimBlanks(head);
    size_t blank = h.find_first_of(" \t");
    if (blank == std::string_view::npos) {
        r.Return = 'v';
        r.Function.assign(h);
    } else {
        std::string letter = TypeLetter(h.substr(0, blank));
        if (letter.empty())
            valid = false;
        r.Return = letter.empty() ? 'v' : letter[0];
        r.Function.assign(TrimBlanks(h.substr(blank + 1)));
    }
    r.Valid = valid && !r.Function.empty();
    return r;
}

bool ConvertDllArgument(char letter, std::string_view text, uint32_t& slot)
{
    long double v;
    try {
        v = std::trunc(ToNumber(text));
    } catch (const EPoru&) {
        return false;   // no number a 32-bit slot can hold
    }
    switch (letter) {
    case 'w':
        if (!(v >= 0 && v <= 65535))
            return false;
        slot = static_cast<uint32_t>(v);
        return true;
    case 'd':
        if (!(v >= 0 && v <= 4294967295.0L))
            return false;
        slot = static_cast<uint32_t>(v);
        return true;
    case 'i':
        if (!(v >= -2147483648.0L && v <= 2147483647.0L))
            return false;
        slot = static_cast<uint32_t>(static_cast<int32_t>(v));
        return true;
    case 'b':
        slot = v == 0 ? 0u : 0xFFFFFFFFu;
        return true;
    default:
        return false;
    }
}

std::string DllNumberText(char letter, uint64_t raw)
{
    const uint32_t low = static_cast<uint32_t>(raw);
    switch (letter) {
    case 'w':
        return std::to_string(low & 0xFFFFu);
    case 'd':
        return std::to_string(low);
    default:
        return std::to_string(static_cast<int32_t>(low));
    }
}

std::vector<std::string> CollectDllArguments(TPoruBase& st, size_t n)
{
    std::vector<std::string> entries(n);
    for (size_t k = n; k-- > 0;)
        entries[k] = st.PopRaw();
    std::vector<std::string> texts(n);
    for (size_t k = 0; k < n; ++k)
        texts[k] = ArgumentText(st, entries[k]);
    return texts;
}

size_t LoadedLibraryCount(TPoruBase& st)
{
    return st.Ext<TDllLibraries>().Handles.size();
}

std::string CallDll(TPoruBase& st, THashNode* node)
{
    st.MatchArguments(node);
    // A call written name(arguments) binds its own arguments by position only;
    // words read while the arguments are collected bind by particles again.
    struct SetterRestore {
        bool& flag;
        bool saved;
        ~SetterRestore() { flag = saved; }
    } setterRestore{st.SetterCall, st.SetterCall};
    st.SetterCall = false;
    std::vector<std::string> args = CollectDllArguments(st, CountQuestionMarks(node->ArgSpec));
    const std::string& form = node->Value;
    if (form.empty())
        CallTextDll(st, node, args, false);
    else if (form == "P")
        CallTextDll(st, node, args, true);
    else if (form[0] == '=')
        CallTypedDll(st, node, args);
    else
        st.Error("DLLからインポートした命令\"" + node->Name + "\"の定義が間違っています。");
    return st.Sys.Sore->Value;
}
