// The line-array commands: an array is a text read as lines (CR LF, LF or CR) and
// written back with CR LF after every line.
#include "commands/numbers/random.h"
#include "commands/tables/csv_table.h"
#include "interp/builtins.h"
#include "loader/normaliser.h"

namespace {

int64_t PopIndex(TPoruBase& st)
{
    long double v = st.PopNumber();
    if (!(v > -9.2e18L && v < 9.2e18L))
        return -1;
    return static_cast<int64_t>(v);
}

// ソート: lines in case-insensitive order.
void cmdSort(TPoruBase& st)
{
    st.SetSorePending(SortLinesText(st.PopText()), "s");
}

// 数値ソート: lines ordered by their numbers.
void cmdNumberSort(TPoruBase& st)
{
    st.SetSorePending(SortLinesNumber(st.PopText()), "s");
}

// 配列シャッフル: n + 1 exchanges between positions drawn from the shared generator.
void cmdShuffle(TPoruBase& st)
{
    std::string text = st.PopText();
    std::vector<std::string_view> lines = SplitLineViews(text);
    const int32_t n = static_cast<int32_t>(lines.size());
    if (n > 0) {
        TRandom& rnd = SharedRandom(st);
        for (int32_t k = 0; k <= n; ++k) {
            int32_t a = rnd.Below(n);
            int32_t b = rnd.Below(n);
            std::swap(lines[a], lines[b]);
        }
    }
    st.SetSoreValue(JoinLines(lines));
}

// 行挿入: the text inserted as line `index` (nothing for a negative index).
void cmdInsertLine(TPoruBase& st)
{
    std::string line = st.PopText();
    int64_t index = PopIndex(st);
    std::string text = st.PopText();
    if (index < 0)
        return;
    st.SetSoreValue(InsertLine(text, index, line));
}

// 行削除: line `index` removed (nothing when there is no such line).
void cmdDeleteLine(TPoruBase& st)
{
    int64_t index = PopIndex(st);
    std::string text = st.PopText();
    std::string out;
    if (DeleteLine(text, index, out))
        st.SetSoreValue(std::move(out));
}

TArrayStats Stats(TPoruBase& st, bool stdDev)
{
    std::string text = st.PopText();
    std::vector<std::string> lines;
    for (std::string_view l : SplitLineViews(text))
        lines.push_back(ToHalf(l));
    try {
        return ArrayStats(lines, stdDev);
    } catch (const ECsv& e) {
        st.Error(e.what());
    }
}

void cmdSum(TPoruBase& st)
{
    st.SetSoreNumber(Stats(st, false).Sum);
}
void cmdAverage(TPoruBase& st)
{
    st.SetSoreNumber(Stats(st, false).Mean);
}
void cmdVariance(TPoruBase& st)
{
    st.SetSoreNumber(Stats(st, false).Variance);
}
void cmdStdDev(TPoruBase& st)
{
    st.SetSoreNumber(Stats(st, true).StdDev);
}
void cmdMax(TPoruBase& st)
{
    st.SetSoreNumber(Stats(st, false).Max);
}
void cmdMin(TPoruBase& st)
{
    st.SetSoreNumber(Stats(st, false).Min);
}

HandlerRegistrar reg({
    {Cmd::Sort, cmdSort},
    {Cmd::NumberSort, cmdNumberSort},
    {Cmd::InsertLine, cmdInsertLine},
    {Cmd::DeleteLine, cmdDeleteLine},
    {Cmd::Sum, cmdSum},
    {Cmd::Average, cmdAverage},
    {Cmd::Variance, cmdVariance},
    {Cmd::StdDev, cmdStdDev},
    {Cmd::Max, cmdMax},
    {Cmd::Min, cmdMin},
    {Cmd::Shuffle, cmdShuffle},
});

}   // namespace
