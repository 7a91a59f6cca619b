// Takes the process's protocol stack down: the port is closed and its lock given back, so the
// next program can open it at once. The dialog never does this (its stack lives as long as the
// process); a command does when its run is over, however it ended.
#pragma once

void ReleaseProtocolStack();
