#pragma once

namespace zorv
{

// How long large buffers kept for a quick next use (the selection overlay's
// windows, the screen grab's shared memory and images) outlive their last
// use: five minutes, or $ZORV_KEEP_MS milliseconds so that benchmarks can
// watch the memory come back.
int keptBuffersMs();

} // namespace zorv
