// The largest text one command may build.
#pragma once
#include <cstdint>

namespace sjistext {

// The largest text (or, for tables and line arrays, the memory of the cells and
// lines) that one command may build. A script may ask for anything; a step that
// would build more fails with the memory message instead of taking the machine down.
constexpr uint64_t kMaxTextBytes = uint64_t{1} << 30;
extern const char* const kMsgTooLarge;   // メモリが足りません。作ろうとした文字列が大きすぎます。
// Raises the memory message (an EPoru, reported with the file and line of the
// command that is running) when `bytes` is above the limit.
void CheckTextSize(uint64_t bytes);

}   // namespace sjistext
