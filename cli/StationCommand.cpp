#include "cli/Commands.h"
#include "cli/Usage.h"

// Not built yet.
int StationCommand(int /*argc*/, char** /*argv*/) {
    return UsageError("station", "not available yet");
}
