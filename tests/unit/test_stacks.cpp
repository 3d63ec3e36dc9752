// Argument stack, run-control stack levels and the object list.
#include <gtest/gtest.h>

#include <deque>
#include <memory>

#include "core/stacks.h"

namespace {

// The program texts the entries' bodies lie in (they outlive every entry).
std::deque<std::string>& Texts()
{
    static std::deque<std::string> texts;
    return texts;
}

TRunControl Entry(uint8_t kind, const std::string& body, int32_t counter = 0)
{
    const std::string& text = Texts().emplace_back("(" + body + ")\r\n");
    TRunControl rc;
    rc.RcKind = kind;
    rc.BodyStart = text.c_str() + 1;
    rc.BodyEnd = rc.BodyStart + body.size();
    rc.After = rc.BodyEnd + 1;
    rc.Counter = counter;
    rc.SavedFileName = "file" + body;
    return rc;
}

std::string BodyOf(const TRunControl& rc)
{
    return std::string(rc.BodyStart, static_cast<size_t>(rc.BodyEnd - rc.BodyStart));
}

// The bodies of the current level, bottom first.
std::string Bodies(const TRunControlStack& s)
{
    std::string out;
    TRunControl rc;
    for (size_t i = 0; s.PeekAt(i, rc); ++i)
        out += BodyOf(rc) + "|";
    return out;
}

}   // namespace

TEST(TStack, EmptyAndShortStacksGiveEmptyText)
{
    TStack s;
    EXPECT_EQ(s.Pop(), "");
    EXPECT_EQ(s.Count(), 0u);
    EXPECT_EQ(s.Shift(), "");
    EXPECT_EQ(s.Count(), 0u);
    EXPECT_EQ(s.Text(), "");
    s.Push("a");
    s.Push("b");
    s.Push("c");
    struct Case {
        size_t index;
        const char* item;
    } cases[] = {{0, "a"}, {1, "b"}, {2, "c"}, {3, ""}, {5, ""}, {size_t(-1), ""}};
    for (const auto& c : cases)
        EXPECT_EQ(s.PeekAt(c.index), c.item) << c.index;
    EXPECT_EQ(s.Count(), 3u);
}

TEST(TStack, PopTakesTheLastShiftTheFirst)
{
    TStack s;
    for (const char* t : {"一", "二", "三", "四"})
        s.Push(t);
    EXPECT_EQ(s.Text(), "一\r\n二\r\n三\r\n四");
    EXPECT_EQ(s.Pop(), "四");
    EXPECT_EQ(s.Shift(), "一");
    EXPECT_EQ(s.Text(), "二\r\n三");
    EXPECT_EQ(s.Pop(), "三");
    EXPECT_EQ(s.Pop(), "二");
    EXPECT_EQ(s.Pop(), "");
    s.Push("x");
    s.Push("");
    EXPECT_EQ(s.Count(), 2u);
    s.Clear();
    EXPECT_EQ(s.Count(), 0u);
}

TEST(TRunControlStack, PushPopPeek)
{
    TRunControlStack s;
    TRunControl out;
    EXPECT_FALSE(s.Pop(out));
    EXPECT_FALSE(s.PeekAt(0, out));

    TRunControl original = Entry(rcFor, "body", 3);
    original.Condition = "A<5";
    s.Push(original);
    original.Condition = "changed";   // the stack holds its own copy
    s.Push(Entry(rcCall, "call"));
    EXPECT_EQ(s.Count(), 2u);
    EXPECT_FALSE(s.PeekAt(2, out));
    ASSERT_TRUE(s.PeekAt(0, out));
    EXPECT_EQ(out.Condition, "A<5");
    EXPECT_EQ(out.Counter, 3);
    EXPECT_EQ(s.Top()->RcKind, rcCall);

    ASSERT_TRUE(s.Pop(out));
    EXPECT_EQ(out.RcKind, rcCall);
    EXPECT_EQ(BodyOf(out), "call");
    EXPECT_EQ(out.SavedFileName, "filecall");
    ASSERT_TRUE(s.Pop(out));
    EXPECT_EQ(out.RcKind, rcFor);
    EXPECT_FALSE(s.Pop(out));
    EXPECT_EQ(s.Top(), nullptr);
}

TEST(TRunControlStack, BodyTextOutlivesPopAndPush)
{
    TRunControlStack s;
    s.Push(Entry(rcWhile, "loop body"));
    TRunControl rc;
    ASSERT_TRUE(s.Pop(rc));
    const char* cursor = rc.BodyText() + 5;   // a position inside the body
    s.Push(rc);                               // the next iteration's entry
    rc = TRunControl();                       // the popped copy goes away
    EXPECT_EQ(std::string(cursor, s.Top()->BodyEnd), "body");
    EXPECT_EQ(s.Top()->BodyText() + 5, cursor);
}

