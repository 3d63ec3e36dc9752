// Word table: folding, hashing, replacement, reserved words, enumeration order,
// pairs, node ownership; and the container's entry index.
#include <gtest/gtest.h>
#include <malloc.h>

#include <algorithm>
#include <map>
#include <memory>

#include "core/error.h"
#include "core/hash.h"
#include "core/mix_index.h"
#include "core/text.h"

namespace {

THashNode* Command(const std::string& name, int id)
{
    return new THashNode(name, "?を", "", "", id, wkCommand, nullptr, true);
}

THashNode* Var(const std::string& name, const std::string& value)
{
    return THashNode::CreateVariable(name, value, 0, false);
}

// Bytes the allocator has handed out; 0 when it keeps no statistics (as under
// AddressSanitizer).
size_t BytesInUse()
{
    struct mallinfo2 mi = mallinfo2();
    return mi.uordblks + mi.hblkhd;
}

std::string NamesOf(const std::vector<THashNode*>& nodes)
{
    std::string s;
    for (auto* n : nodes)
        s += n->Name + "|";
    return s;
}

}   // namespace

TEST(FoldOkurigana, FoldsTheTrailingHiraganaOfEachKanjiRun)
{
    struct Case {
        const char* in;
        const char* out;
    } cases[] = {
        {"繰り返す", "繰返"},     {"取り込む", "取込"},
        {"違えば", "違"},         {"抜ける", "抜"},
        {"表示する", "表示"},     {"終わり", "終"},
        {"繰返す", "繰返"},       {"繰返", "繰返"},
        {"もし", "もし"},         {"ならば", "ならば"},
        {"ループ", "ループ"},     {"おわり", "おわり"},
        {"ゲームする", "ゲーム"},   // katakana and "ー" count as non-hiragana
        {"ぁあ", "ぁ"},             // small ぁ is outside the hiragana range
        {"A表示する", "A表示"},     // a single byte before is copied
        {"書きA込む", "書A込"},     // a single byte ends the dropped run
        {"表Aす", "表A"},           // a single byte leaves the flag set
        {"abc", "abc"},           {"", ""},
        {"表\x82", "表\x82"},   // lead byte as the last byte
    };
    for (const auto& c : cases) {
        EXPECT_EQ(FoldOkurigana(c.in), c.out) << c.in;
        std::string out = "previous content";
        FoldOkuriganaInto(c.in, out);
        EXPECT_EQ(out, c.out) << c.in;
    }
}

TEST(FoldOkurigana, IntoReusesCapacityAndAcceptsItsOwnSource)
{
    std::string s = "繰り返す";
    FoldOkuriganaInto(s, s);
    EXPECT_EQ(s, "繰返");
    std::string out;
    out.reserve(64);
    const char* before = out.data();
    FoldOkuriganaInto("表示する", out);
    EXPECT_EQ(out.data(), before);
}

TEST(IsHiragana, RangeBoundaries)
{
    struct Case {
        const char* ch;
        bool hiragana;
    } cases[] = {
        {"\x82\x9F", false},                                             // ぁ
        {"\x82\xA0", true},                                              // あ
        {"\x82\xF1", true},                                              // ん
        {"\x83\x3E", true},  {"\x83\x3F", false}, {"\x83\x40", false},   // ァ
        {"\x95\x5C", false},                                             // 表
    };
    for (const auto& c : cases)
        EXPECT_EQ(IsHiragana(c.ch), c.hiragana)
            << std::hex << (int)(unsigned char)c.ch[0] << (int)(unsigned char)c.ch[1];
}

TEST(THash, HashIsByteSumModulo256StoppingAtZero)
{
    EXPECT_EQ(THash::HashOf("ab"), (97 + 98) % 256);
    EXPECT_EQ(THash::HashOf("ab"), THash::HashOf("ba"));
    EXPECT_EQ(THash::HashOf("\x80\x80"), 0);
    EXPECT_EQ(THash::HashOf("\xFF\x02"), 1);
    EXPECT_EQ(THash::HashOf(std::string_view("a\0b", 3)), 97);
    EXPECT_EQ(THash::HashOf(""), 0);
    EXPECT_EQ(THash::HashOf("表"), (0x95 + 0x5C) % 256);
}

