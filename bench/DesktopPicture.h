#pragma once

#include <QColor>
#include <QFont>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QRandomGenerator>
#include <QString>

namespace zorv::bench
{

// A desktop-like picture: gradient wallpaper, windows with title bars, text,
// buttons and icons, so effects work on the kind of detail screenshots have.
inline QImage desktopPicture(int width, int height)
{
    QImage image(width, height, QImage::Format_ARGB32_Premultiplied);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    QLinearGradient wallpaper(0, 0, width, height);
    wallpaper.setColorAt(0, QColor(40, 70, 140));
    wallpaper.setColorAt(1, QColor(180, 90, 120));
    p.fillRect(image.rect(), wallpaper);
    QRandomGenerator random(42);
    QFont font;
    font.setPixelSize(15);
    p.setFont(font);
    for (int w = 0; w < 6; ++w) {
        const QRect frame(100 + w * 560, 120 + (w % 3) * 300, 1300, 1100);
        p.fillRect(frame, QColor(250, 250, 252));
        p.fillRect(QRect(frame.topLeft(), QSize(frame.width(), 36)), QColor(228, 228, 232));
        for (int b = 0; b < 3; ++b) {
            p.setBrush(QColor::fromHsv(b * 40, 200, 230));
            p.setPen(Qt::NoPen);
            p.drawEllipse(QPointF(frame.left() + 20 + b * 22, frame.top() + 18), 7, 7);
        }
        p.fillRect(QRect(frame.left(), frame.top() + 36, 240, frame.height() - 36),
                   QColor(240, 240, 244));
        p.setPen(QColor(30, 30, 35));
        for (int line = 0; line < 55; ++line) {
            QString text;
            for (int word = 0; word < 14; ++word)
                text += QString::number(random.generate(), 36) + QLatin1Char(' ');
            p.drawText(QPointF(frame.left() + 260, frame.top() + 70 + line * 19), text);
        }
        for (int item = 0; item < 30; ++item)
            p.drawText(QPointF(frame.left() + 16, frame.top() + 70 + item * 30),
                       QStringLiteral("Sidebar item %1").arg(item));
        p.setBrush(QColor(60, 110, 250));
        p.setPen(Qt::NoPen);
        p.drawRoundedRect(QRectF(frame.right() - 160, frame.bottom() - 60, 140, 40), 8, 8);
    }
    return image;
}

} // namespace zorv::bench
