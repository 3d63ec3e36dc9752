// The object table the reference is made from (src/interp/object_table.inc) against
// the GUI itself: every property the table says a kind has can be read from an
// object of that kind without an error and leaves the type tag the table names, and
// the properties the table says cannot be read give the warning instead.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "test_objects_fixture.h"

namespace {

struct TKindRow {
    int code;
    std::string name;
};
struct TPropRow {
    int code;
    std::string name, tag, kinds;
};

const std::vector<TKindRow> kKinds = {
#define PORU_OBJECT_KIND(code, name, page, control, events, mainEvent, valueRead, valueSet) {code, name},
#include "interp/object_table.inc"
#undef PORU_OBJECT_KIND
#undef PORU_PROPERTY
#undef PORU_EVENT
};
const std::vector<TPropRow> kProps = {
#define PORU_PROPERTY(code, name, tag, kinds, read, set) {code, name, tag, kinds},
#include "interp/object_table.inc"
#undef PORU_OBJECT_KIND
#undef PORU_PROPERTY
#undef PORU_EVENT
};

bool Acts(const TPropRow& p, const std::string& kind)
{
    if (p.kinds == "*")
        return true;
    const std::string sep = "、";
    size_t start = 0;
    while (start <= p.kinds.size()) {
        size_t end = p.kinds.find(sep, start);
        if (end == std::string::npos)
            end = p.kinds.size();
        if (p.kinds.substr(start, end - start) == kind)
            return true;
        start = end + sep.size();
    }
    return false;
}

}   // namespace

TEST(ObjectTable, EveryReadablePropertyOfAKindReadsWithItsTag)
{
    TObjFixture f;
    ASSERT_TRUE(f.Run("母艦の、テキストは、「表」"));
    int checked = 0;
    for (const TKindRow& k : kKinds) {
        if (k.code < 0 || k.name == "ブラウザ")   // 母艦 is a フォーム; the browser may load an engine
            continue;
        const std::string obj = "部品" + std::to_string(k.code);
        const std::string make =
            k.name == "メニュー" ? obj + "を、メニュー作成" : obj + "を、" + k.name + "として、作成";
        ASSERT_TRUE(f.Run(make)) << k.name << ": " << f.Errors();
        for (const TPropRow& p : kProps) {
            if (!Acts(p, k.name) || p.tag.empty() || p.name == "イベント")
                continue;
            // 得る leaves the tag of the read in the variable's type.
            EXPECT_TRUE(f.Run(obj + "の、「" + p.name + "」を、値に、得る"))
                << k.name << " の " << p.name << ": " << f.LastError();
            THashNode* value = f.st.Words.FindExact(S("値"));
            if (p.tag != "-" && value) {
                EXPECT_EQ(value->TypeText, p.tag) << k.name << " の " << p.name;
            }
            ++checked;
        }
    }
    EXPECT_GT(checked, 300);
}

TEST(ObjectTable, PropertiesThatCannotBeReadWarn)
{
    TObjFixture f;
    ASSERT_TRUE(f.Run("見本ボタンを、ボタンとして、作成"));
    for (const TPropRow& p : kProps) {
        if (!p.tag.empty())
            continue;
        const size_t before = f.st.ErrorText.size();
        EXPECT_TRUE(f.Run("見本ボタンの、「" + p.name + "」を、値に、得る")) << p.name << ": " << f.LastError();
        EXPECT_NE(SjisToUtf8(f.ErrorsSince(before)).find("は、未定義です。"), std::string::npos)
            << p.name << " gives no warning";
    }
}
