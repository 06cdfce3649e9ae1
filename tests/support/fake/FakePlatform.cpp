#include "support/fake/FakePlatform.h"

#include <QGuiApplication>
#include <QPainter>
#include <QScreen>
#include <cmath>

namespace zorv
{

CaptureExpected<QList<DisplayInfo>> FakeScreenBackend::displays()
{
    return displayList;
}

std::optional<uint32_t> FakeScreenBackend::displayID(const QScreen *screen)
{
    // Screens and displays pair up by position in their lists.
    const int index = int(QGuiApplication::screens().indexOf(const_cast<QScreen *>(screen)));
    if (index < 0 || index >= displayList.size())
        return std::nullopt;
    return displayList[index].id;
}

CaptureExpected<QList<PlatformWindow>> FakeScreenBackend::windows()
{
    return windowList;
}

QRgb FakeScreenBackend::pixelAt(const QPointF &global)
{
    const int x = int(std::floor(global.x()));
    const int y = int(std::floor(global.y()));
    return qRgb(x & 0xFF, y & 0xFF, ((x >> 8) & 0x0F) | (((y >> 8) & 0x0F) << 4));
}

QImage FakeScreenBackend::render(const QRectF &rect, double scale) const
{
    const int width = std::max(1, int(std::lround(rect.width() * scale)));
    const int height = std::max(1, int(std::lround(rect.height() * scale)));
    QImage image(width, height, QImage::Format_ARGB32_Premultiplied);
    for (int y = 0; y < height; ++y) {
        auto *line = reinterpret_cast<QRgb *>(image.scanLine(y));
        for (int x = 0; x < width; ++x)
            line[x] = pixelAt({rect.x() + (x + 0.5) / scale, rect.y() + (y + 0.5) / scale});
    }
    return image;
}

CaptureResult FakeScreenBackend::grabDisplayRegion(uint32_t displayID, const QRectF &rect,
                                                   double scale)
{
    ++grabCount;
    if (failure)
        return *failure;
    for (const DisplayInfo &display : displayList) {
        if (display.id == displayID)
            return render(rect, scale);
    }
    return CaptureError(CaptureError::Code::noDisplay);
}

CaptureResult FakeScreenBackend::grabWindow(uint32_t windowID, double scale, bool)
{
    ++grabCount;
    if (failure)
        return *failure;
    for (const PlatformWindow &window : windowList) {
        if (window.id == windowID)
            return render(window.frame, scale);
    }
    return CaptureError(CaptureError::Code::noWindow);
}

CaptureResult FakeScreenBackend::grabArea(const QRectF &rect)
{
    ++grabCount;
    if (failure)
        return *failure;
    return render(rect, 1.0);
}

std::optional<QString> FakeHotKeyBackend::grab(uint32_t id, const KeyCombo &combo)
{
    if (refused.contains(combo))
        return QStringLiteral("already grabbed by another program");
    grabbed.insert(id, combo);
    return std::nullopt;
}

void FakeHotKeyBackend::press(const KeyCombo &combo)
{
    for (auto it = grabbed.cbegin(); it != grabbed.cend(); ++it) {
        if (it.value() == combo)
            Q_EMIT pressed(it.key());
    }
}

} // namespace zorv

namespace zorv
{

void FakeAudioSources::listMicrophones(QObject *context, Answer answer)
{
    // Answered later, as the real server would.
    QMetaObject::invokeMethod(
        context,
        [this, answer] {
            if (failure)
                answer(*failure);
            else
                answer(microphones);
        },
        Qt::QueuedConnection);
}

} // namespace zorv
