// The word table: nodes, the byte-sum hashed table and okurigana folding.
#include "core/hash.h"

#include <functional>

#include "core/error.h"
#include "core/sjis.h"
#include "core/text.h"
#include "core/walker_mode.h"

// ---------------------------------------------------------------------------
// THashNode

THashNode::THashNode(std::string name, std::string argSpec, std::string value, std::string typeText, int32_t id,
                     uint8_t kind, void* payload, bool reserved)
    : Name(std::move(name)), ArgSpec(std::move(argSpec)), Value(std::move(value)), TypeText(std::move(typeText)),
      Kind(kind), Id(id), Payload(payload), Reserved(reserved)
{
}

THashNode* THashNode::CreateVariable(std::string name, std::string value, int32_t id, bool reserved)
{
    auto* n = new THashNode();
    n->Name = std::move(name);
    n->Value = std::move(value);
    n->Id = id;
    n->Reserved = reserved;
    return n;
}

THashNode::~THashNode()
{
    delete Owned();
}

THash* THashNode::Owned() const
{
    // Ownership lapses once Payload no longer refers to the table: a caller that hands
    // the table to another node clears or redirects Payload first.
    return ownsPayload_ && Payload == ownedTable_ ? ownedTable_ : nullptr;
}

void THashNode::CopyFrom(const THashNode& other)
{
    if (&other == this)
        return;
    // A table this node owns is released unless the other node shares that very
    // table (then it stays ours: the copy must not leave it without an owner).
    if (THash* own = Owned(); own != other.Payload) {
        delete own;
        ownedTable_ = nullptr;
        ownsPayload_ = false;
    }
    ArgSpec = other.ArgSpec;
    Value = other.Value;
    TypeText = other.TypeText;
    Kind = other.Kind;
    Id = other.Id;
    Payload = other.Payload;
    Reserved = other.Reserved;
}

void THashNode::SetTable(THash* table)
{
    if (THash* own = Owned(); own != table)
        delete own;
    Kind = wkHash;
    Payload = table;
    ownedTable_ = table;
    ownsPayload_ = table != nullptr;
}

void THashNode::DropTable()
{
    if (THash* own = Owned()) {
        delete own;
        Payload = nullptr;
    }
    ownedTable_ = nullptr;
    ownsPayload_ = false;
    if (Kind == wkHash)
        Payload = nullptr;
}

THash* THashNode::ReleaseTable()
{
    THash* t = Owned();
    ownedTable_ = nullptr;
    ownsPayload_ = false;
    return t;
}

// ---------------------------------------------------------------------------
// THash

bool THash::ScanBuckets = ReferenceWalker();

THash::~THash()
{
    Clear();
}

int THash::HashOf(std::string_view name)
{
    return static_cast<int>(ByteSum(name) % kBuckets);
}

int32_t THash::Add(THashNode* node)
{
    if (!node)
        return -1;
    std::vector<THashNode*>& bucket = buckets_[HashOf(node->Name)];
    // Whether the name may be there already: a short bucket is scanned anyway; for a
    // crowded one the index tells, so a new name (the common case) skips the walk.
    const bool known = ScanBuckets || bucket.size() <= kScanLimit || IndexFind(node->Name) != nullptr;
    for (THashNode*& slot : bucket) {
        if (!known)
            break;
        if (slot->Name != node->Name)
            continue;
        if (slot == node)
            return Count;
        if (slot->Reserved) {
            std::string msg = "\"" + node->Name + "\"は予約語なので、登録できません。";
            delete node;
            Raise(msg);
        }
        IndexReplace(slot, node);
        delete slot;
        slot = node;
        ++generation_;
        return Count;
    }
    bucket.push_back(node);
    IndexInsert(node);
    ++generation_;
    return ++Count;
}

int32_t THash::AddAbsent(THashNode* node)
{
    if (!node)
        return -1;
    if (ScanBuckets || node->Name.empty())
        return Add(node);
    buckets_[HashOf(node->Name)].push_back(node);
    IndexInsert(node);
    ++generation_;
    return ++Count;
}

int32_t THash::AddAbsent(THashNode* node, const TSpot& spot)
{
    if (!node)
        return -1;
    // FindExact finds no empty name, but Add replaces one already there.
    if (ScanBuckets || node->Name.empty())
        return Add(node);
    buckets_[spot.Bucket].push_back(node);
    IndexInsert(node, spot.Hashed ? spot.Hash : NameHash(node->Name));
    ++generation_;
    return ++Count;
}

THashNode* THash::IndexFind(std::string_view name) const
{
    if (slots_.empty())
        return nullptr;
    return IndexFind(name, NameHash(name));
}

namespace {

constexpr uint32_t kSlotEmpty = 0, kSlotRemoved = 1, kSlotFirst = 2;

}   // namespace

