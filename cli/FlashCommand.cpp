#include "cli/Commands.h"
#include "cli/Usage.h"

// Not built yet.
int FlashCommand(int /*argc*/, char** /*argv*/) {
    return UsageError("flash", "not available yet");
}
