// The interpreter state and the interpreter itself. One TPoruBase exists per process;
// it owns the word table, the program texts, the stacks and the object list, and
// runs the program text statement by statement (no compiled form).
#pragma once
#include <cstdint>
#include <cstring>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <typeindex>
#include <unordered_map>
#include <vector>

#include "core/error.h"
#include "core/hash.h"
#include "core/stacks.h"

class THost;
struct TCalcTok;
struct TCalcProg;
struct TOperandRecord;
struct TRecordedOperand;
struct TCalcCache;
struct TCallPlan;
struct TLiteralPlan;
class TLiteralCache;

// A calculator operand: it carries its text and its number at all times.
enum : uint8_t { tkString = 0, tkNumber = 1, tkStart = 2, tkOperator = 3 };
// An operator token's meaning to the calculator (opOther: none it knows).
enum : uint8_t {
    opOther = 0,
    opMul,
    opDiv,
    opMod,
    opPow,
    opAdd,
    opSub,
    opJoin,
    opEq,
    opNe,
    opLt,
    opGt,
    opGe,
    opLe,
    opAnd,
    opOr,
};
uint8_t CalcOperatorOf(std::string_view op);
// The calculator's operator at p: one operator character, two that pair (&&, <=, <>,
// ...), or the words かつ and または (read as && and ||). p moves past it and `op`
// holds its text; false, with p unmoved, when p holds no operator.
bool ReadCalcOperator(const char*& p, char (&op)[3]);
// Thrown by StepInReading when a statement run in the middle of reading ended the
// run; the run loop takes it as the end the statement made.
struct TRunEnded {};

struct TStrNum {
    std::string Text;
    long double Number = 0;
    uint8_t Kind = tkStart;
    bool HasNumber = false;   // Number is already what ToNumber makes of Text
    uint8_t Op = opOther;     // an operator token: what it stands for
};

// A text the value reader reads as one word by name (IsPlainWordText), with the word
// it last found in a word table and that table's generation then.
struct TWordRef {
    std::string Text;
    bool Plain = false;   // false: the text is evaluated as a whole
    mutable const THash* Table = nullptr;
    mutable THashNode* Node = nullptr;
    mutable uint64_t Generation = 0;
};
// True when the value reader takes all of `text` as one word found by name: no
// literal, number, group, calculation, index, call or member access.
bool IsPlainWordText(std::string_view text);

class TPoruBase;
using Handler = void (*)(TPoruBase&);

// The system words that the interpreter and the command families touch directly.
struct TSystemWords {
    THashNode* Sore = nullptr;           // それ
    THashNode* So = nullptr;             // そ
    THashNode* Soshite = nullptr;        // そして
    THashNode* Count = nullptr;          // 回数
    THashNode* Gap = nullptr;            // 部品配置間隔
    THashNode* ErrorMessage = nullptr;   // エラーメッセージ
    THashNode* NoExit = nullptr;         // 終了不可能
    THashNode* OutputTarget = nullptr;   // 表示出力先
    THashNode* TabCount = nullptr;       // タブ文字の個数
    // condition command nodes: ならば, なら, 違えば, もし, でなければ
    THashNode* Naraba = nullptr;
    THashNode* Nara = nullptr;
    THashNode* Chigaeba = nullptr;
    THashNode* Moshi = nullptr;
    THashNode* Denakereba = nullptr;
};

class TPoruBase {
public:
    static constexpr int kMaxTexts = 50;
    static constexpr size_t kMaxRunControl = 0xFFFF;
    static constexpr size_t kMaxArgs = 5000;
    static constexpr int kMaxNesting = 400;   // nested runs (calls in function form, events...)

    TPoruBase();
    ~TPoruBase();
    TPoruBase(const TPoruBase&) = delete;
    TPoruBase& operator=(const TPoruBase&) = delete;

