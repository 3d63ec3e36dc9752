// The lines exchanged with the office helper process (office_helper.py), and the
// Japanese reasons that the spreadsheet and word-processor commands give for what
// the helper reports.
//
// A line is fields separated by tabs and ended by a line feed; inside a field a
// backslash, tab, line feed and carriage return are written \\ \t \n \r. Fields are
// UTF-8. A request is an operation name and its arguments; a reply is "ok" and its
// results, or "err", a failure code and a detail text.
#pragma once
#include <string>
#include <string_view>
#include <vector>

std::string EncodeOfficeLine(const std::vector<std::string>& fields);
// Splits one line (without its line feed); false for an unknown escape or a
// backslash at the end.
bool DecodeOfficeLine(std::string_view line, std::vector<std::string>& fields);

struct TOfficeReply {
    bool Ok = false;
    std::vector<std::string> Values;   // the results after "ok"
    std::string Code;                  // for a failure: the code ...
    std::string Detail;                // ... and the helper's detail (UTF-8)
};
// A reply line's fields; anything but "ok ..." or "err CODE [DETAIL]" is a
// protocol failure.
TOfficeReply ParseOfficeReply(const std::vector<std::string>& fields);
TOfficeReply OfficeFailure(std::string code, std::string detail = std::string());

enum class TOfficeSide { Spreadsheet, Word };

// The reason for a failure code, in Shift_JIS. `subject` (Shift_JIS) is what the
// command named: a file, a macro, a bookmark or a cell "x,y"; `detail` (UTF-8) the
// office's own message where the reason quotes it.
std::string OfficeReason(TOfficeSide side, std::string_view code, std::string_view subject, std::string_view detail);
// "Excelのエラー。" or "Wordのエラー。" followed by the reason.
std::string OfficeErrorText(TOfficeSide side, std::string_view reason);
