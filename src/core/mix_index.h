// Entry index of the packed container: entry names mapped to their place in the
// container file (1024 buckets, byte-sum hash, exact names, no removal).
#pragma once
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

struct TMixNode {
    std::string Name;
    int32_t Offset = 0;      // where the entry's bytes start in the container file
    int32_t Size = 0;        // length in bytes
    int32_t Scrambled = 0;   // 1 = stored scrambled

    TMixNode() = default;
    TMixNode(std::string name, int32_t offset, int32_t size, int32_t scrambled)
        : Name(std::move(name)), Offset(offset), Size(size), Scrambled(scrambled)
    {
    }
};

class TMixIndex {
public:
    static constexpr int kBuckets = 1024;
    int32_t Count = 0;

    TMixIndex() = default;
    ~TMixIndex() { Clear(); }
    TMixIndex(const TMixIndex&) = delete;
    TMixIndex& operator=(const TMixIndex&) = delete;

    // Takes ownership; a node of the same name is freed and replaced in its place.
    // Returns Count, or -1 for a nil node.
    int32_t Add(TMixNode* node);
    // Exact-name lookup; nil for an empty or absent name.
    TMixNode* Find(std::string_view name) const;
    void Clear();
    // Every node: bucket 0 to 1023, insertion order within a bucket.
    std::vector<TMixNode*> Nodes() const;
    static int HashOf(std::string_view name);

private:
    std::vector<TMixNode*> buckets_[kBuckets];
};