    // ---- state ----
    std::string FileName;
    std::string Source;
    bool RuntimeMode = false;
    bool FromContainer = false;
    bool DefaultStart = false;
    bool DebugMode = false;
    const char* Cursor = nullptr;
    int32_t LineNo = 0;
    bool Centring = false;
    THash Words;
    int32_t LayoutX = 0, LayoutY = 0;
    TStack Args;
    TRunControlStack RunControl;
    TObjList Objects;
    int32_t CondResult = -1;
    bool Stopping = false;
    bool SetterCall = false;
    bool ImpliedSore = false;
    std::string CaseValue;
    bool ErrorWarn = true;
    THashNode* ErrorLabel = nullptr;
    const char* ErrorReturnPos = nullptr;
    THashNode* CloseLabel = nullptr;
    const char* TimerTarget = nullptr;
    bool LineStop = false;
    TSystemWords Sys;
    int32_t SecurityLevel = 1;
    std::vector<std::string> ExtractedFiles;
    std::string Texts[kMaxTexts];
    int32_t TextCount = 0;
    std::string StartFolder;
    std::string ScriptPath;
    TStack FuncArgs;
    std::string LastTypeTag;
    // LastTypeTag set to, or compared with, a one-letter tag (the calculator's "e"
    // and "s") without the string's general assignment and comparison.
    void SetPendingTag(char tag)
    {
        if (LastTypeTag.size() != 1 || LastTypeTag[0] != tag)
            LastTypeTag.assign(1, tag);
    }
    bool PendingTagIs(char tag) const { return LastTypeTag.size() == 1 && LastTypeTag[0] == tag; }
    TStrNum CalcToken;
    std::vector<std::string> Params;   // command-line parameters, 0 = the executable
    int ScriptParam = -1;              // the parameter that named the script, -1 = none
    std::string ExePath;               // the running executable (Shift_JIS)
    THost* Host = nullptr;
    THashNode* CurrentCommand = nullptr;   // the command whose handler runs
    int NestDepth = 0;
    bool StoppedByError = false;
    // Set by a process's main state: its words are left to the system when it ends
    // (THash::KeepUntilExit) instead of being freed one by one.
    bool LeaveWordsAtExit = false;
    bool WrongFormNoted = false;   // a call may have left its wrong-form note (error_detail.h)

    // Accumulated error text of the run (every error and warning, CR LF after each).
    std::string ErrorText;

    // Per-family state, keyed by type: families keep their own records here instead
    // of growing this class (file handles, the CSV search object, timers, ...).
    template <class T> T& Ext()
    {
        auto it = ext_.find(std::type_index(typeid(T)));
        if (it == ext_.end())
            it = ext_.emplace(std::type_index(typeid(T)), std::shared_ptr<void>(std::make_shared<T>())).first;
        return *static_cast<T*>(it->second.get());
    }

    // Instances of the host services (interp/services.h), by interface; released
    // first when the state goes.
    std::map<std::type_index, std::shared_ptr<void>> ServiceInstances;

    // ---- errors ----
    std::string FormatError(std::string_view msg);
    int32_t CurrentLineNo();
    [[noreturn]] void Error(std::string_view msg);   // FormatError + raise
    [[noreturn]] void ArgError();   // "%s"命令の引数に誤りがあります。 for CurrentCommand
    [[noreturn]] void ArgError(std::string_view explanation);
    [[noreturn]] void ArgError(std::string_view name, std::string_view explanation);   // for the command `name`
    void ReportWarning(std::string_view msg);
    // The scanners of a literal or a group at the cursor (loader/scanner.h), with the
    // error they raise (an unclosed literal or group) reported at the running line.
    std::string ScanLiteral(const char*& p);
    std::string ScanGroup(const char*& p);
    std::string_view ScanLiteralView(const char*& p);
    std::string_view ScanGroupView(const char*& p);
    void HandleRunError(const EPoru& e, bool raisedAsEPoru);
    void ShowErrorDialog();
    void AppendErrorText(std::string_view line);

    // ---- run control ----
    void PrepareRun();
    void ScanDefinitions(int slot, const std::string& fileName);
    void RunLoop();
    void CheckRunControl();
    void RunNested(const char* pos);
    void RunProgram();
    bool RequestClose();   // the close handling; true when the window may close
    // Event interruption or a run of its own. untilDone: the handler runs to its end
    // before this returns, also while a statement is running (the caller acts on what
    // the handler decided, as the browser does with ブラウザURL移動許可).
    void RunEventAt(const char* pos, bool untilDone = false);
    void EnterNesting();
    void LeaveNesting()
    {
        --NestDepth;
        calcDepth_ = savedCalcDepth_[NestDepth];
    }
    // Every path that can recurse (nested runs, calculations, calls in function form,
    // commands, member access, literal embeddings) checks the native stack first: once what is left falls below a
    // safety margin, the run fails with the nesting error instead of overflowing.
    // The state is used on the thread that created it.
    void CheckStack()
    {
        if (reinterpret_cast<uintptr_t>(__builtin_frame_address(0)) < stackFloor_)
            StackExhausted();
    }
    [[noreturn]] void StackExhausted();

    // ---- statements ----
    void ExecuteStep(const char*& p);
    // ExecuteStep at a line end met while a construct is being read (a condition, its
    // branches, a line joined by "&"): the pending sentence runs there, and when it
    // ended the run (the cursor nil) the reading ends too, as far as the run loop.
    void StepInReading(const char*& p)
    {
        ExecuteStep(p);
        if (!p)
            throw TRunEnded{};
    }
    bool ExecutePhrase(const char*& p);   // one phrase; true when the sentence goes on
    void ReadLineMarker(const char*& p);
    std::string ReadToStatementEnd(const char*& p);
    void SkipToStatementEnd(const char*& p);   // the same without building the text
    // True where the running text ends: its terminating zero or the end of the
    // innermost open body.
    bool AtEnd(const char* p) const { return *p == '\0' || p == RunControl.BodyLimit(); }

