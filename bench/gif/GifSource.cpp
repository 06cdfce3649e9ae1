// A recording of a busy desktop for the GIF benchmark, made the way Zorv makes
// recordings (its own video writer and encoder settings), of content drawn
// here: a gradient wallpaper, a picture window gliding across it, a page of
// text scrolling in another window, and a progress bar.
//     bench_gif_source OUT.mp4 [SECONDS] [WIDTH HEIGHT] [FPS]
#include "recording/VideoWriter.h"

#include <QGuiApplication>
#include <QLinearGradient>
#include <QPainter>
#include <QRadialGradient>
#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace
{

void drawWindow(QPainter &p, const QRect &frame, const QString &title)
{
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0, 0, 0, 60));
    p.drawRoundedRect(frame.adjusted(-2, 2, 6, 10), 10, 10); // shadow
    p.setBrush(QColor(236, 236, 240));
    p.drawRoundedRect(frame, 8, 8);
    p.setPen(QColor(40, 40, 48));
    p.drawText(frame.adjusted(0, 0, 0, -(frame.height() - 30)), Qt::AlignCenter, title);
    const QColor dots[] = {QColor(237, 106, 94), QColor(245, 191, 79), QColor(98, 197, 84)};
    for (int i = 0; i < 3; ++i) {
        p.setPen(Qt::NoPen);
        p.setBrush(dots[i]);
        p.drawEllipse(QPoint(frame.left() + 18 + 20 * i, frame.top() + 15), 6, 6);
    }
}

void drawFrame(QImage &image, double t)
{
    const int w = image.width(), h = image.height();
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    QLinearGradient wallpaper(0, 0, w, h);
    wallpaper.setColorAt(0, QColor(38, 52, 120));
    wallpaper.setColorAt(0.5, QColor(140, 70, 150));
    wallpaper.setColorAt(1, QColor(240, 150, 90));
    p.fillRect(image.rect(), wallpaper);

    // Text window: lines scroll up at 60 px a second.
    const QRect text(w * 55 / 100, h * 40 / 100, w * 36 / 100, h * 46 / 100);
    drawWindow(p, text, QStringLiteral("Notes"));
    const QRect page = text.adjusted(12, 36, -12, -12);
    p.fillRect(page, Qt::white);
    p.save();
    p.setClipRect(page);
    QFont font(QStringLiteral("DejaVu Sans Mono"));
    font.setPixelSize(17);
    p.setFont(font);
    p.setPen(QColor(30, 30, 30));
    const double scroll = t * 60;
    const int lineHeight = 22, first = int(scroll / lineHeight);
    for (int line = first; line < first + page.height() / lineHeight + 2; ++line) {
        const int y = page.top() + int(line * lineHeight - scroll) + 16;
        p.drawText(page.left() + 8, y,
                   QStringLiteral("%1  the quick brown fox jumps over the lazy dog %2")
                       .arg(line, 4, 10, QLatin1Char('0'))
                       .arg(line * 7919 % 10007));
    }
    p.restore();

    // Picture window: glides across, with a soft picture and sharp shapes.
    const QRect photo(int(80 + t * 90), int(70 + t * 28), w / 3, h * 37 / 100);
    drawWindow(p, photo, QStringLiteral("Preview"));
    const QRect content = photo.adjusted(10, 32, -10, -10);
    QRadialGradient sky(content.center(), content.width() * 0.7);
    sky.setColorAt(0, QColor(250, 220, 160));
    sky.setColorAt(0.6, QColor(90, 160, 210));
    sky.setColorAt(1, QColor(20, 60, 110));
    p.fillRect(content, sky);
    p.save();
    p.setClipRect(content);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(30, 110, 60));
    p.drawEllipse(QPointF(content.left() + content.width() * 0.3, content.bottom() + 40),
                  content.width() * 0.45, content.height() * 0.35);
    p.setBrush(QColor(200, 40, 40));
    p.drawRect(QRectF(content.left() + 30 + 20 * std::sin(t * 2), content.top() + 30, 60, 60));
    p.restore();

    // Progress bar at the bottom.
    const QRect bar(w / 10, h * 92 / 100, w * 8 / 10, 14);
    p.setBrush(QColor(255, 255, 255, 70));
    p.drawRoundedRect(bar, 7, 7);
    p.setBrush(QColor(92, 107, 255));
    p.drawRoundedRect(QRect(bar.left(), bar.top(), int(bar.width() * std::fmod(t / 10, 1.0)), 14),
                      7, 7);
}

} // namespace

int main(int argc, char **argv)
{
    QGuiApplication app(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s OUT.mp4 [SECONDS] [WIDTH HEIGHT] [FPS]\n", argv[0]);
        return 2;
    }
    const double seconds = argc > 2 ? std::atof(argv[2]) : 10;
    const QSize size(argc > 4 ? std::atoi(argv[3]) : 1920, argc > 4 ? std::atoi(argv[4]) : 1080);
    const int fps = argc > 5 ? std::atoi(argv[5]) : 30;
    zorv::VideoWriterConfig config;
    config.path = QString::fromLocal8Bit(argv[1]);
    config.frameSize = size;
    config.fps = fps;
    auto writer = zorv::VideoWriter::open(config);
    if (!writer) {
        std::fprintf(stderr, "%s\n", qPrintable(writer.error()));
        return 1;
    }
    QImage frame(size, QImage::Format_RGB32);
    const int count = int(seconds * fps);
    for (int i = 0; i < count; ++i) {
        drawFrame(frame, double(i) / fps);
        if (!writer.value()->writeVideo(frame, int64_t(i) * 1'000'000 / fps)) {
            std::fprintf(stderr, "%s\n", qPrintable(writer.value()->error()));
            return 1;
        }
    }
    if (!writer.value()->finish()) {
        std::fprintf(stderr, "%s\n", qPrintable(writer.value()->error()));
        return 1;
    }
    return 0;
}
