#pragma once

#include "platform/Platform.h"
#include "support/fake/FakeRecordingSources.h"
#include "support/fake/FakeWindowSystem.h"

#include <QHash>
#include <QSet>

namespace zorv
{

// Synthetic screens, windows and pixels for tests and for runs without a
// display (ZORV_PLATFORM=fake). Pixels encode their global position, so a test
// can tell which region a capture came from (see FakeScreenBackend::pixelAt).
class FakeScreenBackend : public ScreenBackend
{
  public:
    QList<DisplayInfo> displayList{{1, QRectF(0, 0, 800, 600)}};
    QList<PlatformWindow> windowList;
    std::optional<CaptureError> failure; // every grab fails with this when set
    int grabCount = 0;

    CaptureExpected<QList<DisplayInfo>> displays() override;
    std::optional<uint32_t> displayID(const QScreen *screen) override;
    CaptureExpected<QList<PlatformWindow>> windows() override;
    QList<uint32_t> stackingOrder() override { return {}; }
    CaptureResult grabDisplayRegion(uint32_t displayID, const QRectF &rect, double scale) override;
    CaptureResult grabWindow(uint32_t windowID, double scale, bool includeShadow) override;
    CaptureResult grabArea(const QRectF &rect) override;

    // The colour of the synthetic desktop at a global logical point.
    static QRgb pixelAt(const QPointF &global);

  private:
    QImage render(const QRectF &rect, double scale) const;
};

class FakeHotKeyBackend : public HotKeyBackend
{
    Q_OBJECT
  public:
    using HotKeyBackend::HotKeyBackend;
    QHash<uint32_t, KeyCombo> grabbed;
    QSet<KeyCombo> refused; // combinations "taken by another program"

    std::optional<QString> grab(uint32_t id, const KeyCombo &combo) override;
    void ungrab(uint32_t id) override { grabbed.remove(id); }
    // Simulates a key press; fires only for live registrations.
    void press(const KeyCombo &combo);
};

class FakeSoundPlayer : public SoundPlayer
{
  public:
    bool available = true;
    int played = 0;
    bool playCaptureSound() override
    {
        ++played;
        return available;
    }
};

class FakeAudioSources : public AudioSources
{
  public:
    QList<AudioSource> microphones;
    std::optional<QString> failure; // the answer when set
    void listMicrophones(QObject *context, Answer answer) override;
};

class FakePlatform : public Platform
{
  public:
    QString name() const override { return QStringLiteral("fake"); }
    PlatformCapabilities capabilities() const override { return caps; }
    ScreenBackend &screens() override { return screen; }
    HotKeyBackend &hotKeys() override { return keys; }
    SoundPlayer &sound() override { return player; }
    WindowSystem &windowSystem() override { return windows; }
    AudioSources &audioSources() override { return audio; }
    RecordingSources &recordingSources() override { return recording; }
    bool screenCaptureGranted() override { return granted; }

    PlatformCapabilities caps{true, true, true, false, false, false, true};
    FakeScreenBackend screen;
    FakeHotKeyBackend keys;
    FakeSoundPlayer player;
    FakeWindowSystem windows;
    FakeAudioSources audio;
    FakeRecordingSources recording;
    bool granted = true;
};

} // namespace zorv
