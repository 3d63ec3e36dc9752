// The table commands: CSV texts read by the table engine, sorted, searched,
// filtered, reshaped and written back. Row 0 is a header for the commands that say
// so when 表フィールド名 holds "1".
#include "commands/patterns/wildcard.h"
#include "commands/strings/strings.h"
#include "commands/tables/csv_table.h"
#include "interp/builtins.h"
#include "loader/normaliser.h"

namespace {

bool HeaderOn(TPoruBase& st)
{
    THashNode* n = st.Words.FindExact("表フィールド名");
    return n && n->Value == "1";
}

TCsvDb ReadTable(const std::string& text, bool header)
{
    TCsvDb db;
    db.SetText(text);
    db.Header = header;
    return db;
}

// A column given as an integer text: -1 (also what a non-integer gives) is an
// argument error.
int64_t PopColumnStrict(TPoruBase& st)
{
    int32_t col = ToIntOrDefault(st.PopText(), -1);
    if (col == -1)
        st.ArgError();
    return col;
}

int64_t PopColumnInt(TPoruBase& st)
{
    return ToIntOrDefault(st.PopText(), -1);
}

// A column or row given as a number (truncated toward zero).
int64_t PopIndex(TPoruBase& st)
{
    long double v = st.PopNumber();
    if (!(v > -9.2e18L && v < 9.2e18L))
        return -1;
    return static_cast<int64_t>(v);
}

// 要素数, 表行数: the number of CSV rows.
void cmdRowCount(TPoruBase& st)
{
    TCsvDb db = ReadTable(st.PopText(), false);
    st.SetSoreNumber(static_cast<long double>(db.RowCount()));
}

// 表列数: the largest cell count of any row.
void cmdColumnCount(TPoruBase& st)
{
    TCsvDb db = ReadTable(st.PopText(), false);
    st.SetSoreNumber(static_cast<long double>(db.Width()));
}

// 逆にする: the rows in reverse order, rewritten as CSV.
void cmdReverse(TPoruBase& st)
{
    TCsvDb db = ReadTable(st.PopText(), false);
    db.Reverse();
    st.SetSorePending(db.GetText(), "s");
}

// 表ピックアップ: rows whose cell matches a wildcard pattern or contains the text.
void cmdPickup(TPoruBase& st)
{
    std::string pattern = st.PopText();
    int64_t col = PopColumnInt(st);
    std::string table = st.PopText();
    if (pattern.empty()) {
        st.SetSore(st.Sys.Sore->Value, "s");
        return;
    }
    try {
        st.SetSore(PickupText(table, col, pattern, HeaderOn(st)), "s");
    } catch (const EWildcard& e) {
        st.Error(e.what());
    }
}

// 表条件抽出: the header and the rows meeting a condition such as 価格>100 AND 名前="山*".
void cmdFilter(TPoruBase& st)
{
    std::string cond = st.PopText();
    TCsvDb db = ReadTable(st.PopText(), true);
    try {
        st.SetSore(db.Filter(PrepareCondition(cond, ToHalf)), "s");
    } catch (const ECsv& e) {
        st.Error(std::string("CSVデータベースの解析エラー。") + e.what());
    } catch (const EWildcard& e) {
        st.Error(std::string("CSVデータベースの解析エラー。") + e.what());
    } catch (const EPoru& e) {
        if (e.Recorded)
            throw;
        st.Error("CSVデータベースの解析エラー。" + e.Message);
    }
}

void FindNext(TPoruBase& st)
{
    TFindCsv& f = st.Ext<TFindCsv>();
    try {
        st.SetSoreNumber(static_cast<long double>(f.FindNext()));
    } catch (const EWildcard& e) {
        st.Error(e.what());
    }
}

// 表検索 (exact) and 表曖昧検索 (wildcard or substring): store the search and find
// the first row.
void StartSearch(TPoruBase& st, bool exact)
{
    std::string key = st.PopText();
    int64_t col = PopColumnInt(st);
    std::string table = st.PopText();
    TFindCsv& f = st.Ext<TFindCsv>();
    f.Table.SetText(table);
    f.Key = std::move(key);
    f.Column = col;
    f.Exact = exact;
    f.NextRow = HeaderOn(st) ? 1 : 0;
    f.Width = f.Table.Width();
    FindNext(st);
}

void cmdSearch(TPoruBase& st)
{
    StartSearch(st, true);
}
void cmdFuzzySearch(TPoruBase& st)
{
    StartSearch(st, false);
}
void cmdSearchNext(TPoruBase& st)
{
    FindNext(st);
}
void cmdSearchClear(TPoruBase& st)
{
    st.Ext<TFindCsv>().Clear();
}

// 表最大値, 表最小値, 表合計, 表平均値 over the data rows of a column.
template <long double (TCsvDb::*Fn)(int64_t) const> void ColumnValue(TPoruBase& st)
{
    int64_t col = PopColumnStrict(st);
    TCsvDb db = ReadTable(st.PopText(), HeaderOn(st));
    st.SetSoreNumber((db.*Fn)(col));
}

// 表ソート, 表数値ソート, 表日付ソート: the data rows sorted by a column.
void SortTable(TPoruBase& st, TCsvDb::SortKind kind, bool pending)
{
    int64_t col = PopIndex(st);
    TCsvDb db = ReadTable(st.PopText(), HeaderOn(st));
    try {
        db.Sort(col, kind);
    } catch (const ECsv& e) {
        st.Error(e.what());
    }
    if (pending)
        st.SetSorePending(db.GetText(), "s");
    else
        st.SetSore(db.GetText(), "s");
}

void cmdSortText(TPoruBase& st)
{
    SortTable(st, TCsvDb::SortKind::Text, false);
}
void cmdSortNumber(TPoruBase& st)
{
    SortTable(st, TCsvDb::SortKind::Number, true);
}
void cmdSortDate(TPoruBase& st)
{
    SortTable(st, TCsvDb::SortKind::Date, false);
}

// 表列挿入 and 表列削除 (nothing for a negative column).
void cmdInsertColumn(TPoruBase& st)
{
    int64_t col = PopIndex(st);
    TCsvDb db = ReadTable(st.PopText(), false);
    if (col < 0)
        return;
    db.InsertColumn(col);
    st.SetSoreValue(db.GetText());
}

void cmdDeleteColumn(TPoruBase& st)
{
    int64_t col = PopIndex(st);
    TCsvDb db = ReadTable(st.PopText(), false);
    if (col < 0)
        return;
    db.DeleteColumn(col);
    st.SetSoreValue(db.GetText());
}

// 表重複項目削除: only the last row of each key remains.
void cmdRemoveDuplicates(TPoruBase& st)
{
    int64_t col = PopIndex(st);
    TCsvDb db = ReadTable(st.PopText(), false);
    if (col < 0)
        return;
    db.RemoveDuplicates(col);
    st.SetSoreValue(db.GetText());
}

// 表列コピー: the column's cells as lines.
void cmdCopyColumn(TPoruBase& st)
{
    int64_t col = PopIndex(st);
    TCsvDb db = ReadTable(st.PopText(), false);
    if (col < 0)
        return;
    st.SetSoreValue(db.ColumnLines(col));
}

// 表列貼付け: the lines inserted as a column.
void cmdPasteColumn(TPoruBase& st)
{
    std::string lines = st.PopText();
    int64_t col = PopIndex(st);
    TCsvDb db = ReadTable(st.PopText(), false);
    if (col < 0)
        return;
    db.PasteColumn(col, lines);
    st.SetSoreValue(db.GetText());
}

// 表キー合成: B's cells joined into A by key columns; any failure empties それ.
void cmdJoin(TPoruBase& st)
{
    int64_t keyB = PopIndex(st);
    std::string tableB = st.PopText();
    int64_t keyA = PopIndex(st);
    std::string tableA = st.PopText();
    const bool header = HeaderOn(st);
    try {
        TCsvDb a = ReadTable(tableA, header);
        TCsvDb b = ReadTable(tableB, header);
        a.Join(keyA, b, keyB);
        st.SetSore(a.GetText(), "s");
    } catch (const std::exception&) {
        st.SetSoreValue(std::string());
    }
}

// 表行列交換: rows and columns exchanged.
void cmdTranspose(TPoruBase& st)
{
    TCsvDb db = ReadTable(st.PopText(), false);
    db.Transpose();
    st.SetSore(db.GetText(), "s");
}

// 表列指定置換: every match in one column replaced (header included).
void cmdReplaceInColumn(TPoruBase& st)
{
    std::string replacement = st.PopText();
    std::string search = st.PopText();
    int64_t col = PopIndex(st);
    TCsvDb db = ReadTable(st.PopText(), false);
    if (col >= 0)
        for (auto& row : db.Rows)
            if (static_cast<size_t>(col) < row.size())
                row[col] = sjistext::ReplaceAll(row[col], search, replacement);
    st.SetSore(db.GetText(), "s");
}

// 表列移動: one column moved to another position.
void cmdMoveColumn(TPoruBase& st)
{
    int64_t to = PopIndex(st);
    int64_t from = PopIndex(st);
    TCsvDb db = ReadTable(st.PopText(), false);
    db.MoveColumn(from, to);
    st.SetSore(db.GetText(), "s");
}

// テーブルタグで囲む: the table as an HTML table.
void cmdHtmlTable(TPoruBase& st)
{
    std::string attributes = st.PopText();
    TCsvDb db = ReadTable(st.PopText(), false);
    st.SetSore(db.Html(attributes), "s");
}

HandlerRegistrar reg({
    {Cmd::Reverse, cmdReverse},
    {Cmd::TablePickup, cmdPickup},
    {Cmd::TableSearch, cmdSearch},
    {Cmd::TableSearchNext, cmdSearchNext},
    {Cmd::TableSearchClear, cmdSearchClear},
    {Cmd::TableFuzzySearch, cmdFuzzySearch},
    {Cmd::TableMax, ColumnValue<&TCsvDb::ColumnMax>},
    {Cmd::TableMin, ColumnValue<&TCsvDb::ColumnMin>},
    {Cmd::TableMean, ColumnValue<&TCsvDb::ColumnMean>},
    {Cmd::TableSort, cmdSortText},
    {Cmd::TableNumberSort, cmdSortNumber},
    {Cmd::TableSum, ColumnValue<&TCsvDb::ColumnSum>},
    {Cmd::InsertColumn, cmdInsertColumn},
    {Cmd::DeleteColumn, cmdDeleteColumn},
    {Cmd::RemoveDuplicates, cmdRemoveDuplicates},
    {Cmd::CopyColumn, cmdCopyColumn},
    {Cmd::PasteColumn, cmdPasteColumn},
    {Cmd::TableDateSort, cmdSortDate},
    {Cmd::TableFilter, cmdFilter},
    {Cmd::TableJoin, cmdJoin},
    {Cmd::ElementCount, cmdRowCount},
    {Cmd::Transpose, cmdTranspose},
    {Cmd::TableRowCount, cmdRowCount},
    {Cmd::TableColumnCount, cmdColumnCount},
    {Cmd::ReplaceInColumn, cmdReplaceInColumn},
    {Cmd::MoveColumn, cmdMoveColumn},
    {Cmd::HtmlTable, cmdHtmlTable},
});

}   // namespace
