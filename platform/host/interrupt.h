// The program's one way with signals, for the commands, the station, the terminal dialog and
// the simulator.
//
// An interrupted process (SIGINT, SIGTERM, SIGHUP) stops talking to the slave at once: from
// the first such signal on, every wait on the real clock ends at once (a Sleep, a serial
// time-out) and no byte more is written to a serial device. The update in progress then runs
// out within moments, as on a line that went dead, and the program can release its port, write
// its record and say so. While the terminal dialog holds the screen, the same signals end the
// program at once instead, as closing the dialog would. Either way, and on a fatal signal
// (SIGQUIT, SIGILL, SIGABRT, SIGBUS, SIGFPE, SIGSEGV), what the operator must not lose (the
// terminal's settings, a port's exclusive use) is given back first.
#pragma once

namespace host {

enum class SignalMode {
    DEFAULT,   // the signals' own actions: nothing caught
    INTERRUPT, // the first signal interrupts; a second gives back; a third ends the process
    END,       // every signal gives back and ends the process at once
};

// Sets how the signals are taken from now on; returns the mode before.
SignalMode SetSignalMode(SignalMode mode);

// SetSignalMode(INTERRUPT): the first signal interrupts the process. A second one, while the
// process is still cleaning up, gives back at once what the operator must not lose and lets the
// clean-up run on: it is short, and it writes the record and lets the children of a gang or a
// station release their ports. A third one ends the process at once, as the signal would have
// without this.
void CatchInterrupts();
// The signal that interrupted the process; 0 while none has.
int InterruptSignal();
// A descriptor that is readable once the process is interrupted (one byte, the signal's
// number); -1 before CatchInterrupts.
int InterruptFd();

// Adds a function that gives back something the process must not leave behind when a signal
// ends it (at most a few; each added once). It runs inside a signal handler: it may only make
// async-signal-safe calls (tcsetattr, ioctl, write).
void AtGiveBack(void (*giveBack)());
// Runs them now; async-signal-safe, for a handler about to end the process.
void GiveBack();

} // namespace host
