#include "interp/event_run.h"

#include "interp/interp.h"

void RunHandlerAsEvent(TPoruBase& st, const char* pos, bool untilDone)
{
    if (!pos || st.Stopping)
        return;
    try {
        st.RunEventAt(pos, untilDone);
    } catch (const EPoru& e) {
        std::string msg = e.Message;
        if (!e.Recorded) {
            msg = st.FormatError(e.Message);
            st.AppendErrorText(msg);
        }
        st.HandleRunError(EPoru(msg, true), true);
    }
}
