// Renders the application's SVG icon to the PNG sizes of the hicolor theme at build time,
// so no generated images are kept in the repository.
//
// render-icon SOURCE.svg OUTPUT_ROOT NAME SIZE...
// writes OUTPUT_ROOT/SIZExSIZE/apps/NAME.png for each SIZE.

#include <QDir>
#include <QImage>
#include <QPainter>
#include <QString>
#include <QSvgRenderer>
#include <cstdio>

int main(int argc, char **argv)
{
    if (argc < 5) {
        std::fprintf(stderr, "usage: render-icon SOURCE.svg OUTPUT_ROOT NAME SIZE...\n");
        return 2;
    }
    QSvgRenderer renderer(QString::fromLocal8Bit(argv[1]));
    if (!renderer.isValid()) {
        std::fprintf(stderr, "render-icon: cannot read %s\n", argv[1]);
        return 1;
    }
    const QString root = QString::fromLocal8Bit(argv[2]);
    const QString name = QString::fromLocal8Bit(argv[3]);
    for (int i = 4; i < argc; ++i) {
        bool ok = false;
        const int size = QString::fromLocal8Bit(argv[i]).toInt(&ok);
        if (!ok || size <= 0 || size > 4096) {
            std::fprintf(stderr, "render-icon: bad size %s\n", argv[i]);
            return 2;
        }
        QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::transparent);
        QPainter painter(&image);
        painter.setRenderHint(QPainter::Antialiasing);
        renderer.render(&painter, QRectF(0, 0, size, size));
        painter.end();

        const QString folder = QStringLiteral("%1/%2x%2/apps").arg(root).arg(size);
        const QString file = QStringLiteral("%1/%2.png").arg(folder, name);
        if (!QDir().mkpath(folder) || !image.save(file, "PNG")) {
            std::fprintf(stderr, "render-icon: cannot write %s\n", qPrintable(file));
            return 1;
        }
    }
    return 0;
}
