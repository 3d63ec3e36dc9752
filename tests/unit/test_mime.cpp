// Mail messages: the header encoding and composition of outgoing mail, the parsing
// of received mail, and one round trip through both.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <regex>

#include "commands/encodings/base64.h"
#include "commands/encodings/jconvert.h"
#include "net/mime_compose.h"
#include "net/mime_parse.h"

namespace {

std::vector<std::string> Lines(const std::string& text)
{
    std::vector<std::string> out;
    size_t from = 0;
    while (from < text.size()) {
        size_t end = text.find("\r\n", from);
        if (end == std::string::npos)
            end = text.size();
        out.push_back(text.substr(from, end - from));
        from = end + 2;
    }
    return out;
}

// The unfolded value of the first header of that name, "<none>" when it has none.
std::string HeaderOf(const std::string& message, const std::string& name)
{
    const std::string head = "\r\n" + message.substr(0, message.find("\r\n\r\n") + 2);
    const size_t at = head.find("\r\n" + name + ":");
    if (at == std::string::npos)
        return "<none>";
    std::string v;
    size_t i = at + 2 + name.size() + 1;
    for (;;) {
        const size_t end = head.find("\r\n", i);
        v += head.substr(i, end - i);
        i = end + 2;
        if (i >= head.size() || (head[i] != ' ' && head[i] != '\t'))
            break;
    }
    return v.substr(v.find_first_not_of(" \t"));
}

}   // namespace

// ---- header encoding ----

TEST(MimeHeader, PlainAsciiStaysAsItIs)
{
    EXPECT_EQ(EncodeHeaderText("Weekly report (v2)"), "Weekly report (v2)");
    EXPECT_EQ(EncodeHeaderText(""), "");
}

TEST(MimeHeader, WideRunsBecomeWordsThatDecodeBack)
{
    const std::string e = EncodeHeaderText("Re: 会議");
    ASSERT_EQ(e.rfind("Re: =?ISO-2022-JP?B?", 0), 0u) << e;
    EXPECT_EQ(e.find("=?ISO", 5), std::string::npos) << "one word: " << e;
    EXPECT_EQ(DecodeHeaderValue(e), "Re: 会議");
    // words separated by spaces are one run, so the space survives decoding
    EXPECT_EQ(DecodeHeaderValue(EncodeHeaderText("山田 太郎")), "山田 太郎");
    EXPECT_EQ(DecodeHeaderValue(EncodeHeaderText("a 山田 b 太郎 c")), "a 山田 b 太郎 c");
}

TEST(MimeHeader, WordsAreShortEndInAsciiAndCarryHalfWidthKana)
{
    const std::string text = "長い件名の例として、全角の文字ばかりを何十文字も並べた件名を作って折り返しを確かめる";
    const std::string e = EncodeHeaderText(text + "ｶﾞ");
    std::regex word("=\\?ISO-2022-JP\\?B\\?([A-Za-z0-9+/=]*)\\?=");
    int words = 0;
    for (auto it = std::sregex_iterator(e.begin(), e.end(), word); it != std::sregex_iterator(); ++it) {
        ++words;
        EXPECT_LE(it->length(0), 75);
        const std::string jis = Base64Decode((*it)[1].str());
        EXPECT_EQ(jis.substr(0, 3), "\x1b$B");
        EXPECT_EQ(jis.substr(jis.size() - 3), "\x1b(B") << "each word ends in ASCII";
    }
    EXPECT_GE(words, 3);
    for (unsigned char c : e)
        EXPECT_LT(c, 0x80) << "no raw 8-bit byte (half-width kana are encoded too)";
    EXPECT_EQ(DecodeHeaderValue(e), text + "ガ");
}

TEST(MimeHeader, QuotesAndLineBreaks)
{
    EXPECT_EQ(DecodeHeaderValue(EncodeHeaderText("\"お知らせ\"")), "”お知らせ”");
    EXPECT_EQ(EncodeHeaderText("Subject\r\nBcc: x@y"), "SubjectBcc: x@y");
    EXPECT_EQ(HeaderSafe(std::string("a\rb\nc\0d", 7)), "abcd");
}

// ---- address lists ----

TEST(MimeAddresses, SplitAndSpec)
{
    EXPECT_EQ(SplitAddressList("a@x, b@y\r\nc@z\n\n ,d@w"), (std::vector<std::string>{"a@x", "b@y", "c@z", "d@w"}));
    EXPECT_EQ(SplitAddressList("\"Yamada, Taro\" <t@x>, <u@y>"),
              (std::vector<std::string>{"\"Yamada, Taro\" <t@x>", "<u@y>"}));
    EXPECT_EQ(SplitAddressList("山田 <y@x>,表 <h@x>"), (std::vector<std::string>{"山田 <y@x>", "表 <h@x>"}));
    EXPECT_EQ(AddressSpec("Taro <t@x>"), "t@x");
    EXPECT_EQ(AddressSpec("  t@x "), "t@x");
    EXPECT_EQ(AddressSpec("<t@x"), "t@x");
}

