#include "platform/linux/CanberraSoundPlayer.h"

#include <canberra.h>

namespace zorv
{

CanberraSoundPlayer::~CanberraSoundPlayer()
{
    if (m_context)
        ca_context_destroy(m_context);
}

bool CanberraSoundPlayer::playCaptureSound()
{
    // The context is made on first use: it connects to the sound server, which
    // an idle tray program has no reason to do.
    if (!m_context && !m_failed) {
        if (ca_context_create(&m_context) != CA_SUCCESS) {
            m_context = nullptr;
            m_failed = true;
        } else {
            ca_context_change_props(m_context, CA_PROP_APPLICATION_NAME, "Zorv",
                                    CA_PROP_APPLICATION_ID, "zorv", nullptr);
        }
    }
    if (!m_context)
        return false;
    return ca_context_play(m_context, 0, CA_PROP_EVENT_ID, "screen-capture",
                           CA_PROP_EVENT_DESCRIPTION, "Screenshot taken", nullptr) == CA_SUCCESS;
}

} // namespace zorv
