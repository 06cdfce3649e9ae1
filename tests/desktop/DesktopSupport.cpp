#include "DesktopSupport.h"

#include "platform/Platform.h"

#include <QCoreApplication>
#include <QDir>
#include <QGuiApplication>
#include <QPainter>
#include <QTest>
#include <cstdio>

namespace zorv::desktop
{

namespace
{
// Without a display the shared QApplication could not start at all; give it the
// offscreen platform so the tests can report that they skip.
const bool offscreenWithoutDisplay = [] {
    if (qEnvironmentVariableIsEmpty("DISPLAY") && !qEnvironmentVariableIsSet("ZORV_HELPER"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    return true;
}();
} // namespace

bool available()
{
    return !qEnvironmentVariableIsEmpty("DISPLAY") &&
           QGuiApplication::platformName() == QLatin1String("xcb");
}

X11ScreenBackend &backend()
{
    auto *x11 = dynamic_cast<X11ScreenBackend *>(&Platform::shared().screens());
    if (!x11)
        qFatal("the shared platform has no X11 screen backend (is ZORV_PLATFORM=x11 set?)");
    return *x11;
}

ScreenCaptureService &captureService()
{
    static ScreenCaptureService service(backend());
    return service;
}

const ScreenGeometry &geometry()
{
    return captureService().geometry();
}

QByteArray run(const QString &program, const QStringList &arguments)
{
    QProcess process;
    process.start(program, arguments);
    process.waitForFinished(10000);
    return process.readAllStandardOutput();
}

void keep(const QImage &image, const QString &name)
{
    QString folder = qEnvironmentVariable("ZORV_DESKTOP_STATE", QDir::tempPath());
    QDir(folder).mkpath(QStringLiteral("captures"));
    image.save(folder + QStringLiteral("/captures/") + name + QStringLiteral(".png"));
}

QRgb patternAt(int x, int y)
{
    return qRgb((x * 7) & 0xFF, (y * 5) & 0xFF, ((x / 32 + y / 32) & 1) ? 0x40 : 0xC0);
}

int patternMismatches(const QImage &image, const QRect &area, QPoint origin)
{
    int wrong = 0;
    for (int y = 0; y < area.height(); ++y)
        for (int x = 0; x < area.width(); ++x)
            wrong += (image.pixel(area.x() + x, area.y() + y) & 0xFFFFFF) !=
                     (patternAt(origin.x() + x, origin.y() + y) & 0xFFFFFF);
    return wrong;
}

int countColour(const QImage &image, QRgb colour, int step)
{
    int count = 0;
    for (int y = 0; y < image.height(); y += step)
        for (int x = 0; x < image.width(); x += step)
            count += (image.pixel(x, y) & 0xFFFFFF) == (colour & 0xFFFFFF);
    return count;
}

std::optional<WindowInfo> listed(uint32_t id, bool excludingOwn)
{
    const auto windows = captureService().windowInfos(excludingOwn);
    for (const WindowInfo &w : windows ? windows.value() : QList<WindowInfo>())
        if (w.id == id)
            return w;
    return std::nullopt;
}

HelperWindow::HelperWindow(const QString &title, const QRect &geometry, QColor solid)
{
    // The application holds the Composite redirect from its start. Taken only
    // at the first capture, it would give the helper's window a pixmap that
    // shows whatever covered it until the helper repainted.
    backend();
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    // The helper draws in X pixels whatever scaling this process was given.
    env.remove("QT_SCREEN_SCALE_FACTORS");
    env.insert("ZORV_HELPER",
               QStringList{title, QString::number(geometry.x()), QString::number(geometry.y()),
                           QString::number(geometry.width()), QString::number(geometry.height()),
                           solid.isValid() ? solid.name() : QString()}
                   .join(';'));
    m_process.setProcessEnvironment(env);
    m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    m_process.start(QCoreApplication::applicationFilePath(),
                    {"--gtest_filter=DISABLED_Helper.*", "--gtest_also_run_disabled_tests"});
    const bool answered = QTest::qWaitFor(
        [this] {
            if (!m_process.canReadLine())
                return m_process.state() == QProcess::NotRunning;
            const QList<QByteArray> words = m_process.readLine().trimmed().split(' ');
            if (words.value(0) != "ready" || words.size() < 6)
                return false;
            m_id = words[1].toUInt();
            m_client =
                QRect(words[2].toInt(), words[3].toInt(), words[4].toInt(), words[5].toInt());
            return true;
        },
        10000);
    m_ready = answered && m_id != 0;
}

namespace
{
class ColourWidget : public QWidget
{
  public:
    explicit ColourWidget(QColor colour) : m_colour(colour) {}

  protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter painter(this);
        if (m_colour.isValid()) {
            painter.fillRect(rect(), m_colour);
            return;
        }
        // The image is made in device pixels so that every pixel is known.
        const qreal dpr = devicePixelRatioF();
        QImage image(size() * dpr, QImage::Format_RGB32);
        image.setDevicePixelRatio(dpr);
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x)
                image.setPixel(x, y, patternAt(x, y));
        painter.drawImage(0, 0, image);
    }

  private:
    QColor m_colour;
};
} // namespace

std::unique_ptr<QWidget> showOwnWindow(const QRect &geometry, QColor colour)
{
    auto widget = std::make_unique<ColourWidget>(colour);
    widget->setWindowTitle(QStringLiteral("zorv-own"));
    widget->setGeometry(geometry);
    widget->show();
    if (!QTest::qWaitForWindowExposed(widget.get()))
        return nullptr;
    QTest::qWait(200); // let the window manager settle and the first paint land
    return widget;
}

} // namespace zorv::desktop

using namespace zorv::desktop;

// Helper mode: runs in a second process started by HelperWindow, shows one
// window and reports it on standard output, then waits to be killed.
TEST(DISABLED_Helper, ShowWindow)
{
    const QStringList fields = qEnvironmentVariable("ZORV_HELPER").split(QLatin1Char(';'));
    ASSERT_EQ(fields.size(), 6);
    ColourWidget widget(fields[5].isEmpty() ? QColor() : QColor(fields[5]));
    widget.setWindowTitle(fields[0]);
    widget.setGeometry(fields[1].toInt(), fields[2].toInt(), fields[3].toInt(), fields[4].toInt());
    widget.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&widget));
    QTest::qWait(300);
    const QRect client(widget.mapToGlobal(QPoint(0, 0)), widget.size());
    printf("ready %u %d %d %d %d\n", unsigned(widget.winId()), client.x(), client.y(),
           client.width(), client.height());
    fflush(stdout);
    for (;;)
        QTest::qWait(1000);
}