TEST(THash, AddingTheSameNameReplacesInPlace)
{
    THash t;
    EXPECT_EQ(t.Add(Var("ab", "1")), 1);
    EXPECT_EQ(t.Add(Var("ba", "2")), 2);   // same bucket as "ab"
    THashNode* second = Var("ab", "3");
    EXPECT_EQ(t.Add(second), 2);
    EXPECT_EQ(t.Count, 2);
    EXPECT_EQ(t.Find("ab", false), second);
    EXPECT_EQ(t.Find("ba", false)->Value, "2");
    EXPECT_EQ(NamesOf(t.Nodes()), "ab|ba|");
    EXPECT_EQ(t.Pairs(), "ab=3\r\nba=2");
    // Adding a node that is already in the table changes nothing.
    EXPECT_EQ(t.Add(second), 2);
    EXPECT_EQ(t.Find("ab", false)->Value, "3");
    EXPECT_EQ(t.Add(nullptr), -1);
}

TEST(THash, ReservedWordsCannotBeReplaced)
{
    struct Case {
        THashNode* existing;
        const char* name;
        const char* message;
    } cases[] = {
        {Command("表示", 1), "表示", "\"表示\"は予約語なので、登録できません。"},
        {new THashNode("ラベル", "", "", "main.prk", 0, wkLabel, nullptr, true), "ラベル",
         "\"ラベル\"は予約語なので、登録できません。"},
        {new THashNode("定数", "", "5", "定数e", -1, wkVariable, nullptr, true), "定数",
         "\"定数\"は予約語なので、登録できません。"},
    };
    for (const auto& c : cases) {
        THash t;
        t.Add(Var("other", "o"));
        t.Add(c.existing);
        try {
            t.Add(Var(c.name, "new"));
            ADD_FAILURE() << "no error for " << c.name;
        } catch (const EPoru& e) {
            EXPECT_EQ(e.Message, c.message);
        }
        EXPECT_EQ(t.Count, 2);
        EXPECT_EQ(t.Find(c.name, false), c.existing);
        EXPECT_EQ(c.existing->Value, c.existing->Kind == wkVariable ? "5" : "");
    }
}

TEST(THash, FoldedLookup)
{
    THash t;
    THashNode* loop = Command("繰返", 10);
    THashNode* show = Command("表示", 11);
    t.Add(loop);
    t.Add(show);
    struct Case {
        const char* name;
        bool fold;
        THashNode* expected;
    } cases[] = {
        {"繰り返す", true, loop}, {"繰り返す", false, nullptr}, {"繰返す", true, loop},       {"繰返", false, loop},
        {"繰返", true, loop},     {"表示する", true, show},     {"表示する", false, nullptr}, {"", true, nullptr},
        {"", false, nullptr},     {"未登録", true, nullptr},
    };
    for (const auto& c : cases)
        EXPECT_EQ(t.Find(c.name, c.fold), c.expected) << c.name << " fold=" << c.fold;
    EXPECT_EQ(t.FindExact("繰り返す"), nullptr);
    EXPECT_EQ(t.FindExact("繰返"), loop);
    // Even a node stored under the empty name is never found.
    t.Add(Var("", "v"));
    EXPECT_EQ(t.Find("", false), nullptr);
    EXPECT_EQ(t.Find("", true), nullptr);
}

TEST(THash, FoldedLookupPrefersTheFoldedWord)
{
    THash t;
    THashNode* folded = Var("表示", "folded");
    THashNode* plain = Var("表示する", "plain");
    t.Add(folded);
    t.Add(plain);
    EXPECT_EQ(t.Find("表示する", true), folded);
    EXPECT_EQ(t.Find("表示する", false), plain);
    EXPECT_EQ(t.ValueOf("表示する", true), "folded");
    EXPECT_EQ(t.ValueOf("表示する", false), "plain");
    EXPECT_EQ(t.ValueOf("無い", true), "");
}

