#pragma once

#include "platform/Platform.h"

struct ca_context;

namespace zorv
{

// The freedesktop "screen-capture" event sound through libcanberra.
class CanberraSoundPlayer : public SoundPlayer
{
  public:
    ~CanberraSoundPlayer() override;
    bool playCaptureSound() override;

  private:
    ca_context *m_context = nullptr;
    bool m_failed = false;
};

} // namespace zorv