    // ---- resolution and invocation ----
    std::string ReadValue(const char*& p);
    void MatchArguments(THashNode* node);
    void CheckArgumentCount();   // raises when the argument stack is over its bound
    void RunSentenceCommand();
    // Words.Find(name, true) (the okurigana-folded name first, then the name).
    THashNode* FindFolded(std::string_view name);
    void InvokeWord(THashNode* node);
    std::string CallWithParentheses(const std::string& name, const char*& p, bool push);
    // The call of `node` (a command, label or library function) with the argument list
    // `inner` (the inside of its parentheses, read already); `plan`, when not nil, is
    // what PushCallArguments would read in that list.
    std::string CallWithList(THashNode* node, std::string_view inner, const TCallPlan* plan, bool push);
    // Pushes the arguments of a call list that ends at `end` (a closing ")"), or at
    // the end of the text when `end` is nil.
    void PushCallArguments(const char*& p, const char* end = nullptr);
    // The arguments of a planned list pushed as PushCallArguments pushes them.
    void PushPlannedArguments(const TCallPlan& plan);
    void Dispatch(THashNode* node);
    void CallLabel(THashNode* label, const char* returnPos);

    // ---- fetchers ----
    std::string PopText();
    long double PopNumber();
    std::string PopRaw();
    THashNode* PopWord(bool create);
    void PopCoordinates(const std::string& text, int32_t& x, int32_t& y);
    int32_t PopInt();   // PopNumber truncated, range-checked against signed 32 bits

    // ---- results ----
    // それ gets a value and a type tag, and the tag is the pending tag of the value
    // just produced (LastTypeTag).
    void SetSore(std::string value, const char* tag);
    void SetSoreNumber(long double v);   // NumberToText, tag "e"
    void SetSoreInt(int64_t v);          // decimal digits, tag "e"
    void SetSoreFlag(bool b);            // 1 or 0, tag "e"
    // それ's value only: its tag and the pending tag stay as they are.
    void SetSoreValue(std::string value);
    // それ's value; its tag stays and becomes the pending tag.
    void SetSoreKeepTag(std::string value);
    // それ's value with a pending tag; それ's own tag stays as it is.
    void SetSorePending(std::string value, const char* pendingTag);

    // ---- expressions ----
    std::string EvaluateValue(std::string_view text);
    std::string Calculate(const char*& p);
    std::string CalculateText(std::string_view text);
    std::string CalculateRest(std::string first, const char*& p);
    std::string ExpandLiteral(std::string_view text);

    // ---- control structures ----
    void BlockCapture(TRunControl& e, const char*& p);
    void BranchSelect(const char*& p, bool expectWord);
    std::string ConvertCondition(const std::string& text);
    void RunTimesLoop(const char*& p, const std::string& count);
    void RunCaseBranch(const char*& p, const std::string& label);
    void ConditionQuestion(const char*& p);
    void RunIf(const char*& p);   // もし, with the condition still in the text
    void BindFunctionArgs(THashNode* node);
    bool BindWholeNumbers(THashNode* node);
    // The value of an argument entry (EvaluateValue); the entry may be moved from.
    std::string EvaluateArgument(std::string& entry);

    // ---- texts ----
    // Normalises a text; an unbalanced pair raises with its line.
    void NormaliseOrRaise(std::string& text);
    void Include(const std::string& path);
    // A text is about to go (the text of ぽるかなする after its run): positions the
    // state keeps beyond the run are dropped when they point into it.
    void ForgetPositionsIn(std::string_view text);
    // A word is released and `by` takes its place: every node the state refers to
    // directly (error and close labels, the system words) follows.
    void WordReplaced(const THashNode* gone, THashNode* by);

