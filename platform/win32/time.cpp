// Sleep and GetTickCount on the replaceable clock.
#include "winbase.h"
#include "ce_clock.h"

#include <sched.h>

void Sleep(DWORD dwMilliseconds) {
    ce::Clock& clock = ce::CurrentClock();
    if (dwMilliseconds == 0) {
        sched_yield(); // gives up the rest of the time slice, as on the device
        return;
    }
    clock.SleepUntilUs(clock.NowUs() + static_cast<uint64_t>(dwMilliseconds) * 1000u);
}

// Wraps after 49.7 days, as on the device.
DWORD GetTickCount() {
    return static_cast<DWORD>(ce::NowMs());
}
