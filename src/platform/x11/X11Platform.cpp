#include "platform/x11/X11Platform.h"

#include "platform/x11/CanberraSoundPlayer.h"
#include "platform/x11/X11Connection.h"
#include "platform/x11/X11HotKeyBackend.h"
#if __has_include("platform/x11/X11ScreenBackend.h")
#include "platform/x11/X11ScreenBackend.h"
#else
#include "platform/fake/FakePlatform.h"
using X11ScreenBackend = zorv::FakeScreenBackend; // TEMPORARY until the X11 screen backend lands
#endif

namespace zorv {

namespace {
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
    bool hasCompositor() override { return x11::compositorRunning(); }

private:
    X11ScreenBackend m_screens;
    X11HotKeyBackend m_hotKeys;
    CanberraSoundPlayer m_sound;
};
} // namespace

std::unique_ptr<Platform> makeX11Platform()
{
    return std::make_unique<X11Platform>();
}

} // namespace zorv
