#include "platform/x11/X11Platform.h"

#include "platform/x11/CanberraSoundPlayer.h"
#include "platform/x11/X11Connection.h"
#include "platform/x11/X11HotKeyBackend.h"
#include "platform/x11/X11ScreenBackend.h"
#include "platform/x11/X11WindowSystem.h"

namespace zorv
{

namespace
{
class X11Platform : public Platform
{
  public:
    QString name() const override { return QStringLiteral("x11"); }
    PlatformCapabilities capabilities() const override
    {
        // Recording and system audio arrive with the recording engine.
        return {true, true, true, false, false};
    }
    ScreenBackend &screens() override { return m_screens; }
    HotKeyBackend &hotKeys() override { return m_hotKeys; }
    SoundPlayer &sound() override { return m_sound; }
    WindowSystem &windowSystem() override { return m_windowSystem; }

  private:
    X11ScreenBackend m_screens{x11::connection(), x11::screenNumber()};
    X11HotKeyBackend m_hotKeys;
    CanberraSoundPlayer m_sound;
    X11WindowSystem m_windowSystem;
};
} // namespace

std::unique_ptr<Platform> makeX11Platform()
{
    return std::make_unique<X11Platform>();
}

} // namespace zorv
