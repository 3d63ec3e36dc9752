// The command ids by name, generated from builtins_table.inc: Cmd::Half is the id of
// 半角変換 (and of every alias of it). Code names commands through these; the word
// table keeps the plain number (THashNode::Id). No other dependency, so that the
// tools reading the table can use the ids too.
#pragma once

enum class Cmd : int {
#define PORU_COMMAND(family, symbol, id, name, argSpec) symbol = id,
#include "interp/builtins_table.inc"
};

// The greatest command id: the handler table has one slot more.
inline constexpr int kMaxCommandId = [] {
    int greatest = 0;
    for (int id : {
#define PORU_COMMAND(family, symbol, id, name, argSpec) id,
#include "interp/builtins_table.inc"
         })
        greatest = id > greatest ? id : greatest;
    return greatest;
}();
