// The word table: one dictionary for commands, variables, labels, objects, DLL
// functions and hash variables (256 buckets, byte-sum hash, insertion order kept).
#pragma once
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

enum : uint8_t {
    wkCommand = 0,
    wkLabel = 2,
    wkVariable = 3,
    wkObject = 4,
    wkDllFunc = 5,
    wkHash = 6,
};

class THash;

class THashNode {
public:
    std::string Name;
    std::string ArgSpec;
    std::string Value;
    std::string TypeText;
    uint8_t Kind = wkVariable;
    int32_t Id = 0;
    void* Payload = nullptr;
    bool Reserved = false;
    // A whole number and its text as a calculation last stored them in Value: while
    // Value is still that very text, a calculation reading it takes the number instead
    // of reading the digits again (the text alone decides, so nothing goes stale).
    uint8_t MemoLen = 0;   // 0: none
    char MemoText[23] = {};
    long long MemoNumber = 0;
    bool MemoMatches() const
    {
        return MemoLen != 0 && Value.size() == MemoLen && SameShortText(Value.data(), MemoText, MemoLen);
    }
    // n (1 to 22) bytes at a and b alike: overlapping 8- or 4-byte loads instead of a
    // library call, read on every use of a counter or a stored number.
    static bool SameShortText(const char* a, const char* b, size_t n)
    {
        if (n >= 8) {
            uint64_t x, y, z, w;
            std::memcpy(&x, a, 8);
            std::memcpy(&y, b, 8);
            std::memcpy(&z, a + n - 8, 8);
            std::memcpy(&w, b + n - 8, 8);
            if (x != y || z != w)
                return false;
            if (n <= 16)
                return true;
            std::memcpy(&x, a + 8, 8);
            std::memcpy(&y, b + 8, 8);
            return x == y;
        }
        if (n >= 4) {
            uint32_t x, y, z, w;
            std::memcpy(&x, a, 4);
            std::memcpy(&y, b, 4);
            std::memcpy(&z, a + n - 4, 4);
            std::memcpy(&w, b + n - 4, 4);
            return x == y && z == w;
        }
        for (size_t i = 0; i < n; ++i)
            if (a[i] != b[i])
                return false;
        return true;
    }
    void SetMemo(long long number)   // Value is the text of `number`
    {
        if (Value.size() >= sizeof MemoText) {
            MemoLen = 0;
            return;
        }
        MemoLen = static_cast<uint8_t>(Value.size());
        CopyShortText(MemoText, Value.data(), MemoLen);
        MemoNumber = number;
    }
    // Value and the memo made the n (1 to 22) bytes at text, the text of `number`.
    void SetNumberText(const char* text, size_t n, long long number)
    {
        if (Value.size() != n)
            Value.resize(n);
        CopyShortText(Value.data(), text, n);
        CopyShortText(MemoText, text, n);
        MemoLen = static_cast<uint8_t>(n);
        MemoNumber = number;
    }
    // Copies n (1 to 22) bytes by overlapping 8- or 4-byte moves.
    static void CopyShortText(char* to, const char* from, size_t n)
    {
        if (n >= 8) {
            uint64_t x, y, z;
            std::memcpy(&x, from, 8);
            std::memcpy(&z, from + n - 8, 8);
            if (n > 16) {
                std::memcpy(&y, from + 8, 8);
                std::memcpy(to + 8, &y, 8);
            }
            std::memcpy(to, &x, 8);
            std::memcpy(to + n - 8, &z, 8);
        } else if (n >= 4) {
            uint32_t x, z;
            std::memcpy(&x, from, 4);
            std::memcpy(&z, from + n - 4, 4);
            std::memcpy(to, &x, 4);
            std::memcpy(to + n - 4, &z, 4);
        } else {
            for (size_t i = 0; i < n; ++i)
                to[i] = from[i];
        }
    }
    // ArgSpec split into its slots by the run-time, kept with the word and split again
    // once ArgSpec no longer reads as Template (関数定義 and 名義変更 change it). Not
    // copied by CopyFrom: a copy splits its own.
    struct TArgSlots {
        std::string Template;
        std::vector<std::string> Slots;
        size_t Marks = 0;   // the "?" in Template: the arguments a function takes
    };
    std::unique_ptr<TArgSlots> ParsedArgs;

    THashNode(std::string name, std::string argSpec, std::string value, std::string typeText, int32_t id, uint8_t kind,
              void* payload, bool reserved);
    static THashNode* CreateVariable(std::string name, std::string value, int32_t id, bool reserved);
    ~THashNode();
    THashNode(const THashNode&) = delete;
    THashNode& operator=(const THashNode&) = delete;

    // Copies every field but Name; the copy shares (never owns) the other's payload.
    void CopyFrom(const THashNode& other);

    // Hash variables own their nested table.
    THash* Table() const { return Kind == wkHash ? static_cast<THash*>(Payload) : nullptr; }
    void SetTable(THash* table);   // makes the node kind 6 owning `table`
    void DropTable();              // frees an owned table, Payload becomes nil
    THash* ReleaseTable();         // gives up ownership of the owned table and returns it
    // Ownership lasts while Payload still refers to the owned table: clearing Payload
    // (or pointing it elsewhere) hands the table over without freeing it.
    bool OwnsTable() const { return Owned() != nullptr; }
    const char* Position() const { return static_cast<const char*>(Payload); }

private:
    THashNode() = default;   // for CreateVariable: the names move in once
    bool ownsPayload_ = false;
    THash* ownedTable_ = nullptr;   // the table set by SetTable
    THash* Owned() const;           // that table while this node still owns it
};

