#pragma once

#include "platform/Platform.h"

namespace zorv
{

// Global shortcuts through the GlobalShortcuts portal.
class WaylandHotKeyBackend : public HotKeyBackend
{
    Q_OBJECT
  public:
    using HotKeyBackend::HotKeyBackend;
    std::optional<QString> grab(uint32_t id, const KeyCombo &combo) override;
    void ungrab(uint32_t id) override;
};

} // namespace zorv
