#pragma once

namespace zorv
{

// What a platform backend can do. An action that needs something the backend
// lacks is refused with a reason, never attempted.
struct PlatformCapabilities {
    bool windowList = false;
    bool windowCapture = false;
    bool globalHotKeys = false;
    bool recording = false;
    bool systemAudio = false;
    bool clickCapture = false; // presses anywhere on the desktop can be seen
    // Pictures of the screen leave Zorv's own windows out. A scrolling capture needs it: its
    // panel stays on screen while it grabs, and where the compositor places it over the region
    // it would be stitched in.
    bool ownWindowsLeftOut = false;
    friend bool operator==(const PlatformCapabilities &, const PlatformCapabilities &) = default;
};

} // namespace zorv