// The hash of a word's name: FNV-1a over the bytes, its high bits folded down (the
// index uses the low ones). Inline and a few operations a byte: names are short, and
// a lookup in a large table hashes the name on every use.
inline size_t NameHash(std::string_view name)
{
    uint64_t h = 14695981039346656037ULL;
    for (char ch : name) {
        h ^= static_cast<unsigned char>(ch);
        h *= 1099511628211ULL;
    }
    return static_cast<size_t>(h ^ (h >> 32));
}

class THash {
public:
    static constexpr int kBuckets = 256;
    int32_t Count = 0;

    THash() = default;
    ~THash();
    THash(const THash&) = delete;
    THash& operator=(const THash&) = delete;

    // Takes ownership of `node`. On the reserved-word error the node is freed and the
    // table stays unchanged.
    int32_t Add(THashNode* node);
    // Add for a node whose name FindExact has just not found, the table unchanged
    // since: the name is not looked for again.
    int32_t AddAbsent(THashNode* node);
    // Where FindExact looked for a name: AddAbsent with it (for a node of that name,
    // the table unchanged since) does not hash the name again.
    struct TSpot {
        int Bucket = 0;
        bool Hashed = false;   // Hash is the name's index hash
        size_t Hash = 0;
    };
    THashNode* FindExact(std::string_view name, TSpot& spot) const;   // spot: fresh or from Prefetch
    int32_t AddAbsent(THashNode* node, const TSpot& spot);
    THashNode* Find(std::string_view name, bool fold) const;
    std::string ValueOf(std::string_view name, bool fold) const;
    int32_t Remove(std::string_view name, bool fold);
    void Clear();
    // Empties the table at once at the end of a process: its nodes go to a holder that
    // is never freed, since the system takes the memory back anyway and freeing a large
    // table node by node only costs time. The holder stays reachable, so leak checkers
    // report nothing; the nodes stay valid for anything that still refers to them.
    void KeepUntilExit();
    std::vector<THashNode*> Nodes() const;
    std::string Names() const;
    std::string Pairs() const;
    void LoadPairs(std::string_view text);
    static int HashOf(std::string_view name);

    // Exact lookup without folding (the common case on hot paths).
    THashNode* FindExact(std::string_view name) const;
    // Asks the processor to fetch the index slot where a lookup of `name` in a large
    // table starts, while other work goes on; changes nothing. The name's hash is
    // noted in `spot`: FindExact with that spot (for that name) does not work it out
    // again, whatever happened to the table in between.
    void Prefetch(std::string_view name, TSpot& spot) const;

    // Bumped whenever a name is added, removed or replaced by another node, so a
    // cached word found by name can tell whether it is still the one the name finds.
    uint64_t Generation() const { return generation_; }

    // Lookups always scan the byte-sum buckets, never the name index (kept either
    // way): the reference walker's way, PORUKANA_REFERENCE_WALKER=1.
    static bool ScanBuckets;

private:
    // The buckets give the enumeration order scripts see; the index finds a name in
    // constant time. Its keys view the nodes' own names, which never change.
    std::vector<THashNode*> buckets_[kBuckets];
    static constexpr size_t kScanLimit = 8;   // buckets up to this size are scanned
    // The index: the names' hashes and nodes in the order they came (`entries_`), and
    // open addressing over a power-of-two array of positions in it (`slots_`, linear
    // probing, at most half in use). A slot takes four bytes, so a large table's
    // index stays small enough for the processor's caches; a removed entry keeps its
    // place, marked in its slot, until the next resize packs the entries.
    struct TIndexEntry {
        size_t Hash = 0;
        THashNode* Node = nullptr;   // nil: removed
    };
    std::vector<uint32_t> slots_;   // 0: never used; 1: removed; else entry + 2
    std::vector<TIndexEntry> entries_;
    size_t indexLive_ = 0;   // entries holding a node
    THashNode* IndexFind(std::string_view name) const;
    THashNode* IndexFind(std::string_view name, size_t hash) const;
    void IndexInsert(THashNode* node);   // a name not in the index
    void IndexInsert(THashNode* node, size_t hash);
    void IndexErase(const THashNode* node);
    void IndexReplace(const THashNode* old, THashNode* by);   // same name
    uint32_t* IndexSlotOf(const THashNode* node);
    void IndexResize(size_t capacity);
    uint64_t generation_ = 0;
    bool EraseFirst(const std::string& name);   // deletes the first node of that name
};

// Sum of the bytes of a name as unsigned values, up to the first zero byte: the hash
// of the word table (mod 256) and of the container's entry index (mod 1024).
inline unsigned ByteSum(std::string_view name)
{
    unsigned sum = 0;
    for (char ch : name) {
        if (ch == '\0')
            break;
        sum += static_cast<unsigned char>(ch);
    }
    return sum;
}

bool IsHiragana(const char* p);
std::string FoldOkurigana(std::string_view text);
// Folds into `out` (cleared first); reuses its capacity so lookups do not allocate.
void FoldOkuriganaInto(std::string_view text, std::string& out);
