// Entry index of the packed container.
#include "core/mix_index.h"

#include "core/hash.h"

int TMixIndex::HashOf(std::string_view name)
{
    return static_cast<int>(ByteSum(name) % kBuckets);
}

int32_t TMixIndex::Add(TMixNode* node)
{
    if (!node)
        return -1;
    std::vector<TMixNode*>& bucket = buckets_[HashOf(node->Name)];
    for (TMixNode*& slot : bucket) {
        if (slot->Name == node->Name) {
            if (slot != node) {
                delete slot;
                slot = node;
            }
            return Count;
        }
    }
    bucket.push_back(node);
    return ++Count;
}

TMixNode* TMixIndex::Find(std::string_view name) const
{
    if (name.empty())
        return nullptr;
    for (TMixNode* n : buckets_[HashOf(name)])
        if (n->Name == name)
            return n;
    return nullptr;
}

void TMixIndex::Clear()
{
    for (auto& bucket : buckets_) {
        for (TMixNode* n : bucket)
            delete n;
        bucket.clear();
    }
    Count = 0;
}

std::vector<TMixNode*> TMixIndex::Nodes() const
{
    std::vector<TMixNode*> out;
    out.reserve(Count > 0 ? static_cast<size_t>(Count) : 0);
    for (const auto& bucket : buckets_)
        out.insert(out.end(), bucket.begin(), bucket.end());
    return out;
}
