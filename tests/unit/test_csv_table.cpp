// The table engine: reading and writing CSV, row and column operations, sorting,
// searching, filtering, joining, and the line-array helpers.
#include <gtest/gtest.h>

#include <random>

#include "commands/patterns/wildcard.h"
#include "commands/tables/csv_table.h"
#include "interp/interp.h"

namespace {

using Rows = std::vector<std::vector<std::string>>;

Rows Parse(std::string_view text)
{
    TCsvDb db;
    db.SetText(text);
    return db.Rows;
}

std::string Rewrite(std::string_view text)
{
    TCsvDb db;
    db.SetText(text);
    return db.GetText();
}

struct ReadCase {
    const char* text;
    Rows rows;
};

const ReadCase kReadCases[] = {
    {"a, \"b,c\" ,d", {{"a", "b,c", "", "d"}}},
    {"\"x\"\"y\"", {{"x\"y"}}},
    {"a,b\r\nc", {{"a", "b"}, {"c"}}},
    {"a,b\r\nc\r\n", {{"a", "b"}, {"c"}}},
    {"\r\n", {{""}}},
    {"", {}},
    {"a,", {{"a"}}},   // a trailing comma adds no cell
    {",a", {{"", "a"}}},
    {"a\nb\rc", {{"a"}, {"b"}, {"c"}}},
    {"\"line1\r\nline2\",x", {{"line1\r\nline2", "x"}}},
    {"  a  ,\tb\t", {{"a", "b"}}},
    {"\" a \"", {{"a"}}},             // quoted fields are trimmed as well
    {"a\"b,c", {{"a\"b", "c"}}},      // a quote inside an unquoted field
    {"ab\" ,c", {{"ab", "", "c"}}},   // a closing quote before a blank
    {"\"unclosed,x", {{"unclosed,x"}}},
    {"表,ソ\\", {{"表", "ソ\\"}}},
    {"\"表\",\"ソ\"", {{"表", "ソ"}}},
    {"a\x1a"
     "b",
     {{"a\x1a"
       "b"}}},
    {"\"\"\"x\"\"\"", {{"x"}}},   // enclosing quotes of the content go too
    {"1,2,3\r\n\r\n4", {{"1", "2", "3"}, {""}, {"4"}}},
};

TEST(CsvTableTest, ReadTable)
{
    for (const auto& c : kReadCases)
        EXPECT_EQ(Parse(c.text), c.rows) << c.text;
}

struct WriteCase {
    const char* text;
    const char* written;
};

const WriteCase kWriteCases[] = {
    {"\"x\"\"y\"", "\"x\"\"y\"\r\n"},
    {"ID", "\"ID\"\r\n"},
    {"AID", "\"AID\"\r\n"},
    {"id", "id\r\n"},
    {"a,b\r\nc", "a,b\r\nc,\r\n"},   // rows padded to the width
    {"\"a,b\",\"c\r\nd\"", "\"a,b\",\"c\r\nd\"\r\n"},
    {"表,ソ", "表,ソ\r\n"},
    {"", ""},
};

TEST(CsvTableTest, WriteTable)
{
    for (const auto& c : kWriteCases)
        EXPECT_EQ(Rewrite(c.text), c.written) << c.text;
}

TEST(CsvTableTest, RoundTripOfAwkwardCells)
{
    const std::vector<std::string> cells = {"plain", "with,comma", "with\"quote", "two\r\nlines", "表示", "ソ\\", "ID",
                                            "x\ny",  "",           "a\"\"b"};
    std::mt19937 rng(7);
    TCsvDb db;
    for (int r = 0; r < 50; ++r)
        for (int c = 0; c < 4; ++c)
            db.SetCell(c, r, cells[rng() % cells.size()]);
    for (int r = 0; r < 50; ++r)
        db.SetCell(0, r, "k" + std::to_string(r));   // no blank rows
    TCsvDb back;
    back.SetText(db.GetText());
    ASSERT_EQ(back.RowCount(), db.RowCount());
    for (int r = 0; r < 50; ++r)
        for (int c = 0; c < 4; ++c)
            EXPECT_EQ(back.Cell(c, r), db.Cell(c, r)) << r << "," << c;
}

TEST(CsvTableTest, EmptyRowSlotsAndAccess)
{
    TCsvDb db;
    db.SetCell(1, 2, "x");
    EXPECT_EQ(db.RowCount(), 3u);
    EXPECT_EQ(db.Width(), 2u);
    EXPECT_EQ(db.GetText(), "\r\n\r\n,x\r\n");
    EXPECT_EQ(db.Cell(5, 5), "");
    EXPECT_EQ(db.Cell(-1, 0), "");
    db.SetText("a,b\r\nc\r\n\"p,q\",r");
    EXPECT_EQ(db.RowValue(0), "a,b");
    EXPECT_EQ(db.RowValue(1), "c");
    EXPECT_EQ(db.RowValue(2), "\"p,q\",r");
    EXPECT_EQ(db.RowValue(9), "");
    db.SetRow(1, "x,\"y,z\"");
    EXPECT_EQ(db.Cell(1, 1), "y,z");
}

struct SortCase {
    const char* text;
    int col;
    TCsvDb::SortKind kind;
    bool header;
    const char* sorted;
};

const SortCase kSortCases[] = {
    {"b,2\r\na,10\r\nc,1", 0, TCsvDb::SortKind::Text, false, "a,10\r\nb,2\r\nc,1\r\n"},
    {"b,2\r\na,10\r\nc,1", 1, TCsvDb::SortKind::Text, false, "c,1\r\na,10\r\nb,2\r\n"},
    {"b,2\r\na,10\r\nc,1", 1, TCsvDb::SortKind::Number, false, "c,1\r\nb,2\r\na,10\r\n"},
    {"name,n\r\nb,2\r\na,-1.5\r\nc,1", 1, TCsvDb::SortKind::Number, true, "name,n\r\na,-1.5\r\nc,1\r\nb,2\r\n"},
    {"x,2003/01/12\r\ny,2002/12/31\r\nz,2003/1/2 10:00", 1, TCsvDb::SortKind::Date, false,
     "y,2002/12/31\r\nz,2003/1/2 10:00\r\nx,2003/01/12\r\n"},
    {"B\r\na\r\nC", 0, TCsvDb::SortKind::Text, false, "B\r\nC\r\na\r\n"},         // bytes: capitals first
    {"\r\n\r\nb\r\na\r\n\r\n", 0, TCsvDb::SortKind::Text, false, "a\r\nb\r\n"},   // trimmed first
    {"い\r\nあ\r\nソ", 0, TCsvDb::SortKind::Text, false, "あ\r\nい\r\nソ\r\n"},
};

TEST(CsvTableTest, SortKinds)
{
    for (const auto& c : kSortCases) {
        TCsvDb db;
        db.SetText(c.text);
        db.Header = c.header;
        db.Sort(c.col, c.kind);
        EXPECT_EQ(db.GetText(), c.sorted) << c.text;
    }
}

// Ranges of more than 21 rows are merged with ties going to the first half, so a
// large table keeps equal keys in order inside each merge; the result is always
// ordered by key.
TEST(CsvTableTest, LargeSortIsOrderedAndKeepsEveryRow)
{
    std::mt19937 rng(3);
    TCsvDb db;
    const int n = 5000;
    for (int r = 0; r < n; ++r) {
        db.SetCell(0, r, std::to_string(rng() % 100));
        db.SetCell(1, r, "id" + std::to_string(r));
    }
    db.Sort(0, TCsvDb::SortKind::Number);
    ASSERT_EQ(db.RowCount(), static_cast<size_t>(n));
    std::vector<bool> seen(n);
    for (int r = 0; r < n; ++r) {
        if (r) {
            EXPECT_LE(ToNumber(db.Cell(0, r - 1)), ToNumber(db.Cell(0, r)));
        }
        seen[std::stoi(db.Cell(1, r).substr(2))] = true;
    }
    EXPECT_EQ(std::count(seen.begin(), seen.end(), true), n);
}

TEST(CsvTableTest, MergeKeepsFirstHalfOnTies)
{
    // 22 rows with one key: merging never swaps, so the order stays.
    TCsvDb db;
    for (int r = 0; r < 22; ++r)
        db.SetCell(0, r, "k"), db.SetCell(1, r, std::to_string(r));
    db.Sort(0, TCsvDb::SortKind::Text);
    for (int r = 0; r < 22; ++r)
        EXPECT_EQ(db.Cell(1, r), std::to_string(r));
}

TEST(CsvTableTest, DateSortRejectsNonDates)
{
    TCsvDb db;
    db.SetText("2003/01/01\r\nxyz");
    try {
        db.Sort(0, TCsvDb::SortKind::Date);
        ADD_FAILURE();
    } catch (const ECsv& e) {
        EXPECT_STREQ(e.what(), "'xyz' は正しい日付ではありません");
    }
}

TEST(CsvTableTest, RowAndColumnOperations)
{
    struct Case {
        const char* name;
        const char* text;
        void (*op)(TCsvDb&);
        const char* result;
    } cases[] = {
        {"reverse", "a,b\r\nc", [](TCsvDb& d) { d.Reverse(); }, "c,\r\na,b\r\n"},
        {"insert col", "a,b\r\nc", [](TCsvDb& d) { d.InsertColumn(1); }, "a,,b\r\nc,,\r\n"},
        {"insert far", "a", [](TCsvDb& d) { d.InsertColumn(2); }, "a,,\r\n"},
        {"delete col", "a,b,c\r\nd", [](TCsvDb& d) { d.DeleteColumn(1); }, "a,c\r\nd,\r\n"},
        {"negative col", "a,b", [](TCsvDb& d) { d.DeleteColumn(-1); }, "a,b\r\n"},
        {"move col", "a,b,c\r\nx,y,z", [](TCsvDb& d) { d.MoveColumn(0, 2); }, "b,c,a\r\ny,z,x\r\n"},
        {"move back", "a,b,c", [](TCsvDb& d) { d.MoveColumn(2, 0); }, "c,a,b\r\n"},
        {"transpose", "a,b\r\nc,d\r\ne", [](TCsvDb& d) { d.Transpose(); }, "a,c,e\r\nb,d,\r\n"},
        {"duplicates", "1,a\r\n2,b\r\n1,c", [](TCsvDb& d) { d.RemoveDuplicates(0); }, "2,b\r\n1,c\r\n"},
        {"paste", "a\r\nb\r\nc", [](TCsvDb& d) { d.PasteColumn(1, "x\r\ny"); }, "a,x\r\nb,y\r\nc,\r\n"},
        {"replace", "ab,ab\r\nb", [](TCsvDb& d) { d.ReplaceInColumn(1, "b", "ソ"); }, "ab,aソ\r\nb,\r\n"},
        {"trim", "\r\n,\r\na,b,,\r\n\r\n", [](TCsvDb& d) { d.Trim(); }, "a,b\r\n"},
        {"delete row", "a\r\nb", [](TCsvDb& d) { d.DeleteRow(0); }, "b\r\n"},
    };
    for (const auto& c : cases) {
        TCsvDb db;
        db.SetText(c.text);
        c.op(db);
        EXPECT_EQ(db.GetText(), c.result) << c.name;
    }
    TCsvDb db;
    db.SetText("a,b\r\nc\r\n\"x,y\"");
    EXPECT_EQ(db.ColumnLines(0), "a\r\nc\r\nx,y\r\n");
}

TEST(CsvTableTest, ColumnValues)
{
    TCsvDb db;
    db.SetText("n\r\n-3\r\n-5\r\n\r\n4");
    db.Header = true;
    EXPECT_EQ(db.ColumnMax(0), 4);
    EXPECT_EQ(db.ColumnMin(0), -5);
    EXPECT_EQ(db.ColumnSum(0), -4);
    EXPECT_EQ(db.ColumnMean(0), -4.0L / 5);   // divided by every row, header included
    db.SetText("-3\r\n-5");
    db.Header = false;
    EXPECT_EQ(db.ColumnMax(0), -3);
    TCsvDb empty;
    EXPECT_EQ(empty.ColumnMean(0), 0);
    EXPECT_EQ(empty.ColumnMax(0), 0);
}

TEST(CsvTableTest, IncrementalSearch)
{
    TFindCsv f;
    f.Table.SetText("key,v\r\na,1\r\nb,2\r\na,3");
    f.Key = "a";
    f.Column = 0;
    f.Exact = true;
    f.NextRow = 1;
    EXPECT_EQ(f.FindNext(), 1);
    EXPECT_EQ(f.FindNext(), 3);
    EXPECT_EQ(f.FindNext(), -1);
    EXPECT_EQ(f.NextRow, 4);

    struct Case {
        const char* key;
        int col;
        bool exact;
        int64_t row;
    } cases[] = {
        {"2", -1, true, 2},     {"b,2", -1, true, -1}, {"b,*", -1, false, 2},   // the row as one CSV line
        {"?,3", -1, false, 3},  {"e", 0, false, 0},                             // substring
        {"[ab]", 0, false, -1},   // "[" alone does not make a wildcard here
        {"v", 1, true, 0},
    };
    for (const auto& c : cases) {
        f.Key = c.key;
        f.Column = c.col;
        f.Exact = c.exact;
        f.NextRow = 0;
        f.Width = f.Table.Width();
        EXPECT_EQ(f.FindNext(), c.row) << c.key;
    }
    f.Clear();
    EXPECT_EQ(f.FindNext(), -1);
}

TEST(CsvTableTest, Pickup)
{
    struct Case {
        const char* text;
        int col;
        const char* pattern;
        bool header;
        const char* result;
    } cases[] = {
        {"apple\r\nbanana\r\ncherry", -1, "an", false, "banana\r\n"},
        {"apple\r\nbanana\r\ncherry", -1, "*e*", false, "apple\r\ncherry\r\n"},
        {"apple\r\nbanana\r\ncherry", -1, "[ab]*", false, "apple\r\nbanana\r\n"},
        {"n,v\r\na,1\r\nb,2", 1, "2", true, "n,v\r\nb,2\r\n"},
        {"n,v\r\na,1\r\nb,2", 1, "2", false, "b,2\r\n"},
        {"表,1\r\nソ,2", 0, "ソ", false, "ソ,2\r\n"},
        // "#" (a digit) makes a wildcard as in マッチ: the whole line or cell must match.
        {"123\r\nabc\r\n4567\r\n12", -1, "###", false, "123\r\n"},
        {"id,n\r\na,12\r\nb,x2\r\nc,123", 1, "#2", true, "id,n\r\na,12\r\n"},
        {"a#1\r\n71", -1, "\\#1", false, ""},   // an escaped "#": the whole line is "#1"
    };
    for (const auto& c : cases)
        EXPECT_EQ(PickupText(c.text, c.col, c.pattern, c.header), c.result) << c.pattern;
    // The table commands decide as マッチ matches: the same whole match for every line.
    const char* lines[] = {"123", "12", "1234", "ab1", "１２３"};
    for (const char* line : lines)
        EXPECT_EQ(PickupText(line, -1, "###", false).empty(), !WildcardWholeMatch(line, "###")) << line;
}

TEST(CsvTableTest, FuzzySearchWithDigitUnits)
{
    TCsvDb db;
    db.SetText("a,x\r\nb,42\r\nc,7");
    EXPECT_EQ(db.FindRow(0, 1, "##", false, db.Width()), 1);
    EXPECT_EQ(db.FindRow(0, 1, "#", false, db.Width()), 2);
    EXPECT_EQ(db.FindRow(0, 1, "##", true, db.Width()), -1);   // exact search compares text
}

TEST(CsvTableTest, Filter)
{
    TCsvDb db;
    db.SetText("名前,価格,日付\r\n山田,150,2003/01/10\r\n川上,200,2003/02/01\r\n山本,90,x\r\n山口,300,2002/12/31");
    struct Case {
        const char* cond;
        const char* result;
    } cases[] = {
        {"価格>100 AND 名前=\"山*\"", "名前,価格,日付\r\n山田,150,2003/01/10\r\n山口,300,2002/12/31\r\n"},
        {"価格<100 OR 価格>=300", "名前,価格,日付\r\n山本,90,x\r\n山口,300,2002/12/31\r\n"},
        {"名前<>\"山*\"", "名前,価格,日付\r\n川上,200,2003/02/01\r\n"},
        {"日付>#2003/01/01", "名前,価格,日付\r\n山田,150,2003/01/10\r\n川上,200,2003/02/01\r\n"},
        {"日付>#nodate", "名前,価格,日付\r\n"},
        {"(価格=90 OR 価格=200) AND 名前=\"川*\"", "名前,価格,日付\r\n川上,200,2003/02/01\r\n"},
        {"価格=90 価格=200", "名前,価格,日付\r\n川上,200,2003/02/01\r\n山本,90,x\r\n"},
        {"名前>=\"川\"", "名前,価格,日付\r\n川上,200,2003/02/01\r\n"},   // byte order: 川 is 0x90EC, 山 0x8E52
    };
    for (const auto& c : cases)
        EXPECT_EQ(db.Filter(c.cond), c.result) << c.cond;

    struct ErrCase {
        const char* cond;
        const char* message;
    } errors[] = {
        {"価格!100", "演算子の指定エラー。"},
        {"価格=>=1", "演算子の指定エラー。"},
        {"値段=1", "フィールド名\"値段\"が見つかりません。"},
        {"(価格=1", "\")\"が対応していません。"},
    };
    for (const auto& e : errors) {
        try {
            db.Filter(e.cond);
            ADD_FAILURE() << e.cond;
        } catch (const ECsv& x) {
            EXPECT_STREQ(x.what(), e.message);
        }
    }
}

std::string UpperFullWidth(std::string_view s)
{
    // A stand-in for the half-width conversion: full-width "＞" to ">".
    return ReplaceAllChars(s, "＞", ">");
}

TEST(CsvTableTest, PrepareCondition)
{
    EXPECT_EQ(PrepareCondition("a＞1,かつ b=\"＞,\" または c=1", UpperFullWidth), "a>1 AND b=\"＞ \" OR c=1");
}

TEST(CsvTableTest, Join)
{
    TCsvDb a, b;
    a.SetText("id,name\r\n1,x\r\n2,y\r\n3,z");
    b.SetText("key,price,stock\r\n2,200,5\r\n1,100,3\r\n2,999,9");
    a.Header = b.Header = true;
    a.Join(0, b, 0);
    EXPECT_EQ(a.GetText(), "id,name,price,stock\r\n1,x,100,3\r\n2,y,200,5\r\n3,z,,\r\n");
    // A key first found in B's row 0 is not used.
    TCsvDb c, d;
    c.SetText("k\r\nq");
    d.SetText("q,1");
    c.Join(0, d, 0);
    EXPECT_EQ(c.GetText(), "k\r\nq\r\n");
}

TEST(CsvTableTest, Html)
{
    TCsvDb db;
    db.SetText("a,<b>\r\nc");
    EXPECT_EQ(db.Html("border=1"),
              "<TABLE border=1>\r\n<TR><TD>a</TD><TD><b></TD></TR>\r\n<TR><TD>c</TD><TD></TD></TR>\r\n</TABLE>");
}

TEST(CsvTableTest, LineArrays)
{
    EXPECT_EQ(SplitLines("a\r\nb\nc\rd\r\n").size(), 4u);
    EXPECT_EQ(SplitLines("").size(), 0u);
    EXPECT_EQ(SplitLines("\r\n").size(), 1u);
    EXPECT_EQ(SortLinesText("b\r\nA\r\na\r\nB\r\nＢ\r\nａ"), "A\r\na\r\nB\r\nb\r\nａ\r\nＢ\r\n");
    EXPECT_EQ(SortLinesNumber("10\r\n9\r\n-1\r\n1.5\r\nx"), "-1\r\nx\r\n1.5\r\n9\r\n10\r\n");
    struct InsertCase {
        const char* text;
        int index;
        const char* result;
    } inserts[] = {
        {"a\r\nb", 1, "a\r\nX\r\nb\r\n"},
        {"a\r\nb", 0, "X\r\na\r\nb\r\n"},
        {"a", 3, "a\r\n\r\n\r\nX\r\n"},
        {"a", -1, "a"},
        {"", 0, "X\r\n"},
    };
    for (const auto& c : inserts)
        EXPECT_EQ(InsertLine(c.text, c.index, "X"), c.result) << c.index;
    std::string out;
    EXPECT_TRUE(DeleteLine("a\r\nb\r\nc", 1, out));
    EXPECT_EQ(out, "a\r\nc\r\n");
    EXPECT_FALSE(DeleteLine("a", 1, out));
    EXPECT_FALSE(DeleteLine("a", -1, out));
}

TEST(CsvTableTest, ArrayStats)
{
    TArrayStats s = ArrayStats({"1", " 2 ", "", "3", "4"}, true);
    EXPECT_EQ(s.Count, 4u);
    EXPECT_EQ(s.Sum, 10);
    EXPECT_EQ(s.Mean, 2.5);
    EXPECT_DOUBLE_EQ(static_cast<double>(s.Variance), 1.25);
    EXPECT_NEAR(static_cast<double>(s.StdDev), 1.2909944487358056, 1e-12);
    EXPECT_EQ(s.Min, 1);
    EXPECT_EQ(s.Max, 4);
    EXPECT_EQ(ArrayStats({}, false).Sum, 0);
    EXPECT_THROW(ArrayStats({"5"}, true), ECsv);
}

TEST(CsvTableTest, Dates)
{
    struct Case {
        const char* text;
        bool ok;
        double day;
    } cases[] = {
        {"1899/12/30", true, 0},
        {"1900/01/01", true, 2},
        {"2003-01-12", true, 37633},
        {"2003年1月12日", true, 37633},
        {"2003/01/12 12:00", true, 37633.5},
        {"12:00", true, 0.5},
        {"2003/02/29", false, 0},
        {"2004/02/29", true, 38046},
        {"2003/13/01", false, 0},
        {"abc", false, 0},
        {"", false, 0},
        {"2003/01/12 25:00", false, 0},
    };
    for (const auto& c : cases) {
        long double v = -1;
        EXPECT_EQ(ParseDateTime(c.text, v), c.ok) << c.text;
        if (c.ok) {
            EXPECT_DOUBLE_EQ(static_cast<double>(v), c.day) << c.text;
        }
    }
}

TEST(CsvTableTest, CharacterWiseHelpers)
{
    EXPECT_EQ(ReplaceAllChars("ソ", "\\", "x"), "ソ");   // never from a trail byte
    EXPECT_EQ(ReplaceAllChars("aaa", "a", "aa"), "aaaaaa");
    EXPECT_EQ(ReplaceAllChars("abc", "", "x"), "abc");
    EXPECT_FALSE(ContainsChars("表", "\\"));
    EXPECT_TRUE(ContainsChars("a表", "表"));
}

}   // namespace