    // The inside of the group at `p` (a "(" after separators), as ReadGroupView reads
    // it. In the program's texts, the end of a group is found once and remembered, so
    // nested blocks do not scan their whole body again at every level.
    std::string_view ReadBlockGroup(const char*& p);
    // Drops the remembered group ends (a program text was replaced or released).
    void ForgetGroupEnds() { groupEnds_.clear(); }

private:
    std::map<std::type_index, std::shared_ptr<void>> ext_;
    // FindFolded's answers by name, each kept with the word table's generation it was
    // found in: what a name finds changes only when names are added, removed or
    // replaced, which moves the generation on. Direct-mapped by the name's byte sum.
    struct TFoldedMemo {
        std::string Name;
        THashNode* Node = nullptr;
        uint64_t Generation = ~uint64_t{0};
    };
    TFoldedMemo foldedMemo_[64];
    std::unordered_map<const char*, const char*> groupEnds_;   // "(" -> its ")", in the program texts
    const char* groupSource_ = nullptr;                        // Source's text when they were noted
    bool InProgramText(const char* p) const;
    bool runStartPending_ = true;
    bool commaBreak_ = false;             // the last phrase ended in a comma before a line break
    bool clearSetterAfterBind_ = false;   // set by a name(arguments) call of a command
    int calcDepth_ = 0;
    // Statements run since the last pulse, counted across nested run loops, so that a
    // recursion whose loops each run only a few statements still pulses the host.
    unsigned runPulse_ = 0;
    // A nested run starts its calculations at depth 0: the parenthesis bound is per
    // calculation; recursion through calls is bounded by the nesting and the stack.
    int savedCalcDepth_[kMaxNesting] = {};
    uintptr_t stackFloor_ = 0;   // lowest frame address CheckStack accepts
    // The line end last found by CurrentLineNo and where the search started: a
    // position between the two lies on the same line (no line break in between).
    const char* lineFrom_ = nullptr;
    const char* lineEnd_ = nullptr;
    static constexpr int kMaxCalcDepth = 200;   // parentheses nested in one calculation
    // One level of parentheses evaluated inside a value (a calculation's group, a
    // member name in parentheses), counted while the guard lives: each level holds a
    // copy of its group, so the count bounds the memory as well as the depth.
    struct TGroupLevel {
        int& depth;
        bool counted;
        ~TGroupLevel()
        {
            if (counted)
                --depth;
        }
    };
    TGroupLevel EnterGroup(bool counted = true);   // raises when nested too deeply