TEST(TRunControlStack, BodyLimitIsTheEndOfTheTopBody)
{
    TRunControlStack s;
    EXPECT_EQ(s.BodyLimit(), nullptr);
    TRunControl outer = Entry(rcFor, "outer");
    s.Push(outer);
    EXPECT_EQ(s.BodyLimit(), outer.BodyEnd);
    TRunControl call;
    call.RcKind = rcCall;
    call.BodyStart = outer.BodyStart;   // a return position, no body
    s.Push(call);
    EXPECT_FALSE(s.Top()->HasBody());
    EXPECT_EQ(s.BodyLimit(), nullptr);   // a called label runs to the end of its text
    TRunControl inner = Entry(rcIfTrue, "inner");
    s.Push(inner);
    EXPECT_EQ(s.BodyLimit(), inner.BodyEnd);
    s.EnterLevel();
    EXPECT_EQ(s.BodyLimit(), nullptr);   // a nested run starts without a body
    s.LeaveLevel();
    EXPECT_EQ(s.BodyLimit(), inner.BodyEnd);

    s.Truncate(5);   // more than there are: nothing happens
    EXPECT_EQ(s.Count(), 3u);
    s.Truncate(1);
    EXPECT_EQ(s.Count(), 1u);
    EXPECT_EQ(s.BodyLimit(), outer.BodyEnd);
    s.Truncate(0);
    EXPECT_EQ(s.BodyLimit(), nullptr);
}

TEST(TRunControlStack, PushRecordMakesABodilessRecordAboveAnOpenBody)
{
    TRunControlStack s;
    TRunControl loop = Entry(rcTimes, "loop", 2);
    s.Push(loop);
    const std::string& label = Texts().emplace_back("*label\r\nbody");
    s.PushRecord(rcCall, loop.BodyStart + 1, label.c_str() + 8, "caller.prk");
    ASSERT_EQ(s.Count(), 2u);
    const TRunControl& record = s.At(1);
    EXPECT_EQ(record.RcKind, rcCall);
    EXPECT_EQ(record.BodyStart, loop.BodyStart + 1);   // where the call returns to
    EXPECT_EQ(record.After, label.c_str() + 8);
    EXPECT_FALSE(record.HasBody());
    EXPECT_EQ(record.SavedFileName.Text(), "caller.prk");
    EXPECT_EQ(record.Counter, 0);
    EXPECT_EQ(s.BodyLimit(), nullptr);   // the label runs to the end of its text
    s.Truncate(1);                       // the return takes the record away
    EXPECT_EQ(s.BodyLimit(), loop.BodyEnd);
    EXPECT_EQ(s.At(0).Counter, 2);
}

TEST(TRunControlStack, LeaveLevelWithoutSavedLevelKeepsEntries)
{
    TRunControlStack s;
    s.Push(Entry(rcIfTrue, "a"));
    s.Push(Entry(rcTimes, "b"));
    s.LeaveLevel();
    EXPECT_EQ(Bodies(s), "a|b|");
    EXPECT_EQ(s.LevelCount(), 0u);
}

TEST(TRunControlStack, EnterThenLeaveRestoresTheLevelAndReleasesInnerEntries)
{
    TRunControlStack s;
    s.Push(Entry(rcIfTrue, "a"));
    s.Push(Entry(rcTimes, "b"));
    s.Push(Entry(rcEach, "c"));
    s.EnterLevel();
    EXPECT_EQ(s.Count(), 0u);
    EXPECT_EQ(s.LevelCount(), 1u);

    s.Push(Entry(rcCall, "inner"));
    s.Push(Entry(rcEvent, "event"));
    EXPECT_EQ(Bodies(s), "inner|event|");

    s.LeaveLevel();
    EXPECT_EQ(Bodies(s), "a|b|c|");
    EXPECT_EQ(s.LevelCount(), 0u);
    EXPECT_EQ(s.Top()->RcKind, rcEach);
}

TEST(TRunControlStack, NestedLevelsUnwindInOrder)
{
    TRunControlStack s;
    s.Push(Entry(rcCall, "L0"));
    s.EnterLevel();
    s.Push(Entry(rcCall, "L1"));
    s.EnterLevel();
    s.Push(Entry(rcCall, "L2a"));
    s.Push(Entry(rcCall, "L2b"));
    EXPECT_EQ(s.LevelCount(), 2u);
    s.LeaveLevel();
    EXPECT_EQ(Bodies(s), "L1|");
    s.EnterLevel();
    s.Push(Entry(rcCall, "L2c"));
    s.ClearLevel();   // empties the current level only
    s.LeaveLevel();
    EXPECT_EQ(Bodies(s), "L1|");
    s.LeaveLevel();
    EXPECT_EQ(Bodies(s), "L0|");
}

