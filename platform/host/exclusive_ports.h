// The terminals this process holds with TIOCEXCL. The kernel drops an advisory lock with its
// process, but not TIOCEXCL on a pseudo-terminal whose other end lives on: a program that dies
// of a signal with its port open would leave the port closed to the next program (EBUSY).
// A handler about to end the process gives them back through host::GiveBack.
#pragma once

namespace ce {

// Called right after TIOCEXCL is taken, and right before the descriptor is closed.
void RememberExclusive(int fd);
void ForgetExclusive(int fd);

} // namespace ce
