#pragma once

#include <QByteArray>
#include <optional>

namespace zorv::memoryTuning
{

// GLIBC_TUNABLES with large allocations backed by transparent huge pages, or
// nothing when the value already says how to treat them (the user's choice).
std::optional<QByteArray> withHugePages(const QByteArray &tunables);

// Capture buffers are tens of megabytes and live for a moment. When the kernel
// gives huge pages only to memory that asks for them, each fresh buffer costs
// thousands of page faults (about 100 ms for one 4K screen on a virtual
// machine). glibc asks for them only when told so at start-up, so the resident
// process starts itself again with the tunable set. Returns when no restart is
// needed or it failed; the process then simply runs without.
void restartWithHugePages(char **argv);

// Keeps large buffers in their own mappings so that freeing them gives the
// memory back instead of leaving an idle tray program holding it.
void returnLargeBuffers();

// Gives free heap memory back to the system, after a window of passing use
// (the tray panel) has closed.
void trimHeap();

} // namespace zorv::memoryTuning
