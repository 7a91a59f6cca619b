// How a `korvane flash` run of a gang tells its parent what it shows: with KORVANE_GANG_CHILD
// set in its environment it writes every line on standard output with a tag before it, and the
// parent draws them (one line per port on a terminal, prefixed lines otherwise). Standard error
// stays the maintainer's, line for line.
#pragma once

const char GANG_CHILD_VARIABLE[] = "KORVANE_GANG_CHILD";
const char GANG_TAG_LINE = 'L';     // "L text": a header, status or box text
const char GANG_TAG_PROGRESS = 'P'; // "P done total": the progress bar, in bytes
const char GANG_TAG_RECORD = 'R';   // "R {...}": a slave's record

// The parent shows a run's progress in whole percents, so a run sends a progress line only
// when its percent changes: 101 lines an update, not one a block, for a parent that wakes for
// every line of 32 runs.
inline int GangPercent(int done, int total) {
    if (total <= 0)
        return -1;
    return static_cast<int>(100.0 * (done > total ? total : done) / total);
}
