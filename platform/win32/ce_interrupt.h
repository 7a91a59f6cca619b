// An interrupted process (SIGINT, SIGTERM) stops talking to the slave at once: from the first
// such signal on, every wait on the real clock ends at once (a Sleep, a serial time-out) and
// no byte more is written to a serial device. The update in progress then runs out within
// moments, as on a line that went dead, and the program can release its port and say so.
#pragma once

namespace ce {

// Catches SIGINT and SIGTERM from now on. The first one interrupts the process; a second one
// ends it at once, as the signal would have without this.
void CatchInterrupts();
// The signal that interrupted the process; 0 while none has.
int InterruptSignal();
// A descriptor that is readable once the process is interrupted; -1 before CatchInterrupts.
int InterruptFd();

} // namespace ce
