// The argument stack, the run-control stack with its saved levels, and the object list.
#include "core/stacks.h"

#include <mutex>
#include <unordered_set>

// ---------------------------------------------------------------------------
// TInternedName

const std::string& TInternedName::Intern(const std::string& name)
{
    // Nodes of an unordered_set never move, so the references stay valid; the last
    // name found answers the common case (the same file again) without hashing.
    static std::mutex lock;
    static std::unordered_set<std::string> names;
    static thread_local const std::string* last = nullptr;
    if (last && *last == name)
        return *last;
    std::lock_guard<std::mutex> guard(lock);
    last = &*names.insert(name).first;
    return *last;
}

// ---------------------------------------------------------------------------
// TStack

std::string TStack::Pop()
{
    if (items_.empty())
        return std::string();
    std::string top = std::move(items_.back());
    items_.pop_back();
    return top;
}

std::string TStack::Shift()
{
    if (items_.empty())
        return std::string();
    std::string first = std::move(items_.front());
    items_.erase(items_.begin());
    return first;
}

std::string TStack::PeekAt(size_t index) const
{
    return index < items_.size() ? items_[index] : std::string();
}

std::string TStack::Text() const
{
    std::string out;
    for (size_t i = 0; i < items_.size(); ++i) {
        if (i)
            out += "\r\n";
        out += items_[i];
    }
    return out;
}

// ---------------------------------------------------------------------------
// TRunControlStack

bool TRunControlStack::Pop(TRunControl& out)
{
    if (current_.empty())
        return false;
    out = std::move(current_.back());
    current_.pop_back();
    Refresh();
    return true;
}

void TRunControlStack::Truncate(size_t count)
{
    if (count < current_.size())
        current_.erase(current_.begin() + static_cast<long>(count), current_.end());
    Refresh();
}

bool TRunControlStack::PeekAt(size_t index, TRunControl& out) const
{
    if (index >= current_.size())
        return false;
    out = current_[index];
    return true;
}

void TRunControlStack::EnterLevel()
{
    // The levels' vectors are swapped, never copied or reallocated: entries of the
    // levels below stay where they are (a nested run may hold on to them). Past the
    // open levels, saved_ keeps emptied vectors for their capacity.
    if (depth_ == saved_.size())
        saved_.emplace_back();
    saved_[depth_].swap(current_);
    ++depth_;
    limit_ = nullptr;
}

void TRunControlStack::LeaveLevel()
{
    if (depth_ == 0)
        return;
    current_.clear();
    --depth_;
    current_.swap(saved_[depth_]);
    Refresh();
}

void TRunControlStack::ClearAll()
{
    ClearLevel();
    while (depth_ != 0) {
        LeaveLevel();
        ClearLevel();
    }
}

// ---------------------------------------------------------------------------
// TObjList

int32_t TObjList::Add(TObjNode* node)
{
    items_.push_back(node);
    return static_cast<int32_t>(items_.size() - 1);
}

TObjNode* TObjList::Find(const std::string& name) const
{
    for (TObjNode* n : items_)
        if (n && n->Name == name)
            return n;
    return nullptr;
}

int32_t TObjList::IndexOf(const std::string& name) const
{
    for (size_t i = 0; i < items_.size(); ++i)
        if (items_[i] && items_[i]->Name == name)
            return static_cast<int32_t>(i);
    return -1;
}

void TObjList::Put(size_t index, TObjNode* node)
{
    if (index >= items_.size())
        return;
    TObjNode*& slot = items_[index];
    if (slot != node)
        delete slot;
    slot = node;
}

void TObjList::Clear()
{
    std::vector<TObjNode*> nodes;
    nodes.swap(items_);
    for (TObjNode* n : nodes)
        delete n;
}