    // Compiled calculations (interp/calc_cache.cpp): a calculation's text is read
    // into tokens once and kept by its text; running it replays the tokens through the
    // same parser, so only the scanning is saved. Words are still resolved at each run.
    const TCalcTok* calcTok_ = nullptr;    // the next token; nil: scan the text
    const TCalcTok* calcLast_ = nullptr;   // the program's final (end) token
    const char* calcBase_ = nullptr;       // the text the token offsets count from
    std::shared_ptr<TCalcCache> calcCache_;
    struct TCalcMode;   // sets the three above for one calculation and restores them
    // A compiled calculation worked out on numbers alone (interp/expressions.cpp):
    // false, with nothing run or changed, when it needs the calculator's texts.
    struct TNumResult {
        long double V = 0;
        long long I = 0;
        bool Int = false;   // the result is the whole number I (else V)
    };
    bool RunNumeric(const TCalcProg& prog, TNumResult& result);
    bool RunNumeric(const TCalcProg& prog, std::string& result);   // its text, tag "e"
    // The values read by a numeric replay with calls before it gave up (calc_cache.h).
    const TOperandRecord* calcRecord_ = nullptr;   // the record the calculator takes values from
    // A value program whose numeric code makes calls: worked out on numbers when the
    // calls give numbers, else by the calculator with what was read so far.
    std::string RunValueProgramWithCalls(const TCalcProg& prog, const char* base);
    // (Calls: the code may make calls and record what it reads; compiled apart, so
    // that code without calls spends nothing on them.)
    template <bool Calls>
    bool RunNumCode(const TCalcProg& prog, TNumResult& result, const char* base, TOperandRecord* record);
    bool RunWordOpWhole(const TCalcProg& prog, TNumResult& result);
    // Makes the call of a Call token of a numeric replay and records its result and
    // tag; nil, with nothing run, when the name is not callable.
    const TRecordedOperand* NumericCallValue(const TCalcTok& t, const TCalcProg& prog, const char* base,
                                             TOperandRecord& record);
    bool RunNumericCalls(const TCalcProg& prog, const char* base, TNumResult& result, TOperandRecord& record);
    std::string ValueProgramByTokens(const TCalcProg& prog, const char* base, const TOperandRecord* record);
    // What the calculator does with an error raised after the first value of a value
    // text: the message names the calculation as written.
    [[noreturn]] void RaiseRestError(const std::string& first, bool isString, const char* restStart, const EPoru& e);
    // A result's text in `out`; true, with `whole` its number, when it is a whole
    // number written as plain digits (what a word's number memo may keep).
    static bool NumberResultText(const TNumResult& r, std::string& out, long long& whole);
    TCalcCache& CalcCache();
    void NextCompiledToken(const char*& p);
    std::string CompiledValue(const TCalcTok& t, const char* base);
    bool calcCalled_ = false;   // the last Call token read was a call (its list read)
    void SkipCalledList(const TCalcTok& t, const char*& p);
    THashNode* CachedCallee(const TCalcTok& t);
    // The plan of a Call token's argument list `inner`, read at its first call.
    const TCallPlan* CallPlanOf(const TCalcTok& t, std::string_view inner);
    std::string CompiledWordValue(const TCalcTok& t);
    // The node a Call token's name finds when it can be called (command, label, library
    // function), and the call of the token with its list.
    THashNode* CallableCallee(const TCalcTok& t);
    std::string CallToken(const TCalcTok& t, const char* base, THashNode* callee);
    // A value of `record` for the token: taken, with its tag, instead of reading it.
    bool TakeRecorded(const TOperandRecord* record, const TCalcTok& t, std::string& v);
    // Calculate with the program kept for the text at p (nil: scan the text).
    std::string RunCompiledCalc(const char*& p, const TCalcProg* prog);
    // CalculateRest with the rest's tokens from `prog` (nil: scanned), offsets from `base`.
    std::string CalculateRestWith(std::string first, const char*& p, const TCalcProg* prog, const char* base,
                                  const TOperandRecord* record = nullptr);
    bool EvaluateCompiled(std::string_view text, const char* p, std::string& result);
    std::string RunValueProgram(const TCalcProg& prog, const char* base);
    // An assignment's right side as last read at a position of the program text:
    // used again while the text there is still the same (compared on each use).
    struct TAppendPlan;
    struct TAssignPlan {
        std::string Text;
        const TCalcProg* Program = nullptr;      // its compiled value text, nil: evaluated
        const TLiteralPlan* Literal = nullptr;   // the text is this one literal's
        TWordRef Word;                           // Plain: the text is this one word
        // The append plan of the text, once AppendInPlace has looked it up.
        mutable const TAppendPlan* Append = nullptr;
        bool Usable = false;      // false: the statement is always scanned
        bool AfterPart = false;   // it ends with a group, a literal or "&"
        bool HasJoin = false;     // it holds an "&" (it may be an append)
    };
    std::unordered_map<const char*, TAssignPlan> assignPlans_;
    // The plans last found, by position (plans are never dropped, so the pointers
    // stay valid): a loop's statements find theirs without hashing.
    struct TPlanMemo {
        const char* Position = nullptr;
        const TAssignPlan* Plan = nullptr;
    };
    TPlanMemo planMemo_[64];
    const TAssignPlan* AssignPlanAt(const char*& p);
    // The planned right side ends at e where the statement scanner would end it.
    static bool AssignPlanEndsAt(const TAssignPlan& plan, const char* e, const char* limit);
    // A もし condition as last read at a position of the program text: its text up to
    // the word that ended it, what ConvertCondition made of it and that calculation's
    // program. Used again while the text there and the words that end a condition
    // are still the same.
    // The words that shaped a reading (the ones that end a condition, begin an else
    // branch, ...): the nodes and their names, and the word table's generation when
    // it was read. While no word has gone since (same generation) the same nodes are
    // the same words; after that their names are compared as well.
    struct TWordsSeen {
        const THashNode* Nodes[4] = {};
        std::string Names[4];
        // The word table's generation when the words were last found to be these
        // (updated by Same, so that a table that changed elsewhere is compared by
        // name once, not on every use).
        mutable uint64_t Generation = 0;
        void Note(const THash& words, const THashNode* a, const THashNode* b, const THashNode* c, const THashNode* d);
        bool Same(const THash& words, const THashNode* a, const THashNode* b, const THashNode* c,
                  const THashNode* d) const;
    };
    struct TConditionPlan {
        std::string Text;
        std::string Expression;
        const TCalcProg* Program = nullptr;
        TWordsSeen Enders;   // ならば, なら, 違えば, でなければ
    };
    std::unordered_map<const char*, TConditionPlan> conditionPlans_;
    struct TConditionMemo {
        const char* Position = nullptr;
        const TConditionPlan* Plan = nullptr;
    };
    TConditionMemo conditionMemo_[16];
    const TConditionPlan* ConditionPlanAt(const char*& p);
    void RememberCondition(const char* at, std::string text, std::string expression);
    // The branches after a condition as last read at a position of the program text:
    // where their bodies lie and where the reading ended, kept with the text read
    // (and a little past it) and the words that shaped the reading. Used again while
    // all of these are the same.
    struct TBranchPlan {
        std::string Text;
        bool EndsText = false;   // the text ended right after Text
        bool ExpectWord = false;
        bool HasTrue = false, HasFalse = false;
        bool EndsAtLimit = false;   // the open body ended where the reading stopped
        uint32_t End = 0;           // offsets from the position
        uint32_t TrueStart = 0, TrueEnd = 0, FalseStart = 0, FalseEnd = 0;
        TWordsSeen Words;   // なら, 違えば, でなければ, もし
    };
    std::unordered_map<const char*, TBranchPlan> branchPlans_;
    struct TBranchMemo {
        const char* Position = nullptr;
        const TBranchPlan* Plan = nullptr;
    };
    TBranchMemo branchMemo_[16];   // the plans last found, by position
    // Counts the statements run and line markers read: a reading during which it
    // stayed the same entered no line and ran nothing.
    unsigned textSteps_ = 0;
    void CaptureBranches(const char*& p, bool expectWord, TRunControl& trueBranch, TRunControl& falseBranch,
                         bool& hasTrue, bool& hasFalse);
    // The plan of the branches at p, still the same, with p moved past them; nil when
    // they are to be read from the text.
    const TBranchPlan* BranchPlanAt(const char*& p, bool expectWord);
    void RememberBranches(const char* start, const char* end, bool expectWord, const TRunControl& trueBranch,
                          const TRunControl& falseBranch, bool hasTrue, bool hasFalse);
    THashNode* CachedWord(const TCalcTok& t);
    std::string WordValue(THashNode* n, const std::string& word);

