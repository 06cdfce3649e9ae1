#pragma once

#include "capture/ScreenCaptureService.h"
#include "platform/x11/X11ScreenBackend.h"

#include <QImage>
#include <QProcess>
#include <QRect>
#include <QTest>
#include <QWidget>
#include <gtest/gtest.h>
#include <memory>

// Tests here need the virtual desktop (scripts/desktop.sh run -- …); without an
// X display they skip and say so.
#define REQUIRE_DESKTOP()                                                                          \
    do {                                                                                           \
        if (!zorv::desktop::available())                                                           \
            GTEST_SKIP() << "no X display: run inside scripts/desktop.sh run -- …";                \
    } while (false)

namespace zorv::desktop
{

bool available();
// The running X11 screen backend (Platform::shared()).
X11ScreenBackend &backend();
// The capture service and geometry on that backend.
ScreenCaptureService &captureService();
const ScreenGeometry &geometry();
// Runs a short command (xdotool, xprop …) to completion; its standard output.
QByteArray run(const QString &program, const QStringList &arguments);
// Writes an image next to the desktop's state for a person to look at.
void keep(const QImage &image, const QString &name);

// The colour a helper window paints at a pixel of its client area.
QRgb patternAt(int x, int y);
// How many pixels of `image` in `area` differ from the helper pattern, `origin`
// being where in the helper's client area the area starts.
int patternMismatches(const QImage &image, const QRect &area, QPoint origin = {});
// How many pixels of `image` have `colour`, looking at every `step`-th row and column.
int countColour(const QImage &image, QRgb colour, int step = 1);
// The listed window with this id, if listed.
std::optional<WindowInfo> listed(uint32_t id, bool excludingOwn = false);

// A window shown by a second process (this test program in helper mode), so
// it is not one of ours. Pixels: `patternAt`, or one colour.
class HelperWindow
{
  public:
    HelperWindow(const QString &title, const QRect &geometry, QColor solid = QColor());
    ~HelperWindow() { m_process.kill(), m_process.waitForFinished(); }
    bool ready() const { return m_ready; }
    uint32_t id() const { return m_id; }
    QRect clientGeometry() const { return m_client; } // X pixels
    qint64 pid() const { return m_process.processId(); }

  private:
    QProcess m_process;
    bool m_ready = false;
    uint32_t m_id = 0;
    QRect m_client;
};

// A plainly coloured window of this process.
std::unique_ptr<QWidget> showOwnWindow(const QRect &geometry, QColor colour);

} // namespace zorv::desktop