THashNode* THash::IndexFind(std::string_view name, size_t h) const
{
    const size_t mask = slots_.size() - 1;
    for (size_t i = h & mask;; i = (i + 1) & mask) {
        const uint32_t s = slots_[i];
        if (s == kSlotEmpty)
            return nullptr;
        if (s == kSlotRemoved)
            continue;
        const TIndexEntry& e = entries_[s - kSlotFirst];
        if (e.Hash == h && e.Node->Name == name)
            return e.Node;
    }
}

void THash::IndexResize(size_t capacity)
{
    // The live entries packed in their order, then every slot made again.
    size_t kept = 0;
    for (const TIndexEntry& e : entries_)
        if (e.Node)
            entries_[kept++] = e;
    entries_.resize(kept);
    slots_.assign(capacity, kSlotEmpty);
    const size_t mask = capacity - 1;
    for (size_t k = 0; k < kept; ++k) {
        size_t i = entries_[k].Hash & mask;
        while (slots_[i] != kSlotEmpty)
            i = (i + 1) & mask;
        slots_[i] = static_cast<uint32_t>(k + kSlotFirst);
    }
    indexLive_ = kept;
}

void THash::IndexInsert(THashNode* node)
{
    IndexInsert(node, NameHash(node->Name));
}

void THash::IndexInsert(THashNode* node, size_t h)
{
    // Every entry (removed ones too) holds a slot: at most half of them in use keeps
    // the probes short. A resize leaves room for the live entries three times over.
    if ((entries_.size() + 1) * 2 > slots_.size()) {
        size_t capacity = 16;
        while (capacity < (indexLive_ + 1) * 3)
            capacity *= 2;
        IndexResize(capacity);
    }
    const size_t mask = slots_.size() - 1;
    size_t i = h & mask;
    while (slots_[i] >= kSlotFirst)
        i = (i + 1) & mask;
    slots_[i] = static_cast<uint32_t>(entries_.size() + kSlotFirst);
    entries_.push_back(TIndexEntry{h, node});
    ++indexLive_;
}

// The slot of a node in the index, or null.
uint32_t* THash::IndexSlotOf(const THashNode* node)
{
    if (slots_.empty())
        return nullptr;
    const size_t mask = slots_.size() - 1;
    for (size_t i = NameHash(node->Name) & mask; slots_[i] != kSlotEmpty; i = (i + 1) & mask)
        if (slots_[i] >= kSlotFirst && entries_[slots_[i] - kSlotFirst].Node == node)
            return &slots_[i];
    return nullptr;
}

void THash::IndexErase(const THashNode* node)
{
    if (uint32_t* slot = IndexSlotOf(node)) {
        entries_[*slot - kSlotFirst].Node = nullptr;
        *slot = kSlotRemoved;
        --indexLive_;
    }
}

void THash::IndexReplace(const THashNode* old, THashNode* by)
{
    if (uint32_t* slot = IndexSlotOf(old))
        entries_[*slot - kSlotFirst].Node = by;
}

THashNode* THash::FindExact(std::string_view name) const
{
    if (name.empty())
        return nullptr;
    // A short bucket is scanned: comparing a few names costs less than hashing the
    // name for the index. Crowded buckets (large tables) go through the index.
    const std::vector<THashNode*>& bucket = buckets_[HashOf(name)];
    if (ScanBuckets || bucket.size() <= kScanLimit) {
        for (THashNode* n : bucket)
            if (n->Name == name)
                return n;
        return nullptr;
    }
    return IndexFind(name);
}

void THash::Prefetch(std::string_view name, TSpot& spot) const
{
    // Small indexes stay in the cache anyway.
    constexpr size_t kLargeIndex = 16384;
    if (ScanBuckets || slots_.size() < kLargeIndex)
        return;
    spot.Hash = NameHash(name);
    spot.Hashed = true;
    __builtin_prefetch(&slots_[spot.Hash & (slots_.size() - 1)]);
}

THashNode* THash::FindExact(std::string_view name, TSpot& spot) const
{
    spot.Bucket = HashOf(name);
    if (name.empty())
        return nullptr;
    const std::vector<THashNode*>& bucket = buckets_[spot.Bucket];
    if (ScanBuckets || bucket.size() <= kScanLimit) {
        for (THashNode* n : bucket)
            if (n->Name == name)
                return n;
        return nullptr;
    }
    if (slots_.empty())
        return nullptr;
    if (!spot.Hashed)
        spot.Hash = NameHash(name);
    spot.Hashed = true;
    return IndexFind(name, spot.Hash);
}

THashNode* THash::Find(std::string_view name, bool fold) const
{
    if (name.empty())
        return nullptr;
    if (fold) {
        // One scratch key per thread: lookups allocate only while the key grows.
        thread_local std::string key;
        FoldOkuriganaInto(name, key);
        if (key != name)
            if (THashNode* n = FindExact(key))
                return n;
    }
    return FindExact(name);
}

std::string THash::ValueOf(std::string_view name, bool fold) const
{
    const THashNode* n = Find(name, fold);
    return n ? n->Value : std::string();
}