TEST(MimeAddresses, EnvelopeHasEveryRecipientOnce)
{
    TMailDraft d;
    d.To = "A <a@x>, b@x";
    d.Cc = {"c@x,a@x"};
    d.Bcc = {"hidden@x"};
    EXPECT_EQ(EnvelopeRecipients(d), (std::vector<std::string>{"a@x", "b@x", "c@x", "hidden@x"}));
}

// ---- composition ----

TEST(MimeCompose, PlainMail)
{
    TMailDraft d;
    d.Mailer = "日本語プログラム言語「ぽるかな」";
    d.Subject = "会議";
    d.To = "山田 <y@example.com>, b@example.com";
    d.Cc = {"c@example.com"};
    d.Bcc = {"hidden@example.com"};
    d.FromAddress = "me@example.com";
    d.FromName = "Taro";
    d.Body = "本文\r\n二行目\n.";
    d.Date = "Tue, 03 Dec 2024 09:05:00 +0900";
    d.MessageId = "<1@x>";
    const std::string m = ComposeMail(d);
    EXPECT_EQ(HeaderOf(m, "From"), "\"Taro\" <me@example.com>");
    EXPECT_EQ(HeaderOf(m, "Reply-To"), "me@example.com");
    EXPECT_EQ(DecodeHeaderValue(HeaderOf(m, "To")), "山田 <y@example.com>, b@example.com");
    EXPECT_EQ(HeaderOf(m, "Cc"), "c@example.com");
    EXPECT_EQ(HeaderOf(m, "Bcc"), "<none>");
    EXPECT_EQ(m.find("hidden"), std::string::npos);
    EXPECT_EQ(DecodeHeaderValue(HeaderOf(m, "Subject")), "会議");
    EXPECT_EQ(DecodeHeaderValue(HeaderOf(m, "X-Mailer")), "日本語プログラム言語「ぽるかな」");
    EXPECT_EQ(HeaderOf(m, "Content-Type"), "text/plain; charset=\"iso-2022-jp\"");
    EXPECT_EQ(HeaderOf(m, "Content-Transfer-Encoding"), "7bit");
    const std::string body = m.substr(m.find("\r\n\r\n") + 4);
    EXPECT_EQ(body, SjisToJis("本文\r\n二行目\r\n.") + "\r\n");
    for (const std::string& line : Lines(m))
        EXPECT_LE(line.size(), 78u) << line;
}

TEST(MimeCompose, AttachmentsRoundTripThroughTheParser)
{
    TMailDraft d;
    d.Subject = "資料の件 ｶﾅ";
    d.To = "to@example.com";
    d.FromAddress = "me@example.com";
    d.FromName = "送信 者";
    d.Body = "添付します。";
    std::string binary;
    for (int i = 0; i < 3000; ++i)
        binary += static_cast<char>(i * 7);
    d.Attachments = {{"資料.bin", binary}, {"a b.txt", "text\r\n"}};
    d.Date = "Wed, 04 Dec 2024 01:02:03 +0000";
    d.Boundary = "----=_NextPart_test";
    const std::string m = ComposeMail(d);
    for (const std::string& line : Lines(m)) {
        EXPECT_LE(line.size(), 78u) << line;
        for (unsigned char c : line)
            ASSERT_LT(c, 0x80) << line;
    }
    EXPECT_EQ(HeaderOf(m, "Content-Type"), "multipart/mixed; boundary=\"----=_NextPart_test\"");

    setenv("TZ", "UTC", 1);
    tzset();
    const TParsedMail p = ParseMail(m);
    EXPECT_EQ(p.Subject, "資料の件 カナ");
    EXPECT_EQ(p.From, "送信 者 <me@example.com>");
    EXPECT_EQ(p.ReplyTo, "me@example.com");
    EXPECT_EQ(p.To, "to@example.com");
    EXPECT_EQ(p.Date, "2024/12/04 01:02:03");
    EXPECT_EQ(p.Body, "添付します。");
    ASSERT_EQ(p.Attachments.size(), 2u);
    EXPECT_EQ(p.Attachments[0].Name, "資料.bin");
    EXPECT_EQ(p.Attachments[0].Data, binary);
    EXPECT_EQ(p.Attachments[1].Name, "a b.txt");
    EXPECT_EQ(p.Attachments[1].Data, "text\r\n");
}

