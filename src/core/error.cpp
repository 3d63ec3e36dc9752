#include "core/error.h"

namespace {

TErrorRecorder gRecorder = nullptr;

}  // namespace

void SetErrorRecorder(TErrorRecorder recorder)
{
    gRecorder = recorder;
}

void Raise(const std::string& msg)
{
    if (gRecorder) gRecorder(msg);
    throw EPoru(msg, true);
}
