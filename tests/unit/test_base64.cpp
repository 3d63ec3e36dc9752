// Base64: the RFC 4648 vectors, round trips of every length over binary data, and
// malformed inputs.
#include <gtest/gtest.h>

#include <random>

#include "commands/encodings/base64.h"

namespace {

TEST(Base64Test, Rfc4648Vectors)
{
    const std::pair<const char*, const char*> vectors[] = {
        {"", ""},
        {"f", "Zg=="},
        {"fo", "Zm8="},
        {"foo", "Zm9v"},
        {"foob", "Zm9vYg=="},
        {"fooba", "Zm9vYmE="},
        {"foobar", "Zm9vYmFy"},
        {"abc", "YWJj"},
        {"ab", "YWI="},
    };
    for (const auto& v : vectors) {
        EXPECT_EQ(Base64Encode(v.first), v.second);
        EXPECT_EQ(Base64Decode(v.second), v.first);
    }
}

TEST(Base64Test, RoundTripOfBinaryData)
{
    std::mt19937 rng(1);
    for (size_t len = 0; len < 70; ++len) {
        std::string data;
        for (size_t i = 0; i < len; ++i)
            data += static_cast<char>(rng() & 0xFF);
        const std::string enc = Base64Encode(data);
        EXPECT_EQ(enc.size() % 4, 0u);
        EXPECT_EQ(enc.find('\n'), std::string::npos);
        EXPECT_EQ(Base64Decode(enc), data) << len;
    }
}

TEST(Base64Test, MalformedInputs)
{
    const std::pair<std::string, std::string> cases[] = {
        {"YW\r\nJj", "abc"},              // line breaks are ignored
        {"YWJ", "ab"},                    // a missing pad
        {"YW", "a"},         {"Y", ""},   // a lone character gives nothing
        {"YQ==YWJj", "a"},                // decoding ends at "="
        {"Y!W@J#j", "abc"},               // bytes outside the alphabet are passed over
        {"====", ""},        {std::string("\0\xFF", 2), ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Base64Decode(c.first), c.second) << c.first;
}

}   // namespace