TEST(THash, Remove)
{
    struct Case {
        std::vector<std::string> words;
        const char* name;
        bool fold;
        int32_t result;
        const char* remaining;   // Names() afterwards
    } cases[] = {
        // both the folded and the unfolded form exist: both go
        {{"表示", "表示する", "x"}, "表示する", true, 1, "x"},
        {{"表示", "表示する", "x"}, "表示する", false, 2, "表示\r\nx"},   // buckets 37, 120
        {{"表示", "x"}, "表示する", true, 1, "x"},
        {{"表示する", "x"}, "表示する", true, 1, "x"},
        {{"表示", "x"}, "表示する", false, -1, "表示\r\nx"},
        {{"x"}, "y", true, -1, "x"},
        {{"ab", "ba"}, "ba", false, 1, "ab"},
    };
    for (const auto& c : cases) {
        THash t;
        for (const auto& w : c.words)
            t.Add(Var(w, ""));
        EXPECT_EQ(t.Remove(c.name, c.fold), c.result) << c.name;
        EXPECT_EQ(t.Names(), c.remaining) << c.name;
        EXPECT_EQ(t.Count, static_cast<int32_t>(t.Nodes().size()));
    }
}

TEST(THash, RemoveByTheNameOfTheNodeItDeletes)
{
    THash t;
    THashNode* n = Var("名前", "");
    t.Add(n);
    t.Add(Var("他", ""));
    EXPECT_EQ(t.Remove(n->Name, true), 1);
    EXPECT_EQ(t.Find("名前", false), nullptr);
}

TEST(THash, EnumerationIsByBucketThenInsertion)
{
    THash t;
    // buckets: "b" 98, "a" 97, "ab" and "ba" 195, "\x01" 1
    for (const char* n : {"b", "ab", "a", "ba", "\x01z"})
        t.Add(Var(n, std::string(n) + "v"));
    EXPECT_EQ(NamesOf(t.Nodes()), "a|b|\x01z|ab|ba|");
    EXPECT_EQ(t.Names(), "a\r\nb\r\n\x01z\r\nab\r\nba");
    EXPECT_EQ(t.Pairs(), "a=av\r\nb=bv\r\n\x01z=\x01zv\r\nab=abv\r\nba=bav");
    EXPECT_EQ(t.Nodes().size(), 5u);
}

TEST(THash, NamesAndPairsAreTrimmed)
{
    THash empty;
    EXPECT_EQ(empty.Pairs(), "");
    EXPECT_EQ(empty.Names(), "");
    EXPECT_TRUE(empty.Nodes().empty());

    THash t;
    t.Add(Var("k", "value  \t"));
    EXPECT_EQ(t.Pairs(), "k=value");
    EXPECT_EQ(t.Names(), "k");
}

TEST(THash, LoadPairs)
{
    struct Case {
        const char* text;
        const char* pairs;   // Pairs() afterwards
        int32_t count;
    } cases[] = {
        {"a=1\r\nb = 2\r\na=3", "a=3\r\nb= 2", 2},
        {"a=1\nb=2\rc=3\r\n", "a=1\r\nb=2\r\nc=3", 3},
        {"  key  =x=y ", "key=x=y", 1},
        {"名前\r\n", "名前=", 1},
        {"\r\n\r\n  \r\n=orphan\r\nz=1", "z=1", 1},
        {"", "", 0},
    };
    for (const auto& c : cases) {
        THash t;
        t.LoadPairs(c.text);
        EXPECT_EQ(t.Pairs(), c.pairs) << c.text;
        EXPECT_EQ(t.Count, c.count) << c.text;
    }

    THash t;
    t.LoadPairs("a=1\r\nb = 2\r\na=3");
    ASSERT_NE(t.Find("b", false), nullptr);
    EXPECT_EQ(t.Find("b", false)->Value, " 2");
    EXPECT_EQ(t.Find("a", false)->Value, "3");
    EXPECT_EQ(t.Find("a", false)->Kind, wkVariable);
    EXPECT_FALSE(t.Find("a", false)->Reserved);
}

TEST(THash, LoadingPairsReproducesTheTable)
{
    THash src;
    src.Add(Var("甲", "一"));
    src.Add(Var("乙", "a=b"));
    src.Add(Var("丙", " 前の空白"));
    src.Add(Var("丁", ""));
    src.Add(Var("戊", "最後"));
    THash copy;
    copy.LoadPairs(src.Pairs());
    EXPECT_EQ(copy.Pairs(), src.Pairs());
    EXPECT_EQ(copy.Count, src.Count);
    for (auto* n : src.Nodes())
        EXPECT_EQ(copy.ValueOf(n->Name, false), n->Value) << n->Name;
}

