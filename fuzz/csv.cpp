// The CSV reader and the table operations that rebuild text: parse, write back,
// parse again, and the whole-table operations.
#include "commands/tables/csv_table.h"
#include "core/error.h"
#include "fuzz_target.h"

void FuzzSetUp() {}

void FuzzOne(const uint8_t* data, size_t size)
{
    std::string_view text(reinterpret_cast<const char*>(data), size);
    TCsvDb db;
    db.SetText(text);
    const std::string once = db.GetText();
    TCsvDb again;
    again.SetText(once);
    // Written text reads back to as many rows: quotes, line breaks and broken
    // two-byte characters inside cells are written so that the reader finds the
    // same cell ends. (The cells themselves may still differ: the reader trims
    // blanks and drops an empty last cell, so only the shape is compared.)
    fuzz::Check(again.RowCount() == db.RowCount(), "reading written text changed the rows");
    const size_t width = db.Width();
    for (size_t r = 0; r < db.RowCount(); ++r) {
        std::string v = db.RowValue(static_cast<int64_t>(r));
        (void)v;
    }
    TCsvDb t = db;
    t.Transpose();
    fuzz::Check(t.RowCount() <= width + 1, "transpose grew the rows");
    db.Trim();
    db.Reverse();
    db.RemoveDuplicates(0);
    // Sorting by number reads every cell as a number: a number beyond the range is
    // the run-time error of the conversion (an EPoru), a bad date an ECsv.
    try {
        TCsvDb s = again;
        s.Sort(0, TCsvDb::SortKind::Number);
        s.Sort(1, TCsvDb::SortKind::Text);
        s.Sort(0, TCsvDb::SortKind::Date);
    } catch (const ECsv&) {
    } catch (const EPoru&) {
    }
    (void)again.FindRow(0, -1, "a", false, again.Width());
    (void)again.Html("");
    (void)SortLinesText(text);
    try {
        (void)SortLinesNumber(text);
        (void)again.ColumnSum(0);
    } catch (const EPoru&) {
    }
}
