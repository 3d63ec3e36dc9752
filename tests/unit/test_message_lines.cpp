// The reported-line and argument-error texts that every layer builds through
// core/error.h: the hosts, editors and tests read these lines back, so their bytes
// must not change.
#include <gtest/gtest.h>

#include <string>

#include "core/error.h"

namespace {

TEST(MessageLines, ErrorAndWarningLines)
{
    EXPECT_EQ(FormatMessageLine(TSeverity::Error, "a.prk", 12, "止まりました。"),
              "[エラー] a.prk(12行目): 止まりました。");
    EXPECT_EQ(FormatMessageLine(TSeverity::Warning, "b.prk", 0, ""), "[注　意] b.prk(0行目): ");
    EXPECT_EQ(FormatLocated("", -1, "x"), "(-1行目): x");
    EXPECT_EQ(std::string(SeverityMark(TSeverity::Error)) + FormatLocated("c.prk", 3, "m"),
              FormatMessageLine(TSeverity::Error, "c.prk", 3, "m"));
}

TEST(MessageLines, ArgumentErrors)
{
    EXPECT_EQ(ArgErrorText("表示"), "\"表示\"命令の引数に誤りがあります。");
    EXPECT_EQ(ArgErrorText("TCP接続", "接続先が設定されていません"),
              "\"TCP接続\"命令の引数に誤りがあります。接続先が設定されていません");
    EXPECT_EQ(ArgErrorText(""), "\"\"命令の引数に誤りがあります。");
}

}   // namespace