TEST(THash, ClearEmptiesAndTheTableStaysUsable)
{
    THash t;
    for (int i = 0; i < 600; ++i)
        t.Add(Var("w" + std::to_string(i), std::to_string(i)));
    EXPECT_EQ(t.Count, 600);
    EXPECT_EQ(t.ValueOf("w599", false), "599");
    t.Clear();
    EXPECT_EQ(t.Count, 0);
    EXPECT_EQ(t.Find("w1", false), nullptr);
    EXPECT_TRUE(t.Nodes().empty());
    EXPECT_EQ(t.Add(Command("表示", 1)), 1);
    // After a clear, a reserved word can be registered again.
    t.Clear();
    EXPECT_EQ(t.Add(Var("表示", "")), 1);
}

// The name index and the bucket scan must agree after any mix of adds, replacements,
// removals (plain and folded), reserved refusals and clears; names with the same byte
// sum share a bucket, so both paths are exercised on crowded buckets.
TEST(THash, NameIndexAgreesWithTheBucketScan)
{
    THash indexed, scanned;
    std::map<std::string, std::string> model;
    unsigned seed = 12345;
    auto next = [&] {
        seed = seed * 1103515245u + 12345u;
        return (seed >> 8) % 1000u;
    };
    const std::vector<std::string> pool = {"ab", "ba", "a\x82\xA0", "\x8A\xBF\x82\xA0", "\x8A\xBF", "x", "xy", "yx",
                                           "k1", "1k", "fixed"};
    // Runs one operation; true when the table refused it (a reserved name).
    auto run = [&](THash& h, bool scan, unsigned op, const std::string& name, const std::string& value) {
        THash::ScanBuckets = scan;
        bool refused = false;
        try {
            if (op < 600) {
                // A name just looked for in vain may be added without a second look,
                // and without hashing it again when the look is kept.
                THash::TSpot spot;
                if (op % 4 == 0 && !h.FindExact(name, spot))
                    h.AddAbsent(Var(name, value), spot);
                else if (op % 4 == 2 && !h.FindExact(name))
                    h.AddAbsent(Var(name, value));
                else
                    h.Add(Var(name, value));
            } else if (op < 900) {
                h.Remove(name, op % 2 == 0);
            } else if (op < 995) {
                if (!h.FindExact(name))
                    h.Add(Command(name, 1));
            } else {
                h.Clear();
            }
        } catch (const EPoru&) {
            refused = true;
        }
        THash::ScanBuckets = false;
        return refused;
    };
    int refusals = 0;
    for (int step = 0; step < 4000; ++step) {
        const unsigned op = next();
        std::string name;
        if (op % 3 == 0) {
            name = pool[next() % pool.size()];
        } else if (op % 3 == 1) {
            // 31 names of one byte sum ("ac" sums as "bb"): one crowded bucket
            const unsigned k = next() % 31;
            name = std::string(2 * k, 'b');
            for (unsigned i = k; i < 30; ++i)
                name += "ac";
        } else {
            name = "n" + std::to_string(next() % 300);
        }
        const std::string value = std::to_string(step);
        const bool a = run(indexed, false, op, name, value);
        const bool b = run(scanned, true, op, name, value);
        ASSERT_EQ(a, b) << step << " " << name;
        refusals += a;
    }
    EXPECT_GT(refusals, 0);   // the reserved path was taken
    ASSERT_EQ(indexed.Count, scanned.Count);
    EXPECT_EQ(NamesOf(indexed.Nodes()), NamesOf(scanned.Nodes()));
    EXPECT_EQ(indexed.Pairs(), scanned.Pairs());
    for (const THashNode* n : scanned.Nodes()) {
        THashNode* found = indexed.FindExact(n->Name);
        ASSERT_NE(found, nullptr) << n->Name;
        EXPECT_EQ(found->Value, n->Value);
        THash::ScanBuckets = true;
        const THashNode* viaScan = scanned.Find(n->Name, true);
        THash::ScanBuckets = false;
        const THashNode* viaIndex = indexed.Find(n->Name, true);
        ASSERT_NE(viaScan, nullptr);
        ASSERT_NE(viaIndex, nullptr);
        EXPECT_EQ(viaIndex->Name, viaScan->Name);
    }
    for (int i = 0; i < 300; ++i) {
        const std::string name = "n" + std::to_string(i);
        EXPECT_EQ(indexed.FindExact(name) != nullptr, scanned.FindExact(name) != nullptr) << name;
    }
}