TEST(MimeCompose, DateAndBase64Lines)
{
    setenv("TZ", "JST-9", 1);
    tzset();
    EXPECT_EQ(MailDate(0), "Thu, 01 Jan 1970 09:00:00 +0900");
    setenv("TZ", "UTC", 1);
    tzset();
    EXPECT_EQ(MailDate(86400 * 365), "Fri, 01 Jan 1971 00:00:00 +0000");
    const std::string b = Base64Lines(std::string(100, 'x'));
    const std::vector<std::string> lines = Lines(b);
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0].size(), 76u);
    EXPECT_EQ(Base64Decode(b), std::string(100, 'x'));
    EXPECT_EQ(Base64Lines(""), "");
}

// ---- parsing pieces ----

TEST(MimeParse, EncodedWords)
{
    struct {
        const char* in;
        const char* out;
    } cases[] = {
        {"=?ISO-2022-JP?B?GyRCMnE1RBsoQg==?= test", "会議 test"},
        {"=?iso-2022-jp?b?GyRCMnE1RBsoQg==?=  =?ISO-2022-JP?B?GyRCMnE1RBsoQg==?=", "会議会議"},
        {"=?UTF-8?B?5Lya6K2w?=", "会議"},
        {"=?utf-8?Q?=E4=BC=9A=E8=AD=B0_x?=", "会議 x"},
        {"=?EUC-JP?B?svG1xA==?=", "会議"},
        {"a =?UTF-8?B?5Lya6K2w?= b", "a 会議 b"},
        {"=?KOI8-R?B?abc?=", "=?KOI8-R?B?abc?="},
        {"=?UTF-8?B?broken", "=?UTF-8?B?broken"},
        {"plain", "plain"},
        {"\x1b$B2q5D\x1b(B", "会議"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(DecodeHeaderValue(c.in), c.out) << c.in;
}

TEST(MimeParse, UnterminatedEncodedWordsTakeLinearTime)
{
    std::string value;
    while (value.size() < 1100000)
        value += "=?UTF-8?B?QUJD";
    const auto start = std::chrono::steady_clock::now();
    const std::string out = DecodeHeaderValue(value);
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    EXPECT_LT(seconds, 1.0);
    EXPECT_EQ(out, value);
    // a word that does end after the junk still decodes like before
    EXPECT_EQ(DecodeHeaderValue("=?UTF-8?B " + std::string(1000, 'x') + " =?UTF-8?B?5Lya6K2w?="),
              "=?UTF-8?B " + std::string(1000, 'x') + " 会議");
}

TEST(MimeParse, QuotedPrintable)
{
    EXPECT_EQ(DecodeQuotedPrintable("a=3Db=\r\nc=\nd"), "a=bcd");
    EXPECT_EQ(DecodeQuotedPrintable("=E4=BC=9A"), "\xE4\xBC\x9A");
    EXPECT_EQ(DecodeQuotedPrintable("x= \r\ny"), "xy");
    EXPECT_EQ(DecodeQuotedPrintable("lone = and =ZZ"), "lone = and =ZZ");
    EXPECT_EQ(DecodeQuotedPrintable("end="), "end");
}

TEST(MimeParse, Parameters)
{
    bool found = true;
    EXPECT_EQ(HeaderParameter("text/plain; charset=\"ISO-2022-JP\"", "charset"), "ISO-2022-JP");
    EXPECT_EQ(HeaderParameter("attachment; filename=a.txt; size=3", "filename"), "a.txt");
    EXPECT_EQ(HeaderParameter("attachment; filename=\"a\\\"b;c.txt\"", "filename"), "a\"b;c.txt");
    EXPECT_EQ(HeaderParameter("attachment; FileName*=UTF-8''%E8%B3%87%E6%96%99.pdf", "filename"), "資料.pdf");
    EXPECT_EQ(HeaderParameter("attachment; filename*0*=UTF-8''%E8%B3%87; filename*1=\"x.pdf\"", "filename"), "資x.pdf");
    EXPECT_EQ(HeaderParameter("attachment; filename*1=\"b\"; filename*0=\"a\"", "filename"), "ab");
    EXPECT_EQ(HeaderParameter("attachment; filename=\"=?ISO-2022-JP?B?GyRCMnE1RBsoQg==?=.doc\"", "filename"),
              "会議.doc");
    EXPECT_EQ(HeaderParameter("attachment", "filename", &found), "");
    EXPECT_FALSE(found);
    EXPECT_EQ(HeaderToken(" Multipart/Mixed ; boundary=x"), "multipart/mixed");
}

TEST(MimeParse, Dates)
{
    setenv("TZ", "JST-9", 1);
    tzset();
    struct {
        const char* in;
        const char* out;
    } cases[] = {
        {"Tue, 03 Dec 2024 09:05:00 +0900", "2024/12/03 09:05:00"},
        {"3 Dec 2024 00:05 GMT", "2024/12/03 09:05:00"},
        {"Thu, 05 Dec 2024 10:00:00 -0500 (EST)", "2024/12/06 00:00:00"},
        {"Sat, 1 Jan 99 12:00:00 +0000", "1999/01/01 21:00:00"},
        {"Mon, 31 Dec 2024 23:59:59 JST", "2024/12/31 23:59:59"},
        {"bad date", ""},
        {"", ""},
        {"Tue, 03 Foo 2024 09:05:00 +0900", ""},
        {"Tue, 03 Dec 2024 25:05:00 +0900", ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(FormatMailDate(c.in), c.out) << c.in;
}

TEST(MimeParse, PartsAttachmentsAndBodies)
{
    const std::string raw =
        "From: a@x\nTo: b@x\nSubject: s\nMIME-Version: 1.0\n"
        "Content-Type: multipart/mixed; boundary=\"outer\"\n\npreamble\n"
        "--outer\nContent-Type: multipart/alternative; boundary=inner\n\n"
        "--inner\nContent-Type: text/plain; charset=utf-8\nContent-Transfer-Encoding: base64\n\n5pys5paH\n"
        "--inner\nContent-Type: text/html; charset=iso-2022-jp\n\n<p>\x1b$BK\\J8\x1b(B</p>\n"
        "--inner--\n"
        "--outer\nContent-Type: image/png\nContent-Transfer-Encoding: base64\n\nAAEC\n"
        "--outer\nContent-Type: text/plain; name=memo.txt\n\nmemo\n"
        "--outer\nContent-Type: text/plain\nContent-Disposition: attachment\n\nnameless\n"
        "--outer--\nepilogue\n";
    const TParsedMail m = ParseMail(raw);
    EXPECT_EQ(m.Body, "本文<p>本文</p>");
    ASSERT_EQ(m.Attachments.size(), 3u);
    EXPECT_EQ(m.Attachments[0].Name, "");
    EXPECT_EQ(m.Attachments[0].Data, std::string("\x00\x01\x02", 3));
    EXPECT_EQ(m.Attachments[1].Name, "memo.txt");
    EXPECT_EQ(m.Attachments[1].Data, "memo");
    EXPECT_EQ(m.Attachments[2].Data, "nameless");
    EXPECT_EQ(m.ReplyTo, "");
}

TEST(MimeParse, SinglePartBodiesAndBrokenStructures)
{
    // the message's own body, folded headers, a body in Shift_JIS found by detection
    TParsedMail m = ParseMail("Subject: =?ISO-2022-JP?B?GyRCMnE1RBsoQg==?=\r\n =?ISO-2022-JP?B?GyRCMnE1RBsoQg==?=\r\n"
                              "Reply-To: r@x\r\n\r\n本文\r\n");
    EXPECT_EQ(m.Subject, "会議会議");
    EXPECT_EQ(m.ReplyTo, "r@x");
    EXPECT_EQ(m.Body, "本文\r\n");
    // a multipart without its closing delimiter keeps its last part
    m = ParseMail("Content-Type: multipart/mixed; boundary=b\r\n\r\n--b\r\n\r\nfirst\r\n--b\r\n\r\nsecond");
    EXPECT_EQ(m.Body, "firstsecond");
    // no header block at all, and a multipart without a boundary
    EXPECT_EQ(ParseMail("").Body, "");
    m = ParseMail("Content-Type: multipart/mixed\r\n\r\nraw");
    ASSERT_EQ(m.Attachments.size(), 1u);
    EXPECT_EQ(m.Attachments[0].Data, "raw");
}

TEST(MimeParse, DeepNestingStaysBounded)
{
    std::string raw;
    for (int i = 0; i < 200; ++i)
        raw += "Content-Type: multipart/mixed; boundary=b" + std::to_string(i) + "\r\n\r\n--b" + std::to_string(i) +
               "\r\n";
    raw += "\r\ninner";
    const TParsedMail m = ParseMail(raw);   // must neither overflow nor loop
    EXPECT_EQ(m.Attachments.size(), 1u);
}

TEST(MimeCompose, FoldingNeverMakesBlankLines)
{
    TMailDraft d;
    d.To = "t@x";
    d.Subject = std::string(70, 'a') + "     " + std::string(70, 'b') + " " + std::string(3, 'c');
    const std::string m = ComposeMail(d);
    const std::string head = m.substr(0, m.find("\r\n\r\n") + 2);
    for (const std::string& line : Lines(head)) {
        EXPECT_NE(line.find_first_not_of(" \t"), std::string::npos) << "blank header line";
        EXPECT_NE(line, "Subject:");
    }
    EXPECT_EQ(HeaderOf(m, "Subject"), d.Subject);
}