bool THash::EraseFirst(const std::string& name)
{
    if (!ScanBuckets && buckets_[HashOf(name)].size() > kScanLimit && !IndexFind(name))
        return false;
    std::vector<THashNode*>& bucket = buckets_[HashOf(name)];
    for (auto it = bucket.begin(); it != bucket.end(); ++it) {
        if ((*it)->Name == name) {
            THashNode* victim = *it;
            bucket.erase(it);
            IndexErase(victim);
            ++generation_;
            --Count;
            delete victim;
            return true;
        }
    }
    return false;
}

int32_t THash::Remove(std::string_view name, bool fold)
{
    // Own copy: `name` may view a node that the first step deletes.
    const std::string plain(name);
    int32_t result = -1;
    if (fold && EraseFirst(FoldOkurigana(plain)))
        result = Count;
    if (EraseFirst(plain))
        result = Count;
    return result;
}

void THash::Clear()
{
    std::vector<uint32_t>().swap(slots_);
    std::vector<TIndexEntry>().swap(entries_);
    indexLive_ = 0;
    ++generation_;
    for (auto& bucket : buckets_) {
        // Detach first: a node's destruction frees its nested table, never this one,
        // but the bucket must not be walked while it changes.
        std::vector<THashNode*> nodes;
        nodes.swap(bucket);
        for (THashNode* n : nodes)
            delete n;
    }
    Count = 0;
}

void THash::KeepUntilExit()
{
    static std::vector<THash*>* const kept = new std::vector<THash*>();
    THash* holder = new THash();
    for (int b = 0; b < kBuckets; ++b)
        holder->buckets_[b].swap(buckets_[b]);
    holder->slots_.swap(slots_);
    holder->entries_.swap(entries_);
    holder->Count = Count;
    kept->push_back(holder);
    indexLive_ = 0;
    ++generation_;
    Count = 0;
}

std::vector<THashNode*> THash::Nodes() const
{
    std::vector<THashNode*> out;
    out.reserve(Count > 0 ? static_cast<size_t>(Count) : 0);
    for (const auto& bucket : buckets_)
        out.insert(out.end(), bucket.begin(), bucket.end());
    return out;
}

std::string THash::Names() const
{
    std::string out;
    for (const auto& bucket : buckets_)
        for (const THashNode* n : bucket) {
            out += n->Name;
            out += "\r\n";
        }
    return Trim(out);
}

std::string THash::Pairs() const
{
    std::string out;
    for (const auto& bucket : buckets_)
        for (const THashNode* n : bucket) {
            out += n->Name;
            out += '=';
            out += n->Value;
            out += "\r\n";
        }
    return Trim(out);
}

void THash::LoadPairs(std::string_view text)
{
    size_t i = 0;
    const size_t n = text.size();
    while (i < n) {
        size_t end = i;
        while (end < n && text[end] != '\r' && text[end] != '\n')
            ++end;
        std::string_view line = text.substr(i, end - i);
        i = end;
        if (i < n)
            i += (text[i] == '\r' && i + 1 < n && text[i + 1] == '\n') ? 2 : 1;

        std::string_view name = line, value;
        const size_t eq = line.find('=');
        if (eq != std::string_view::npos) {
            name = line.substr(0, eq);
            value = line.substr(eq + 1);
        }
        name = TrimView(name);
        // A nameless line (blank, or "=..." alone) could never be found again.
        if (name.empty())
            continue;
        Add(THashNode::CreateVariable(std::string(name), std::string(value), 0, false));
    }
}

// ---------------------------------------------------------------------------
// Folding

bool IsHiragana(const char* p)
{
    const unsigned code = (static_cast<unsigned char>(p[0]) << 8) | static_cast<unsigned char>(p[1]);
    return code >= 0x82A0 && code <= 0x833E;
}

void FoldOkuriganaInto(std::string_view text, std::string& out)
{
    // Folding into the string that holds the text would clear the text first.
    if (!out.empty() && text.data() >= out.data() && text.data() < out.data() + out.size()) {
        std::string copy(text);
        FoldOkuriganaInto(copy, out);
        return;
    }
    out.clear();
    const char* p = text.data();
    const size_t n = text.size();
    bool afterNonHiragana = false;
    size_t i = 0;
    auto isDouble = [&](size_t at) {
        return at + 1 < n && IsLeadByte(static_cast<unsigned char>(p[at])) && p[at + 1] != '\0';
    };
    while (i < n) {
        if (!isDouble(i)) {
            out.push_back(p[i]);
            ++i;
            continue;
        }
        if (!IsHiragana(p + i)) {
            out.append(p + i, 2);
            afterNonHiragana = true;
            i += 2;
        } else if (!afterNonHiragana) {
            out.append(p + i, 2);
            i += 2;
        } else {
            // Okurigana: drop the whole run of hiragana after a kanji or katakana.
            i += 2;
            while (isDouble(i) && IsHiragana(p + i))
                i += 2;
            afterNonHiragana = false;
        }
    }
    if (out.empty())
        out.assign(text);
}

std::string FoldOkurigana(std::string_view text)
{
    std::string out;
    FoldOkuriganaInto(text, out);
    return out;
}
