#include "app/ShortcutRegistrar.h"
#include "settings/HotKeyCenter.h"
#include "support/TemporarySettings.h"
#include "support/fake/FakePlatform.h"

#include <gtest/gtest.h>

using namespace zorv;

namespace
{
struct ShortcutRegistrarTest : ::testing::Test {
    std::unique_ptr<ShortcutRegistrar> make(PlatformCapabilities caps)
    {
        return std::make_unique<ShortcutRegistrar>(
            center, *temp.settings, caps, [this](CaptureAction a) { pressed.append(a); },
            [this](const QString &message, const QString &, double) { notices.append(message); });
    }

    test::TemporarySettings temp;
    FakeHotKeyBackend backend;
    HotKeyCenter center{backend};
    QList<CaptureAction> pressed;
    QStringList notices;
    PlatformCapabilities all{true, true, true, false, false, false, true};
};
} // namespace

TEST_F(ShortcutRegistrarTest, OnlyActionsThisDesktopCanDoGetShortcuts)
{
    PlatformCapabilities caps = all;
    caps.windowCapture = false;
    const auto registrar = make(caps);
    registrar->registerAll();
    const QList<CaptureAction> registered = center.actionIDs().values();
    EXPECT_EQ(QSet<CaptureAction>(registered.begin(), registered.end()),
              QSet<CaptureAction>({CaptureAction::area, CaptureAction::fullScreen,
                                   CaptureAction::scrolling, CaptureAction::ocr,
                                   CaptureAction::pinLast, CaptureAction::repeatLastArea}));
    caps.globalHotKeys = false;
    make(caps)->registerAll();
    EXPECT_TRUE(backend.grabbed.isEmpty());
}

TEST_F(ShortcutRegistrarTest, ATakenShortcutIsToldOnceAndTriedAgainWhenTheShortcutsChange)
{
    const KeyCombo taken = KeyCombo::defaults()[CaptureAction::area];
    backend.refused.insert(taken);
    auto registrar = make(all);
    testing::internal::CaptureStderr();
    registrar->registerAll();
    registrar->registerAll();
    testing::internal::GetCapturedStderr();
    EXPECT_EQ(notices,
              QStringList("No shortcut for Capture Area (Ctrl+Shift+4): already grabbed by "
                          "another program"));
    // The other program lets go; the user changes any shortcut: area registers now.
    backend.refused.clear();
    HotKeyMap keys = temp.settings->hotkeys();
    keys[CaptureAction::pinLast] = {35, KeyCombo::control | KeyCombo::option};
    temp.settings->hotkeys.set(keys);
    backend.press(taken);
    EXPECT_EQ(pressed, QList<CaptureAction>{CaptureAction::area});
    EXPECT_EQ(notices.size(), 1);

    // A desktop that binds through its portal refuses after the reload: told as well, once.
    HotKeyBackend &desktop = backend; // the fake's own `refused` is its set of taken combos
    testing::internal::CaptureStderr();
    Q_EMIT desktop.refused(backend.grabbed.key(KeyCombo::defaults()[CaptureAction::ocr]),
                           "the desktop gave it no trigger");
    registrar->registerAll();
    Q_EMIT desktop.refused(backend.grabbed.key(KeyCombo::defaults()[CaptureAction::ocr]),
                           "the desktop gave it no trigger");
    testing::internal::GetCapturedStderr();
    EXPECT_EQ(notices.value(1), "No shortcut for Capture Text (OCR) (Ctrl+Shift+9): the desktop "
                                "gave it no trigger");
    EXPECT_EQ(notices.size(), 2);
}
