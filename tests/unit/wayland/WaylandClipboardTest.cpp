// The clipboard of Wayland desktops without a data-control protocol: a copy reaches Qt's
// clipboard only while a Zorv window has the focus, and otherwise waits for one.
#include "platform/wayland/WaylandClipboard.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>
#include <QMouseEvent>
#include <QSignalSpy>
#include <QTest>
#include <QWindow>
#include <gtest/gtest.h>

using namespace zorv;

namespace
{

constexpr int waitMs = 200;

QString clipboardText()
{
    return QGuiApplication::clipboard()->text();
}

struct FocusCase {
    const char *name;
    bool focusedAtCopy;    // a Zorv window has the focus when the copy is made
    bool clickedBefore;    // one was clicked just before (a tile of a panel without focus)
    bool windowComesLater; // one is shown afterwards (and asks for the focus itself)
    bool reaches;
    int notices;
};

class WaylandClipboardFallback : public ::testing::TestWithParam<FocusCase>
{
  protected:
    void SetUp() override
    {
        // No compositor to speak data-control with: the focus decides.
        qputenv("WAYLAND_DISPLAY", "zorv-test-no-display");
        QGuiApplication::clipboard()->setText(QStringLiteral("before"));
    }
};

TEST_P(WaylandClipboardFallback, CopyWaitsForTheFocus)
{
    const FocusCase c = GetParam();
    WaylandClipboard clipboard(waitMs);
    int notices = 0;
    clipboard.setNotice([&notices](const QString &) { ++notices; });

    QWindow window;
    window.resize(100, 100);
    if (c.focusedAtCopy) {
        window.show();
        window.requestActivate();
        ASSERT_TRUE(QTest::qWaitFor([&] { return QGuiApplication::focusWindow() == &window; }));
    }
    if (c.clickedBefore) {
        QMouseEvent press(QEvent::MouseButtonPress, QPointF(5, 5), QPointF(5, 5), Qt::LeftButton,
                          Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(&window, &press);
    }
    clipboard.setText(QStringLiteral("copied"));
    if (!c.focusedAtCopy && !c.clickedBefore) {
        EXPECT_EQ(clipboardText(), QStringLiteral("before"));
        // Still Zorv's to complete (a capture's encoded bytes are offered to it).
        ASSERT_NE(clipboard.ownedMimeData(), nullptr);
        EXPECT_EQ(clipboard.ownedMimeData()->text(), QStringLiteral("copied"));
    }
    if (c.windowComesLater)
        window.show();
    QTest::qWait(waitMs * 2);
    EXPECT_EQ(clipboardText(), c.reaches ? QStringLiteral("copied") : QStringLiteral("before"));
    EXPECT_EQ(notices, c.notices);

    if (!c.reaches) {
        // Said once, not at every copy.
        clipboard.setText(QStringLiteral("again"));
        QTest::qWait(waitMs * 2);
        EXPECT_EQ(notices, 1);
        EXPECT_EQ(clipboard.ownedMimeData(), nullptr);
    }
}

INSTANTIATE_TEST_SUITE_P(Cases, WaylandClipboardFallback,
                         ::testing::Values(FocusCase{"focused", true, false, false, true, 0},
                                           FocusCase{"clicked", false, true, false, true, 0},
                                           FocusCase{"windowShownAfter", false, false, true, true,
                                                     0},
                                           FocusCase{"noWindow", false, false, false, false, 1}),
                         [](const auto &info) { return std::string(info.param.name); });

} // namespace
