// Writing a mail message (RFC 5322 with MIME) from Shift_JIS texts: ISO-2022-JP
// encoded words in the headers, a JIS body, and multipart/mixed with Base64 parts
// when files are attached. CR and LF never reach a header from a field's text, so
// no field can add a header of its own; blind copies go to the envelope only.
//
//   TMailDraft d;  d.Subject = "会議";  d.To = "a@example.com";  d.Body = "本文";
//   ComposeMail(d)          -> "From: ...\r\nSubject: =?ISO-2022-JP?B?...?=\r\n..."
//   EnvelopeRecipients(d)   -> {"a@example.com"}
#pragma once
#include <ctime>
#include <string>
#include <string_view>
#include <vector>

struct TMailAttachment {
    std::string Name;   // file name (Shift_JIS), without its folder
    std::string Data;   // the file's bytes
};

struct TMailDraft {
    std::string Mailer;   // X-Mailer
    std::string Subject;
    std::string To;   // addresses, comma-separated or one per line
    std::vector<std::string> Cc;
    std::vector<std::string> Bcc;
    std::string FromAddress;   // also the reply-to address
    std::string FromName;
    std::string Body;
    std::vector<TMailAttachment> Attachments;
    std::string Date;        // RFC 5322 date (MailDate)
    std::string MessageId;   // "<...@...>"
    std::string Boundary;    // for multipart messages
};

// The whole message with CR LF line ends, ready for the SMTP DATA phase.
std::string ComposeMail(const TMailDraft& draft);
// The addresses of To, Cc and Bcc for the envelope, each once, in that order.
std::vector<std::string> EnvelopeRecipients(const TMailDraft& draft);

// A header text as encoded words where it is not plain ASCII: runs of words with
// two-byte characters or half-width katakana become "=?ISO-2022-JP?B?...?=" words
// (each at most 75 characters, each ending in ASCII), words of plain ASCII stay as
// they are. Double quotes become "”" first; CR, LF and NUL are dropped.
std::string EncodeHeaderText(std::string_view sjis);
// The entries of an address list: separated by commas or line breaks, except
// inside double quotes and angle brackets; trimmed, empty ones dropped.
std::vector<std::string> SplitAddressList(std::string_view list);
// The address of an entry: the text in angle brackets, or the whole entry.
std::string AddressSpec(std::string_view entry);
// CR, LF and NUL removed (a field's text is put into one header line).
std::string HeaderSafe(std::string_view text);
// "Tue, 03 Dec 2024 09:05:00 +0900" for a time, in local time.
std::string MailDate(time_t t);
// Base64 in lines of 76 characters, each ended by CR LF.
std::string Base64Lines(std::string_view data);
