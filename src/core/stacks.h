// Containers owned by the interpreter state: the argument stack, the stack of open
// control structures (with saved levels for nested runs) and the object list.
#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class THashNode;

// A list of strings used as a stack; its top is the last item.
class TStack {
public:
    void Push(std::string s) { items_.push_back(std::move(s)); }
    std::string Pop();
    std::string Shift();
    std::string PeekAt(size_t index) const;
    size_t Count() const { return items_.size(); }
    void Clear() { items_.clear(); }
    std::string Text() const;   // items joined by CR LF

    // Direct access for argument binding.
    std::vector<std::string>& Items() { return items_; }
    const std::vector<std::string>& Items() const { return items_; }

private:
    std::vector<std::string> items_;
};

enum : uint8_t {
    rcIfTrue = 0,
    rcIfFalse = 1,
    rcFor = 2,     // 繰り返す
    rcTimes = 3,   // N回
    rcCall = 4,    // subroutine call
    rcEvent = 5,   // event handler run
    rcEach = 6,    // 反復
    rcCase = 8,    // 条件分岐
    rcWhile = 9,   // ループ
};

// A file name kept by a run-control entry: one shared copy per distinct name (the
// names are few: the script and what it includes), so pushing an entry copies a
// pointer instead of a string. Reads as the name; assigning a name interns it.
class TInternedName {
public:
    TInternedName() = default;
    TInternedName& operator=(const std::string& name)
    {
        name_ = &Intern(name);
        return *this;
    }
    operator const std::string&() const { return name_ ? *name_ : Intern(std::string()); }
    const std::string& Text() const { return *this; }
    friend bool operator==(const TInternedName& a, const std::string& b) { return a.Text() == b; }
    friend bool operator==(const TInternedName& a, const char* b) { return a.Text() == b; }
    static const std::string& Intern(const std::string& name);

private:
    const std::string* name_ = nullptr;
};

// One open control structure. A block's body is a range of the program text it was
// written in (no copy): [BodyStart, BodyEnd), and After is where the text goes on
// once the block is done. The texts the interpreter runs live at least as long as
// the run-control level that refers to them, so the range stays valid while the
// entry exists. Call and event records have no body: BodyStart is the return
// position and BodyEnd is nil.
struct TRunControl {
    const char* BodyStart = nullptr;
    const char* BodyEnd = nullptr;
    const char* After = nullptr;
    int32_t Counter = 0;
    int32_t Limit = 0;
    uint8_t RcKind = 0;
    TInternedName SavedFileName;
    std::string Condition;
    // The run-time's compiled form of Condition, looked up on the first test (nil:
    // the condition is calculated from its text each time).
    const void* ConditionProgram = nullptr;
    bool ConditionLooked = false;
    THashNode* CounterWord = nullptr;                 // 繰り返す
    std::shared_ptr<std::vector<std::string>> List;   // 反復

    const char* BodyText() const { return BodyStart; }
    bool HasBody() const { return BodyEnd != nullptr; }
};

class TRunControlStack {
public:
    size_t Count() const { return current_.size(); }
    void Push(const TRunControl& entry)
    {
        current_.push_back(entry);
        limit_ = entry.BodyEnd;
    }
    void Push(TRunControl&& entry)
    {
        limit_ = entry.BodyEnd;
        current_.push_back(std::move(entry));
    }
    // A call or event record (no body: the run goes on to the text's end), made in
    // place: returning to `returnPos`, running from `after`, the caller's file name.
    void PushRecord(uint8_t kind, const char* returnPos, const char* after, const std::string& fileName)
    {
        PushBody(kind, returnPos, nullptr, after, fileName);
    }
    // A body entry made in place: the body from `start` to `end`, going on at `after`,
    // in the file `fileName` (as BlockCapture notes it).
    void PushBody(uint8_t kind, const char* start, const char* end, const char* after, const std::string& fileName)
    {
        TRunControl& e = current_.emplace_back();
        e.RcKind = kind;
        e.BodyStart = start;
        e.BodyEnd = end;
        e.After = after;
        e.SavedFileName = fileName;
        limit_ = end;
    }
    bool Pop(TRunControl& out);
    bool PeekAt(size_t index, TRunControl& out) const;
    // The top entry, to update its counters (its body range stays as pushed).
    TRunControl* Top() { return current_.empty() ? nullptr : &current_.back(); }
    // The entry at an index of the current level (index below Count()), not copied.
    const TRunControl& At(size_t index) const { return current_[index]; }
    void ClearLevel()
    {
        current_.clear();
        limit_ = nullptr;
    }
    // Pops the entries of the current level above the first `count`.
    void Truncate(size_t count);
    // Where the innermost open body ends: the run treats this position like the end
    // of a text. Nil when the top entry is a call or event record, or the level is
    // empty (the text runs to its terminating zero). Read before every phrase, so it
    // is kept up to date by every change instead of being looked up.
    const char* BodyLimit() const { return limit_; }
    void EnterLevel();
    void LeaveLevel();
    void ClearAll();
    size_t LevelCount() const { return depth_; }

private:
    void Refresh() { limit_ = current_.empty() ? nullptr : current_.back().BodyEnd; }
    std::vector<TRunControl> current_;
    std::vector<std::vector<TRunControl>> saved_;   // the first depth_ are the levels below
    size_t depth_ = 0;
    const char* limit_ = nullptr;
};

// One script-created GUI object. The meaning of the slots belongs to the GUI layer.
struct TObjNode {
    static constexpr int kEventSlots = 10;
    std::string Name;
    std::string EventCode[kEventSlots];
    int32_t ClassCode = 0;
    const char* EventPos[kEventSlots] = {};
    int32_t Index = 0;
    void* Control = nullptr;

    TObjNode(std::string name, int32_t classCode, int32_t index, void* control)
        : Name(std::move(name)), ClassCode(classCode), Index(index), Control(control)
    {
    }
};

class TObjList {
public:
    ~TObjList() { Clear(); }
    int32_t Add(TObjNode* node);
    size_t Count() const { return items_.size(); }
    TObjNode* Find(const std::string& name) const;
    int32_t IndexOf(const std::string& name) const;
    TObjNode* Get(size_t index) const { return index < items_.size() ? items_[index] : nullptr; }
    // Replaces a slot (freeing the node that was there); an index not below Count is
    // ignored and the node stays the caller's.
    void Put(size_t index, TObjNode* node);
    void Clear();

private:
    std::vector<TObjNode*> items_;
};