TEST(THash, LargeTableKeepsItsOrderThroughOverwritesAndRemovals)
{
    // Names of few byte sums crowd a few buckets, which the index then serves.
    THash h;
    std::vector<std::string> order[THash::kBuckets];
    for (int i = 1; i <= 20000; ++i) {
        const std::string name = "k" + std::to_string(i);
        THash::TSpot spot;
        ASSERT_EQ(h.FindExact(name, spot), nullptr);
        if (i % 2)
            h.AddAbsent(Var(name, std::to_string(i)), spot);
        else
            h.AddAbsent(Var(name, std::to_string(i)));
        order[THash::HashOf(name)].push_back(name);
    }
    const uint64_t before = h.Generation();
    for (int i = 1; i <= 20000; i += 3) {
        THashNode* n = h.FindExact("k" + std::to_string(i));
        ASSERT_NE(n, nullptr);
        n->Value = "w";
    }
    EXPECT_EQ(h.Generation(), before);   // values changed in place
    for (int i = 2; i <= 20000; i += 1000) {
        const std::string name = "k" + std::to_string(i);
        EXPECT_EQ(h.Remove(name, false), h.Count);
        auto& bucket = order[THash::HashOf(name)];
        bucket.erase(std::find(bucket.begin(), bucket.end(), name));
    }
    h.AddAbsent(Var("k2", "again"));   // back at the end of its bucket
    order[THash::HashOf("k2")].push_back("k2");
    std::string want;
    for (const auto& bucket : order)
        for (const std::string& name : bucket)
            want += name + "|";
    EXPECT_EQ(NamesOf(h.Nodes()), want);
    EXPECT_EQ(h.Count, 20000 - 20 + 1);
    EXPECT_EQ(h.FindExact("k4")->Value, "w");
    EXPECT_EQ(h.FindExact("k5")->Value, "5");
    EXPECT_EQ(h.FindExact("k2")->Value, "again");
    EXPECT_EQ(h.FindExact("k1002"), nullptr);
}

TEST(THash, GenerationMovesWithNamesNotValues)
{
    THash h;
    const uint64_t g0 = h.Generation();
    h.Add(Var("a", "1"));
    const uint64_t g1 = h.Generation();
    EXPECT_NE(g1, g0);
    h.FindExact("a")->Value = "2";
    EXPECT_EQ(h.Generation(), g1);
    h.Add(Var("a", "3"));   // another node under the same name
    const uint64_t g2 = h.Generation();
    EXPECT_NE(g2, g1);
    EXPECT_EQ(h.Remove("nothing", true), -1);
    EXPECT_EQ(h.Generation(), g2);
    h.Remove("a", false);
    EXPECT_NE(h.Generation(), g2);
    EXPECT_EQ(h.FindExact("a"), nullptr);
}

TEST(THashNode, CreateVariableAndCopyFrom)
{
    std::unique_ptr<THashNode> v(THashNode::CreateVariable("名", "値", 7, true));
    EXPECT_EQ(v->Kind, wkVariable);
    EXPECT_EQ(v->ArgSpec, "");
    EXPECT_EQ(v->TypeText, "");
    EXPECT_EQ(v->Payload, nullptr);
    EXPECT_EQ(v->Id, 7);
    EXPECT_TRUE(v->Reserved);

    int position = 0;
    THashNode obj("ボタン1", "", "", "ボタン", 3, wkObject, &position, true);
    THashNode so("そ", "", "", "", -1, wkVariable, nullptr, false);
    so.CopyFrom(obj);
    EXPECT_EQ(so.Name, "そ");
    EXPECT_EQ(so.TypeText, "ボタン");
    EXPECT_EQ(so.Kind, wkObject);
    EXPECT_EQ(so.Id, 3);
    EXPECT_EQ(so.Payload, &position);
    EXPECT_TRUE(so.Reserved);
}