namespace {

// The message of the EPoru that `f` raises, or "(none)".
template <class F> std::string RaisedMessage(F f)
{
    try {
        f();
    } catch (const EPoru& e) {
        return e.Message;
    }
    return "(none)";
}

}   // namespace

// Positions far beyond a table or a text: refused with the memory message before
// gigabytes of padding are built, while what fits is still built as before.
TEST(CsvTableTest, FarPositionsAreRefusedBeforeTheyAreBuilt)
{
    const std::string tooLarge = "メモリが足りません。作ろうとした文字列が大きすぎます。";
    TCsvDb db;
    db.SetText("a,b\r\nc,d\r\n");
    const std::string before = db.GetText();
    EXPECT_EQ(RaisedMessage([&] { db.InsertColumn(100000000); }), tooLarge);
    EXPECT_EQ(RaisedMessage([&] { db.PasteColumn(100000000, "x\r\ny"); }), tooLarge);
    EXPECT_EQ(RaisedMessage([&] { db.MoveColumn(0, 100000000); }), tooLarge);
    EXPECT_EQ(RaisedMessage([&] { db.SetCell(100000000, 0, "x"); }), tooLarge);
    EXPECT_EQ(RaisedMessage([&] { db.SetCell(0, 100000000, "x"); }), tooLarge);
    EXPECT_EQ(RaisedMessage([&] { db.SetRow(int64_t{1} << 40, "x"); }), tooLarge);
    EXPECT_EQ(db.GetText(), before);   // nothing changed

    // Near positions still pad as the table rules say.
    db.InsertColumn(4);
    EXPECT_EQ(db.GetText(), "a,b,,,\r\nc,d,,,\r\n");
    db.MoveColumn(0, 6);
    EXPECT_EQ(db.GetText(), "b,,,,,,a\r\nd,,,,,,c\r\n");

    // Lines: the empty lines up to a far index are written without a list of them.
    EXPECT_EQ(RaisedMessage([] { InsertLine("a\r\n", 1000000000, "x"); }), tooLarge);
    EXPECT_EQ(RaisedMessage([] { InsertLine("a\r\n", int64_t{1} << 62, "x"); }), tooLarge);
    std::string far = InsertLine("a\r\n", 2000000, "x");
    ASSERT_EQ(far.size(), 3u + 2 * 1999999 + 3);
    EXPECT_EQ(far.substr(0, 5), "a\r\n\r\n");
    EXPECT_EQ(far.substr(far.size() - 5), "\r\nx\r\n");
    EXPECT_EQ(InsertLine("a\r\nb\r\n", 3, "x"), "a\r\nb\r\n\r\nx\r\n");
}

