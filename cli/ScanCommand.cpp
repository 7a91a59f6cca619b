#include "cli/Commands.h"
#include "cli/Usage.h"

// Not built yet.
int ScanCommand(int /*argc*/, char** /*argv*/) {
    return UsageError("scan", "not available yet");
}
