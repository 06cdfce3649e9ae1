#include "DesktopSupport.h"

#include <QCoreApplication>

using namespace zorv;
using namespace zorv::desktop;

namespace
{
qsizetype rankOf(uint32_t id)
{
    const QList<WindowInfo> windows = captureService().windowInfos(false).value();
    const auto found = std::find_if(windows.begin(), windows.end(),
                                    [id](const WindowInfo &w) { return w.id == id; });
    return found == windows.end() ? -1 : found - windows.begin();
}

// A second program that names itself only through WM_NAME and WM_CLASS.
uint32_t startXterm(QProcess &xterm, const QString &title)
{
    xterm.start("xterm", {"-geometry", "60x10+40+40", "-title", title, "-e", "sleep", "600"});
    uint32_t id = 0;
    const bool shown = QTest::qWaitFor([&] {
        id = run("xdotool", {"search", "--name", title}).split('\n').value(0).toUInt();
        return id != 0 && listed(id).has_value();
    });
    return shown ? id : 0;
}
} // namespace

TEST(WindowList, ReadsEachWindowsFieldsAndListsFrontMostFirst)
{
    REQUIRE_DESKTOP();
    QProcess xterm;
    const uint32_t termId = startXterm(xterm, "zorv-list-xterm");
    HelperWindow helper("zorv-list-helper", QRect(300, 300, 320, 200));
    ASSERT_NE(termId, 0u);
    ASSERT_TRUE(helper.ready());
    ASSERT_TRUE(QTest::qWaitFor([&] { return listed(helper.id()).has_value(); }));

    const WindowInfo term = *listed(termId);
    EXPECT_EQ(term.title, "zorv-list-xterm"); // from WM_NAME
    EXPECT_EQ(term.appName, "XTerm");
    EXPECT_EQ(term.pid, xterm.processId());
    EXPECT_EQ(term.layer, 0);
    const WindowInfo window = *listed(helper.id());
    EXPECT_EQ(window.title, "zorv-list-helper");
    EXPECT_EQ(window.pid, helper.pid());
    // The frame holds the client and the window manager's decorations around it.
    const QRectF client(helper.clientGeometry());
    EXPECT_TRUE(window.frame.contains(client)) << window.frame.x() << "," << window.frame.y();
    EXPECT_GT(window.frame.height(), client.height());
    EXPECT_LT(window.frame.height(), client.height() + 60);

    for (const uint32_t front : {termId, helper.id()}) {
        run("xdotool", {"windowactivate", "--sync", QString::number(front)});
        EXPECT_TRUE(QTest::qWaitFor([&] { return rankOf(front) == 0; })) << front;
    }
    xterm.kill(), xterm.waitForFinished();
}

TEST(WindowList, LeavesOutOwnDocksAndMinimisedWindows)
{
    REQUIRE_DESKTOP();
    auto own = showOwnWindow(QRect(700, 500, 200, 120), Qt::magenta);
    ASSERT_TRUE(own);
    const uint32_t ownId = uint32_t(own->winId());
    ASSERT_TRUE(QTest::qWaitFor([&] { return listed(ownId).has_value(); }));
    EXPECT_EQ(listed(ownId)->pid, int32_t(QCoreApplication::applicationPid()));
    EXPECT_FALSE(listed(ownId, true).has_value());

    // The tray host's panel is a dock: present in the raw list, never listed.
    const QList<PlatformWindow> raw = backend().windows().value();
    const auto dock = std::find_if(raw.cbegin(), raw.cend(),
                                   [](const PlatformWindow &w) { return w.layer != 0; });
    ASSERT_NE(dock, raw.cend()) << "the test desktop runs a tray panel";
    EXPECT_FALSE(listed(dock->id).has_value());

    HelperWindow helper("zorv-minimised", QRect(300, 300, 200, 150));
    ASSERT_TRUE(helper.ready() && QTest::qWaitFor([&] { return listed(helper.id()).has_value(); }));
    run("xdotool", {"windowminimize", "--sync", QString::number(helper.id())});
    EXPECT_TRUE(QTest::qWaitFor([&] { return !listed(helper.id()).has_value(); }));
}
