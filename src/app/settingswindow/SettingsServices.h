#pragma once

#include "common/Capabilities.h"
#include "common/KeyCombo.h"

#include <QString>
#include <functional>
#include <optional>

namespace zorv
{

class AppSettings;
class AudioSources;

// What the settings window works with, injected so tests can build it on
// temporary settings and the fake platform.
struct SettingsServices {
    AppSettings *settings = nullptr;
    PlatformCapabilities capabilities;
    std::function<bool()> screenCaptureGranted;
    AudioSources *audio = nullptr;

    // Global shortcuts: released while a field records, then registered again;
    // probe says why another program holds a combination (nullopt: free).
    std::function<void()> suspendShortcuts;
    std::function<void()> resumeShortcuts;
    std::function<std::optional<QString>(const KeyCombo &)> probeShortcut;

    // The capture history: its folder, how many captures it lists, and clearing it.
    std::function<QString()> historyFolder;
    std::function<int()> historyCount;
    std::function<void()> clearHistory;
    // Shows a folder in the file manager.
    std::function<void(const QString &)> revealFolder;
};

} // namespace zorv
