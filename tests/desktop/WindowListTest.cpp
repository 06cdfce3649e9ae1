#include "DesktopSupport.h"

#include "capture/ScreenCaptureService.h"

#include <QCoreApplication>

using namespace zorv;
using namespace zorv::desktop;

namespace
{
qsizetype rankOf(uint32_t id)
{
    const QList<WindowInfo> windows = captureService().windowInfos(false).value();
    for (qsizetype i = 0; i < windows.size(); ++i) {
        if (windows[i].id == id)
            return i;
    }
    return -1;
}

void xdotool(const QString &command, uint32_t id)
{
    run("xdotool", {command, "--sync", QString::number(id)});
}

// A second program that names itself only through WM_NAME and WM_CLASS.
class Xterm
{
  public:
    explicit Xterm(const QString &title)
    {
        m_process.start("xterm",
                        {"-geometry", "60x10+40+40", "-title", title, "-e", "sleep", "600"});
        waitFor([&] {
            m_id = run("xdotool", {"search", "--name", title}).split('\n').value(0).toUInt();
            return m_id != 0 && listed(m_id).has_value();
        });
    }
    ~Xterm()
    {
        m_process.kill();
        m_process.waitForFinished(3000);
    }
    uint32_t id() const { return m_id; }
    qint64 pid() const { return m_process.processId(); }

  private:
    QProcess m_process;
    uint32_t m_id = 0;
};
} // namespace

TEST(WindowList, ReadsEachWindowsFieldsAndListsFrontMostFirst)
{
    REQUIRE_DESKTOP();
    Xterm xterm("zorv-list-xterm");
    HelperWindow helper("zorv-list-helper", QRect(300, 300, 320, 200));
    ASSERT_NE(xterm.id(), 0u);
    ASSERT_TRUE(helper.ready());
    ASSERT_TRUE(waitFor([&] { return listed(helper.id()).has_value(); }));

    const WindowInfo term = *listed(xterm.id());
    EXPECT_EQ(term.title, "zorv-list-xterm"); // from WM_NAME
    EXPECT_EQ(term.appName, "XTerm");
    EXPECT_EQ(term.pid, xterm.pid());
    EXPECT_EQ(term.layer, 0);
    const WindowInfo window = *listed(helper.id());
    EXPECT_EQ(window.title, "zorv-list-helper");
    EXPECT_EQ(window.pid, helper.pid());
    // The frame holds the client and the window manager's decorations around it.
    const QRectF client(helper.clientGeometry());
    EXPECT_TRUE(window.frame.contains(client)) << window.frame.x() << "," << window.frame.y();
    EXPECT_GT(window.frame.height(), client.height());
    EXPECT_LT(window.frame.height(), client.height() + 60);

    xdotool("windowactivate", xterm.id());
    ASSERT_TRUE(waitFor([&] { return rankOf(xterm.id()) < rankOf(helper.id()); }));
    EXPECT_EQ(rankOf(xterm.id()), 0);
    xdotool("windowactivate", helper.id());
    ASSERT_TRUE(waitFor([&] { return rankOf(helper.id()) < rankOf(xterm.id()); }));
    EXPECT_EQ(rankOf(helper.id()), 0);
}

TEST(WindowList, LeavesOutOwnDocksAndMinimisedWindows)
{
    REQUIRE_DESKTOP();
    auto own = showOwnWindow(QRect(700, 500, 200, 120), Qt::magenta);
    ASSERT_TRUE(own);
    const uint32_t ownId = uint32_t(own->winId());
    ASSERT_TRUE(waitFor([&] { return listed(ownId).has_value(); }));
    EXPECT_EQ(listed(ownId)->pid, int32_t(QCoreApplication::applicationPid()));
    EXPECT_FALSE(listed(ownId, true).has_value());

    // The tray host's panel is a dock: present in the raw list, never listed.
    const auto raw = backend().windows();
    ASSERT_TRUE(raw);
    const auto dock = std::find_if(raw.value().cbegin(), raw.value().cend(),
                                   [](const PlatformWindow &w) { return w.layer != 0; });
    ASSERT_NE(dock, raw.value().cend()) << "the test desktop runs a tray panel";
    EXPECT_FALSE(listed(dock->id).has_value());

    Xterm xterm("zorv-minimised-xterm");
    ASSERT_TRUE(listed(xterm.id()).has_value());
    xdotool("windowminimize", xterm.id());
    EXPECT_TRUE(waitFor([&] { return !listed(xterm.id()).has_value(); }));
}
