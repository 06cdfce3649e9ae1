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
    friend bool operator==(const PlatformCapabilities &, const PlatformCapabilities &) = default;
};

} // namespace zorv
