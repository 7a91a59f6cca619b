#include "tests/support/Stack.h"

#include "cli/StackRelease.h"

// The commands take the stack down so after every run; a test does the same between its runs.
void TearDownStack() {
    ReleaseProtocolStack();
}