// Levels left are kept for their storage and handed out again: a new level still
// starts empty, and the saved file names read back as they were stored.
TEST(TRunControlStack, ReusedLevelsStartEmpty)
{
    TRunControlStack s;
    s.Push(Entry(rcCall, "base"));
    for (int round = 0; round < 5; ++round) {
        s.EnterLevel();
        EXPECT_EQ(s.Count(), 0u) << round;
        EXPECT_EQ(s.BodyLimit(), nullptr);
        s.Push(Entry(rcTimes, "r" + std::to_string(round)));
        s.EnterLevel();
        EXPECT_EQ(s.Count(), 0u) << round;
        s.Push(Entry(rcCall, "deep"));
        s.LeaveLevel();
        EXPECT_EQ(Bodies(s), "r" + std::to_string(round) + "|");
        EXPECT_EQ(s.Top()->SavedFileName, "filer" + std::to_string(round));
        s.LeaveLevel();
    }
    EXPECT_EQ(Bodies(s), "base|");
    EXPECT_EQ(s.Top()->SavedFileName.Text(), "filebase");
    TRunControl unnamed;
    EXPECT_EQ(unnamed.SavedFileName.Text(), "");
}

TEST(TRunControlStack, ClearAllEmptiesEverySavedLevel)
{
    TRunControlStack s;
    for (int level = 0; level < 4; ++level) {
        if (level)
            s.EnterLevel();
        for (int i = 0; i < 2; ++i)
            s.Push(Entry(rcFor, std::to_string(level) + "." + std::to_string(i)));
    }
    EXPECT_EQ(s.LevelCount(), 3u);
    s.ClearAll();
    EXPECT_EQ(s.LevelCount(), 0u);
    EXPECT_EQ(s.Count(), 0u);
    EXPECT_EQ(s.BodyLimit(), nullptr);
    s.LeaveLevel();   // nothing saved: no effect
    EXPECT_EQ(s.Count(), 0u);
    s.Push(Entry(rcFor, "again"));
    EXPECT_EQ(Bodies(s), "again|");
}

TEST(TObjList, AddFindIndexOf)
{
    TObjList list;
    struct Case {
        const char* name;
        int32_t classCode;
    } objs[] = {{"母艦", 7}, {"ボタン1", 1}, {"エディタ1", 2}, {"ボタン1", 3}};
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(list.Add(new TObjNode(objs[i].name, objs[i].classCode, i, nullptr)), i);
    EXPECT_EQ(list.Count(), 4u);

    struct Lookup {
        const char* name;
        int32_t index;
    } lookups[] = {{"母艦", 0}, {"ボタン1", 1}, {"エディタ1", 2}, {"ぼたん1", -1}, {"", -1}};
    for (const auto& l : lookups) {
        EXPECT_EQ(list.IndexOf(l.name), l.index) << l.name;
        EXPECT_EQ(list.Find(l.name), l.index < 0 ? nullptr : list.Get(l.index)) << l.name;
    }
    EXPECT_EQ(list.Find("ボタン1")->ClassCode, 1);   // the first of that name
    EXPECT_EQ(list.Get(4), nullptr);

    TObjNode* n = list.Get(2);
    EXPECT_EQ(n->Index, 2);
    for (int i = 0; i < TObjNode::kEventSlots; ++i) {
        EXPECT_EQ(n->EventCode[i], "");
        EXPECT_EQ(n->EventPos[i], nullptr);
    }
}

TEST(TObjList, PutEmptiesASlotWithoutMovingLaterObjects)
{
    TObjList list;
    list.Add(new TObjNode("母艦", 7, 0, nullptr));
    list.Add(new TObjNode("A", 1, 1, nullptr));
    TObjNode* c = new TObjNode("C", 1, 2, nullptr);
    list.Add(c);

    list.Put(1, nullptr);
    EXPECT_EQ(list.Get(1), nullptr);
    EXPECT_EQ(list.Count(), 3u);
    EXPECT_EQ(list.Get(2), c);
    EXPECT_EQ(list.IndexOf("C"), 2);
    EXPECT_EQ(list.IndexOf("A"), -1);
    EXPECT_EQ(list.Find("A"), nullptr);

    // Putting the node that is already there keeps it alive.
    list.Put(2, c);
    EXPECT_EQ(list.Get(2)->Name, "C");

    // Beyond the end: ignored, the node stays the caller's.
    std::unique_ptr<TObjNode> stray(new TObjNode("X", 1, 9, nullptr));
    list.Put(3, stray.get());
    EXPECT_EQ(list.Count(), 3u);
    EXPECT_EQ(list.Find("X"), nullptr);

    // A new object takes the next index, never the emptied slot.
    EXPECT_EQ(list.Add(new TObjNode("D", 1, 3, nullptr)), 3);
    list.Put(1, new TObjNode("B", 1, 1, nullptr));
    EXPECT_EQ(list.IndexOf("B"), 1);

    list.Clear();
    EXPECT_EQ(list.Count(), 0u);
    EXPECT_EQ(list.Get(0), nullptr);
}
