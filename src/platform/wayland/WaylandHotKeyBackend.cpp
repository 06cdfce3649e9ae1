#include "platform/wayland/WaylandHotKeyBackend.h"

namespace zorv
{

std::optional<QString> WaylandHotKeyBackend::grab(uint32_t, const KeyCombo &)
{
    return QStringLiteral("not yet");
}

void WaylandHotKeyBackend::ungrab(uint32_t) {}

} // namespace zorv
