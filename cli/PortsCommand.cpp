#include "cli/Commands.h"
#include "cli/Usage.h"

// Not built yet.
int PortsCommand(int /*argc*/, char** /*argv*/) {
    return UsageError("ports", "not available yet");
}
