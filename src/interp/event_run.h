// Entering the interpreter at a handler label from an event of the host (a timer
// tick, a control's event, a socket notification).
#pragma once

class TPoruBase;

// Runs the handler at pos as an event: it interrupts the statement that is
// processing events, or runs as a run of its own (TPoruBase::RunEventAt). An error
// raised before the handler's own run loop takes over (the nesting bound) is
// recorded and handled like an error of the run. Nothing happens for a nil position
// or while the run is stopping.
// untilDone: the handler has run to its end when this returns (TPoruBase::RunEventAt).
void RunHandlerAsEvent(TPoruBase& st, const char* pos, bool untilDone = false);
