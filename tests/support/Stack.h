// The process-wide protocol stack, as tests and benchmarks take it down between runs.
#pragma once

// Takes the stack down, port included, as if the process started again: the next
// GetProtocol builds it anew and opens COM6: afresh.
void TearDownStack();
