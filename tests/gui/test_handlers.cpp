// The window host links every family: each command of the table has a handler, so
// no command a script can write raises the broken-link error.
#include <gtest/gtest.h>

#include "core/codec.h"
#include "interp/builtins.h"

TEST(BuiltinHandlers, EveryCommandHasAHandler)
{
    size_t count = 0;
    const CommandRow* rows = CommandRows(count);
    for (size_t i = 0; i < count; ++i) {
        EXPECT_NE(GetHandler(rows[i].id), nullptr)
            << SjisToUtf8(rows[i].name) << " (Cmd::" << rows[i].symbol << ", " << FamilyName(rows[i].family) << ")";
    }
}
