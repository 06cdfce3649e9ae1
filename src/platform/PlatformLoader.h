#pragma once

#include "common/Capabilities.h"
#include "common/Expected.h"
#include "platform/Platform.h"

#include <QString>
#include <memory>
#include <optional>

namespace zorv::PlatformLoader
{

// The backend that serves this session: forced by $ZORV_PLATFORM, otherwise
// told by the session itself. Never inferred from Qt's platform plugin.
struct Choice {
    QString backend;                   // "x11"
    PlatformCapabilities capabilities; // what that backend can do, known without connecting
    std::optional<QString> problem;    // why it cannot serve, for the user
};

// Reads the environment only; connects to nothing.
Choice choose();
// choose(), then checks that the backend's display answers and that Qt will
// run on the matching platform plugin (setting it when the user has not).
// Call before the application object exists.
Choice prepare();
// Builds the backend; needs the application object. The reason on failure.
Expected<std::unique_ptr<Platform>, QString> load(const Choice &choice);

} // namespace zorv::PlatformLoader
