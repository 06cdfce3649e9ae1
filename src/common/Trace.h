#pragma once

namespace zorv::Trace
{

// Appends "<microseconds since the epoch> <event>" to the file named by
// $ZORV_TRACE_FILE, for the benchmark scripts. Does nothing when it is unset.
void mark(const char *event);

} // namespace zorv::Trace
