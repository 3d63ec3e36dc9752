#include "core/text_limits.h"

#include "core/error.h"

namespace sjistext {

const char* const kMsgTooLarge = "メモリが足りません。作ろうとした文字列が大きすぎます。";

void CheckTextSize(uint64_t bytes)
{
    if (bytes > kMaxTextBytes)
        throw EPoru(kMsgTooLarge);
}

}   // namespace sjistext