// Found by fuzzing: cells of broken Shift_JIS (a lead byte before a quote, a lead
// byte at the very end) were written so that the reader paired the lead byte with
// the quote or comma after it, and the rows and cells after it fell apart.
TEST(CsvTableTest, BrokenTwoByteCharactersSurviveWritingAndReading)
{
    const std::vector<TCsvCells> tables[] = {
        {{"a", "\x83\" , x", "b"}, {"c", "d", "e"}},
        {{"x\x83", "y"}, {"\x83", "z"}},
        {{"q\"\x83"}, {"\x83\"\x83\""}},
        {{"end", "\x83,\r\n\x83"}},
    };
    for (const auto& rows : tables) {
        TCsvDb db;
        db.Rows = rows;
        TCsvDb back;
        back.SetText(db.GetText());
        EXPECT_EQ(back.Rows, rows) << db.GetText();
    }
}

// Found by fuzzing: a number beyond the range in a column sorted by number is the
// conversion's own error, raised to the command (not a crash, not a silent order).
TEST(CsvTableTest, NumberOutOfRangeWhileSortingIsTheConversionError)
{
    const std::string message = "'99.E+999999' は浮動小数点数ではありません";
    TCsvDb db;
    db.SetText("2,a\r\n99.E+999999,b\r\n1,c\r\n");
    EXPECT_EQ(RaisedMessage([&] { db.Sort(0, TCsvDb::SortKind::Number); }), message);
    EXPECT_EQ(RaisedMessage([] { SortLinesNumber("2\r\n99.E+999999\r\n"); }), message);
}