    // expression internals
    void NextToken(const char*& p);
    void ParseLogical(const char*& p, TStrNum& r);
    void ParseComparison(const char*& p, TStrNum& r);
    void ParseAdditive(const char*& p, TStrNum& r);
    void ParseTerm(const char*& p, TStrNum& r);
    void ParsePrimary(const char*& p, TStrNum& r);
    std::string ReadConcatTail(const char*& p, std::string phrase);
    // A statement "word = right side" as last read at a position of the program text:
    // run again without reading its phrase while the text there is still the same
    // (compared on each use), the word it assigns found once per word-table generation.
    // "Aの、B=right side" is kept the same way: Owner is A, Left is B, and the word
    // found is A's.
    struct TMemberPlan;
    struct TStatementPlan {
        std::string Head;      // from the position to just after "="
        std::string Left;      // the word assigned to
        std::string Owner;     // a member assignment's owner (without "の"), else empty
        bool Usable = false;   // false: the statement there is read the usual way
        // A sentence of one word (Left) and nothing else, such as a label called
        // without arguments or 戻る: Head runs to just before the end of the sentence,
        // and Node is the word found for it in the word table of Generation.
        bool Sentence = false;
        // The sentence is もし, which runs as soon as it is read, on the text after it;
        // Head ends with the word.
        bool Structure = false;
        THashNode* Node = nullptr;
        uint64_t Generation = ~uint64_t{0};
        // The right side's plan once found there, and Head with its text: both sides
        // are compared at once. RightChecked: this use found the whole text unchanged.
        const TAssignPlan* Right = nullptr;
        std::string Whole;
        bool RightChecked = false;
        // A member assignment's member plan, found for Left and Right's text: used
        // while RightChecked, without looking it up by position and comparing again.
        const TMemberPlan* Member = nullptr;
    };
    std::unordered_map<const char*, TStatementPlan> statementPlans_;
    struct TStatementMemo {
        const char* Position = nullptr;
        TStatementPlan* Plan = nullptr;
    };
    TStatementMemo statementMemo_[256];
    // Values evaluated from a text that is one plain word (a command's argument that
    // names a variable): the word found for that text, per word-table generation.
    TWordRef plainValueMemo_[64];
    const THashNode* PlainVariable(std::string_view text);
    // The word `ref` names in the word table, looked up again only when the table
    // changed since it was last found.
    THashNode* WordOf(const TWordRef& ref)
    {
        const uint64_t g = Words.Generation();
        if (ref.Table != &Words || ref.Generation != g) {
            ref.Node = Words.FindExact(ref.Text);
            ref.Table = &Words;
            ref.Generation = g;
        }
        return ref.Node;
    }
    // A variable's value as the value reader gives it, its tag written only when it
    // differs.
    std::string VariableValue(const THashNode& n)
    {
        if (LastTypeTag != n.TypeText)
            LastTypeTag = n.TypeText;
        return n.Value;
    }
    TStatementPlan* StatementPlanAt(const char* p);
    bool RunWordSentence(const char*& p, TStatementPlan& plan);
    void InvokeSentenceWord(THashNode* n);
    bool AssignPlannedNumber(const char*& p, TStatementPlan& stmt, bool& tried);
    THashNode* OwnerAfterEvaluating(THashNode* n, const std::string& name, uint8_t kind, uint64_t generation);
    bool WhileHoldsOnNumbers(TRunControl& e, long double& v);
    void StoreNumberResult(THashNode& self, const TNumResult& v);
    TStatementPlan ReadStatementPlan(const char* p) const;
    void Assign(const char*& p, const std::string& left, const std::string* row, const std::string* col,
                TStatementPlan* stmt = nullptr, bool numbersTried = false);
    void AssignMember(const char*& p, const std::string& member);
    // The member `member` of the word `owner` names (its "の" taken off) assigned the
    // right side at p; `stmt`: the statement's plan, which finds the owner's word.
    void AssignMemberOf(const char*& p, const std::string& owner, const std::string& member, TStatementPlan* stmt);
    // Member assignments to a hash variable whose right side has a plan, kept by the
    // position after their "=" (never dropped or changed but for the words they
    // found): the member's text and the right side's, each read by name when it is
    // one word. The last ones found are memoised by position.
    struct TMemberPlan {
        TWordRef Member;
        TWordRef Value;
    };
    std::unordered_map<const char*, TMemberPlan> memberPlans_;
    struct TMemberMemo {
        const char* Position = nullptr;
        const TMemberPlan* Plan = nullptr;
    };
    TMemberMemo memberMemo_[64];
    void AssignHashMember(THashNode* n, const std::string& member, const char* at, const TAssignPlan& plan,
                          TStatementPlan* stmt);
    void AssignHashMemberBy(THashNode* n, const std::string& member, const TAssignPlan& plan, const TMemberPlan& mp,
                            std::string_view right);
    // Kept literals (interp/literals.cpp).
    std::shared_ptr<TLiteralCache> literalCache_;
    std::string RunLiteralPlan(const TLiteralPlan& plan);
    // The kept plan of a text that is one literal and nothing else (blanks aside), as
    // the value reader reads it; nil for any other text or a literal not kept.
    const TLiteralPlan* SingleLiteralPlan(std::string_view text);
    // A plain word's value (as the value reader finds it) appended to `out`.
    void AppendWordValue(const TWordRef& ref, std::string& out);
    // The value of `text`, which `ref` holds when it is a plain word.
    std::string EvaluateWord(const TWordRef& ref, std::string_view text);
    // The pieces of Assign: S=S&… extended in place (false when the right side does
    // not allow it), a table row or cell replaced, the value stored by the word's kind.
    bool AppendInPlace(THashNode& self, const std::string& left, const std::string& rightText,
                       const TAssignPlan* assignPlan);
    // The value of a right side kept by position (its program, its literal or its text).
    std::string PlannedValue(const TAssignPlan& plan);
    // What AppendInPlace reads in a right side, kept by its text: the variable it
    // starts with, then the parts appended (a literal without embeddings expanded
    // once, a word looked up and a literal with embeddings expanded each time).
    struct TAppendPlan {
        enum : uint8_t { Word, Text, Literal };
        struct TItem {
            uint8_t What;
            std::string Text;   // the word's name, the expanded text, or the literal
        };
        bool Usable = false;
        std::string Self;
        std::vector<TItem> Items;
        bool TextOnly = false;   // every item is a text: Joined is all of them
        std::string Joined;
    };
    std::unordered_map<std::string, TAppendPlan> appendPlans_;
    bool AppendItems(THashNode& self, const TAppendPlan& plan);
    TAppendPlan ReadAppendPlan(const std::string& rightText);
    THashNode* AssignTableCell(const std::string& left, std::string& right, std::string& tag,
                               const std::string& rowText, const std::string* colText);
    void StoreAssigned(THashNode* node, std::string& right, std::string& tag);
    // The kinds of value ReadValue reads besides words and numbers, and a label's value.
    std::string ReadLiteralValue(const char*& p);
    std::string ReadGroupValue(const char*& p);
    std::string ReadSignedValue(const char*& p);
    std::string LabelValue(THashNode* n);
    // The kinds of argument PushCallArguments reads, each pushing one argument and
    // stepping over the comma after it.
    void PushLiteralArgument(const char*& p, const std::string& word);
    void PushEmbeddedArgument(const char*& p, const std::string& word);
    void PushGroupArgument(const char*& p, const std::string& word);
    void PushJoinedArgument(const char*& p, const std::string& operand);
    void PushCalculatedArgument(const char*& p, const std::string& operand, const char* end);
    void SkipLabelLine(const char*& p);
    void ScanStatement(const char*& p, std::string* out);
    // The phrase ExecutePhrase reads: its text, and for an element (A#1, A#1#2) the
    // variable and the indexes.
    struct TPhrase {
        std::string Text;
        bool Plain = true;   // a bare word: no literal, group, number or index
        bool HasRow = false;
        bool HasColumn = false;
        std::string Variable, Row, Column;
    };
    bool ReadPhrase(const char*& p, TPhrase& phrase);
    void EndLine(const char*& p, const char* start);
    bool ReadIndexedPhrase(const char*& p, TPhrase& phrase);
    void ReadNumberPhrase(const char*& p, std::string& text);
    bool ActOnPhrase(const char*& p, TPhrase& phrase);
    void ConcatenatePhrase(const char*& p, TPhrase& phrase);
    bool RunPlainPhrase(const char*& p, const char* after, std::string& text);
    std::string MemberAccess(THashNode* stem, const char*& p);
    std::string IndexAccess(const std::string& value, const char*& p);
};