TEST(THashNode, HashVariableOwnsItsTableCopiesDoNot)
{
    auto* hashVar = new THashNode("辞書", "", "ハッシュ", "ハッシュ", 0, wkVariable, nullptr, false);
    auto* members = new THash;
    members->Add(Var("キー", "値"));
    hashVar->SetTable(members);
    EXPECT_EQ(hashVar->Kind, wkHash);
    EXPECT_EQ(hashVar->Table(), members);
    EXPECT_TRUE(hashVar->OwnsTable());

    {
        THashNode copy("そ", "", "", "", 0, wkVariable, nullptr, false);
        copy.CopyFrom(*hashVar);
        EXPECT_EQ(copy.Table(), members);
        EXPECT_FALSE(copy.OwnsTable());
    }
    // The copy is gone; the table is still the original's and intact.
    EXPECT_EQ(hashVar->Table()->ValueOf("キー", false), "値");

    THash words;
    words.Add(hashVar);
    EXPECT_EQ(words.Find("辞書", false)->Table()->Count, 1);

    // Handing the table over by clearing Payload: deleting the old node leaves it intact.
    auto* heir = new THashNode("後継", "", "", "", 0, wkVariable, nullptr, false);
    heir->CopyFrom(*hashVar);
    hashVar->Payload = nullptr;
    EXPECT_FALSE(hashVar->OwnsTable());
    heir->SetTable(members);
    words.Remove("辞書", false);
    words.Add(heir);
    EXPECT_EQ(words.Find("後継", false)->Table()->ValueOf("キー", false), "値");
    hashVar = heir;

    // Releasing gives up ownership without freeing.
    std::unique_ptr<THash> released(hashVar->ReleaseTable());
    EXPECT_EQ(released.get(), members);
    EXPECT_FALSE(hashVar->OwnsTable());
    hashVar->Payload = nullptr;
}

TEST(THashNode, DestroyingAHashVariableFreesItsNestedTable)
{
    // The nested table holds one large value; its release is visible in the
    // allocator's statistics.
    if (BytesInUse() == 0)
        GTEST_SKIP() << "allocator statistics unavailable";
    const std::string big(8 << 20, 'x');
    auto* node = new THashNode("辞書", "", "", "", 0, wkHash, nullptr, false);
    auto* nested = new THash;
    auto* inner = new THash;   // a table two levels down is freed as well
    inner->Add(Var("深い", big));
    auto* innerNode = new THashNode("中", "", "", "", 0, wkVariable, nullptr, false);
    innerNode->SetTable(inner);
    nested->Add(innerNode);
    nested->Add(Var("v", big));
    node->SetTable(nested);
    const size_t before = BytesInUse();
    delete node;
    const size_t after = BytesInUse();
    EXPECT_GE(before - after, 2 * big.size());
}

TEST(THashNode, DropAndReplaceTable)
{
    const std::string big(8 << 20, 'y');
    const bool measurable = BytesInUse() != 0;
    THashNode node("h", "", "", "", 0, wkVariable, nullptr, false);
    auto* first = new THash;
    first->Add(Var("v", big));
    node.SetTable(first);
    size_t before = BytesInUse();
    node.SetTable(new THash);   // the first table is freed
    if (measurable) {
        EXPECT_GE(before - BytesInUse(), big.size());
    }
    EXPECT_EQ(node.Table()->Count, 0);
    node.Table()->Add(Var("v", big));
    before = BytesInUse();
    node.DropTable();
    if (measurable) {
        EXPECT_GE(before - BytesInUse(), big.size());
    }
    EXPECT_EQ(node.Payload, nullptr);
    EXPECT_FALSE(node.OwnsTable());
}

