// Reading a received mail message: headers (unfolded, RFC 2047 encoded words in any
// of the Japanese character sets, UTF-8 or ASCII), MIME parts nested to any depth,
// Base64 and quoted-printable bodies, file names in RFC 2231 form. Everything the
// script sees comes out in Shift_JIS.
//
//   TParsedMail m = ParseMail(raw);
//   m.Subject        -> "会議" (Shift_JIS)
//   m.Attachments[0] -> {"資料.pdf", bytes}
#pragma once
#include <string>
#include <string_view>
#include <vector>

struct TReceivedAttachment {
    std::string Name;   // decoded (Shift_JIS), as the sender gave it: not yet safe as a file name
    std::string Data;
};

struct TParsedMail {
    std::string ReplyTo;   // Shift_JIS, "" when the message has none
    std::string From;
    std::string To;
    std::string Subject;
    std::string Date;   // "yyyy/mm/dd hh:mm:ss" in local time, "" when missing or unreadable
    std::string Body;   // the text parts, then the message's own body, in Shift_JIS
    std::vector<TReceivedAttachment> Attachments;
};

TParsedMail ParseMail(std::string_view raw);

// ---- the pieces (used by ParseMail) ----

// A header value with its encoded words decoded, in Shift_JIS; the rest is taken by
// the code detection (JIS, EUC-JP or Shift_JIS).
std::string DecodeHeaderValue(std::string_view value);
// Bytes in a named character set to Shift_JIS (ISO-2022-JP, EUC-JP, Shift_JIS and
// its aliases, UTF-8); any other or no set: by the code detection.
std::string CharsetToSjis(std::string_view bytes, std::string_view charset);
std::string DecodeQuotedPrintable(std::string_view text);
// A parameter of a structured header ("text/plain; charset=x", "attachment;
// filename*=UTF-8''%E8%B3%87"): RFC 2231 continuations and character sets are
// joined and decoded, a plain value has its encoded words decoded; Shift_JIS.
// found is cleared when the parameter is absent.
std::string HeaderParameter(std::string_view value, std::string_view name, bool* found = nullptr);
// The lower-case first token of a structured header ("Text/Plain; ..." -> "text/plain").
std::string HeaderToken(std::string_view value);
// An RFC 5322 date as "yyyy/mm/dd hh:mm:ss" in local time; "" when unreadable.
std::string FormatMailDate(std::string_view date);