// The lowest native stack address a recursing path of the interpreter may reach on
// the calling thread (0 when the stack cannot be measured: no check).
uintptr_t StackFloorOfThisThread();

// The state whose accumulated error text Raise() records into.
void SetActiveState(TPoruBase* st);

// Conversions shared by every command family.
long double ToNumber(std::string_view text);
// Plain decimal digits with an optional sign (at most 18 digits): what ToNumber makes
// of them in `out`. False for any other text, which ToNumber reads the general way.
bool ReadPlainInteger(std::string_view text, long double& out);
// The text of the unary minus applied to value text v: v's own sign is replaced, so
// that the negation of -7 is 7 (a second minus would make the text read as 0).
void NegatedText(std::string& out, std::string_view v);
// Splits a particle template ("?を,?へ") into its slots' particles: trimmed, the
// leading "?" dropped; a trailing "," makes a last, empty slot.
void SplitTemplate(const std::string& templ, std::vector<std::string>& out);
int32_t ToIntOrDefault(std::string_view text, int32_t def);
std::string NumberToText(long double v);
// The same text written into `out` (its storage reused); true when v is a whole
// number written as plain digits.
bool NumberToTextInto(long double v, std::string& out);
// The decimal digits of v (with "-" when negative) written so that they end at
// `end`; returns where they begin (a buffer of 20 bytes holds any value). Two digits
// a step: stored numbers and loop counters are written on every change.
constexpr long long kWholeLimit = 1000000000000000LL;   // 10^15: written as plain digits below
inline char* WriteWholeNumber(long long v, char* end)
{
    static constexpr char kPairs[] = "00010203040506070809101112131415161718192021222324252627282930313233343536373839"
                                     "40414243444546474849505152535455565758596061626364656667686970717273747576777879"
                                     "8081828384858687888990919293949596979899";
    unsigned long long big = v < 0 ? 0ULL - static_cast<unsigned long long>(v) : static_cast<unsigned long long>(v);
    char* p = end;
    // Eight digits at a time are split off in 64 bits, the digits themselves worked
    // out in 32-bit arithmetic (cheaper divisions).
    while (big >= 100000000) {
        unsigned low = static_cast<unsigned>(big % 100000000);
        big /= 100000000;
        for (int k = 0; k < 4; ++k) {
            const unsigned d = (low % 100) * 2;
            low /= 100;
            *--p = kPairs[d + 1];
            *--p = kPairs[d];
        }
    }
    unsigned u = static_cast<unsigned>(big);
    while (u >= 100) {
        const unsigned d = (u % 100) * 2;
        u /= 100;
        *--p = kPairs[d + 1];
        *--p = kPairs[d];
    }
    if (u >= 10) {
        const unsigned d = static_cast<unsigned>(u) * 2;
        *--p = kPairs[d + 1];
        *--p = kPairs[d];
    } else {
        *--p = static_cast<char>('0' + u);
    }
    if (v < 0)
        *--p = '-';
    return p;
}
// `out` made the n bytes at b, without the general replace when its length stays
// (a counter or a number stored again in place).
inline void AssignShortText(std::string& out, const char* b, size_t n)
{
    if (out.size() != n)
        out.resize(n);
    std::memcpy(out.data(), b, n);
}
// `out` made the decimal text of v, in place.
inline void AssignWholeNumber(std::string& out, long long v)
{
    char b[24];
    const char* first = WriteWholeNumber(v, b + sizeof b);
    AssignShortText(out, first, static_cast<size_t>(b + sizeof b - first));
}
// A word's value made the text of the whole number v, with the number kept beside it.
// Counting up by one (loop counters, N=N+1) changes only the last digits of the text
// it still holds: no division and no copy.
inline void StoreWholeNumber(THashNode& word, long long v)
{
    if (v > 0 && word.MemoNumber == v - 1 && word.MemoMatches()) {
        char* d = word.Value.data();
        size_t i = word.MemoLen;
        while (i > 0 && d[i - 1] == '9') {
            d[i - 1] = '0';
            word.MemoText[i - 1] = '0';
            --i;
        }
        if (i > 0) {   // all nines (999 → 1000) are written afresh below
            ++d[i - 1];
            ++word.MemoText[i - 1];
            word.MemoNumber = v;
            return;
        }
    }
    char b[24];
    const char* first = WriteWholeNumber(v, b + sizeof b);
    word.SetNumberText(first, static_cast<size_t>(b + sizeof b - first), v);
}
std::string QuoteRaw(std::string_view text);
// A computed value as a phrase of program text: raw-quoted when its tag is "s" or
// when it does not read back as a number (2,340 from 通貨形式に変換 keeps the tag
// of its argument, and unquoted its comma would split it).
std::string ValueAsPhrase(const std::string& value, std::string_view tag);
std::string UnquoteRaw(std::string_view text);