TEST(TrimView, RemovesControlAndBlankBytesAtBothEnds)
{
    struct Case {
        std::string in;
        std::string out;
    } cases[] = {
        {"  a b \t\r\n", "a b"},
        {std::string("\0\x01x\x20", 4), "x"},
        {"\x81\x40x\x81\x40", "\x81\x40x\x81\x40"},   // full-width space is not trimmed
        {" \r\n ", ""},
        {"", ""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(TrimView(c.in), c.out);
        EXPECT_EQ(Trim(c.in), c.out);
    }
}

// ---------------------------------------------------------------------------
// Entry index of the packed container

TEST(TMixIndex, HashIsByteSumModulo1024)
{
    EXPECT_EQ(TMixIndex::HashOf("ab"), 195);
    const std::string eight(8, '\x80');   // 1024
    EXPECT_EQ(TMixIndex::HashOf(eight), 0);
    EXPECT_EQ(TMixIndex::HashOf(eight + "\x05"), 5);
    EXPECT_EQ(TMixIndex::HashOf(std::string(5, '\xFF')), (5 * 255) % 1024);
}

TEST(TMixIndex, AddFindReplaceClear)
{
    TMixIndex ix;
    EXPECT_EQ(ix.Add(nullptr), -1);
    EXPECT_EQ(ix.Add(new TMixNode("A.TXT", 10, 20, 0)), 1);
    EXPECT_EQ(ix.Add(new TMixNode("B.BMP", 30, 40, 1)), 2);
    const std::string eight(8, '\x80');
    EXPECT_EQ(ix.Add(new TMixNode(eight, 1, 1, 0)), 3);   // bucket 0
    auto* replacement = new TMixNode("A.TXT", 50, 60, 1);
    EXPECT_EQ(ix.Add(replacement), 3);
    EXPECT_EQ(ix.Count, 3);

    struct Case {
        std::string name;
        int32_t offset;   // -1: absent
        int32_t size;
        int32_t scrambled;
    } cases[] = {
        {"A.TXT", 50, 60, 1}, {"B.BMP", 30, 40, 1},
        {eight, 1, 1, 0},     {"a.txt", -1, 0, 0},   // names are compared exactly
        {"", -1, 0, 0},       {"C", -1, 0, 0},
    };
    for (const auto& c : cases) {
        TMixNode* n = ix.Find(c.name);
        if (c.offset < 0) {
            EXPECT_EQ(n, nullptr) << c.name;
            continue;
        }
        ASSERT_NE(n, nullptr) << c.name;
        EXPECT_EQ(n->Offset, c.offset);
        EXPECT_EQ(n->Size, c.size);
        EXPECT_EQ(n->Scrambled, c.scrambled);
    }
    EXPECT_EQ(ix.Find("A.TXT"), replacement);
    auto nodes = ix.Nodes();
    ASSERT_EQ(nodes.size(), 3u);
    EXPECT_EQ(nodes[0]->Name, eight);   // bucket order

    ix.Clear();
    EXPECT_EQ(ix.Count, 0);
    EXPECT_EQ(ix.Find("A.TXT"), nullptr);
    EXPECT_EQ(ix.Add(new TMixNode("A.TXT", 1, 2, 0)), 1);
}

// The memo is compared by overlapping loads: every length it can hold, a difference
// at every position is seen, and the value's length must match.
TEST(THashNodeMemo, EveryLengthAndPositionIsCompared)
{
    std::unique_ptr<THashNode> node(THashNode::CreateVariable("N", "", 0, false));
    THashNode& n = *node;
    for (size_t len = 1; len <= 22; ++len) {
        n.Value = std::string(len, '7');
        n.SetMemo(7);
        ASSERT_TRUE(n.MemoMatches()) << len;
        for (size_t i = 0; i < len; ++i) {
            n.Value[i] = '8';
            EXPECT_FALSE(n.MemoMatches()) << len << " " << i;
            n.Value[i] = '7';
        }
        n.Value += '7';
        EXPECT_FALSE(n.MemoMatches()) << len;
    }
    n.Value = std::string(23, '1');
    n.SetMemo(1);
    EXPECT_FALSE(n.MemoMatches());   // too long to keep
}

// A large table (its lookups through the index) emptied for the end of a process:
// empty at once, its nodes still readable through a pointer kept before, and the
// table usable again, its index made anew. Removals in between leave entries behind
// that the index's resize packs away.
TEST(THash, KeptUntilExitEmptiesAndStaysUsable)
{
    THash t;
    for (int i = 0; i < 5000; ++i)
        t.Add(Var("k" + std::to_string(i), std::to_string(i)));
    for (int i = 0; i < 5000; i += 2)
        t.Remove("k" + std::to_string(i), false);
    for (int i = 5000; i < 9000; ++i)
        t.Add(Var("k" + std::to_string(i), std::to_string(i)));
    ASSERT_EQ(t.Count, 6500);
    EXPECT_EQ(t.FindExact("k0"), nullptr);
    ASSERT_NE(t.FindExact("k4999"), nullptr);
    EXPECT_EQ(t.FindExact("k8999")->Value, "8999");
    const THashNode* held = t.FindExact("k4999");
    const uint64_t before = t.Generation();
    t.KeepUntilExit();
    EXPECT_EQ(t.Count, 0);
    EXPECT_GT(t.Generation(), before);
    EXPECT_EQ(t.FindExact("k4999"), nullptr);
    EXPECT_EQ(held->Value, "4999");
    for (int i = 0; i < 100; ++i)
        t.Add(Var("k" + std::to_string(i), "again"));
    EXPECT_EQ(t.Count, 100);
    EXPECT_EQ(t.FindExact("k99")->Value, "again");
}
