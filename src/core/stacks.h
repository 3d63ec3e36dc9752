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
    rcFor = 2,        // 繰り返す
    rcTimes = 3,      // N回
    rcCall = 4,       // subroutine call
    rcEvent = 5,      // event handler run
    rcEach = 6,       // 反復
    rcCase = 8,       // 条件分岐
    rcWhile = 9,      // ループ
};

// One open control structure. The body text is shared, so popping an entry and
// pushing an identical copy for the next iteration keeps the cursor's text alive.
struct TRunControl {
    const char* BodyStart = nullptr;
    const char* After = nullptr;
    int32_t Counter = 0;
    int32_t Limit = 0;
    uint8_t RcKind = 0;
    std::shared_ptr<const std::string> Body;
    std::string SavedFileName;
    std::string Condition;
    THashNode* CounterWord = nullptr;                         // 繰り返す
    std::shared_ptr<std::vector<std::string>> List;           // 反復

    const char* BodyText() const { return Body ? Body->c_str() : nullptr; }
};

class TRunControlStack {
public:
    size_t Count() const { return current_.size(); }
    void Push(const TRunControl& entry) { current_.push_back(entry); }
    void Push(TRunControl&& entry) { current_.push_back(std::move(entry)); }
    bool Pop(TRunControl& out);
    bool PeekAt(size_t index, TRunControl& out) const;
    TRunControl* Top() { return current_.empty() ? nullptr : &current_.back(); }
    // The entry at an index of the current level (index below Count()), not copied.
    const TRunControl& At(size_t index) const { return current_[index]; }
    void ClearLevel() { current_.clear(); }
    void EnterLevel();
    void LeaveLevel();
    void ClearAll();
    size_t LevelCount() const { return saved_.size(); }

private:
    std::vector<TRunControl> current_;
    std::vector<std::vector<TRunControl>> saved_;
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
        : Name(std::move(name)), ClassCode(classCode), Index(index), Control(control) {}
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
