// A tall page of known content in a scrollable viewport, for the scrolling
// capture journey. Every row of the page is distinct: numbered lines on
// coloured bands, drawn once into an image that the viewport shows at its
// scroll offset, so the screen holds exactly the page's pixels.
//
//   zorv-scroll-page GEOMETRY-FILE        shows the page; writes the viewport's
//                                         global "x y w h" to GEOMETRY-FILE
//   zorv-scroll-page --write PNG          writes the whole page
//   zorv-scroll-page --compare PNG X Y    finds the stitched PNG in the page near
//                                         X, Y (page pixels) and compares it whole
#include <QApplication>
#include <QFile>
#include <QPaintEvent>
#include <QPainter>
#include <QSaveFile>
#include <QScrollArea>
#include <QScrollBar>
#include <QTimer>
#include <cstdio>

namespace
{
constexpr int pageWidth = 640;
constexpr int pageHeight = 6000;
constexpr int lineHeight = 30;

QImage renderPage()
{
    QImage page(pageWidth, pageHeight, QImage::Format_RGB32);
    page.fill(Qt::white);
    QPainter painter(&page);
    QFont font(QStringLiteral("DejaVu Sans Mono"));
    font.setPixelSize(16);
    font.setStyleStrategy(QFont::NoAntialias); // the same pixels whatever the renderer
    painter.setFont(font);
    for (int line = 0; line * lineHeight < pageHeight; ++line) {
        const int y = line * lineHeight;
        const QColor band = QColor::fromHsv((line * 37) % 360, 60 + (line * 13) % 120, 235);
        painter.fillRect(0, y, pageWidth, lineHeight, band);
        painter.fillRect(0, y, 8 + (line * 29) % 120, 3,
                         QColor::fromHsv((line * 71) % 360, 200, 120));
        painter.setPen(Qt::black);
        painter.drawText(QRect(20, y, pageWidth - 40, lineHeight), Qt::AlignVCenter,
                         QStringLiteral("Line %1  %2")
                             .arg(line, 4)
                             .arg(QString(QLatin1Char('a' + line % 26)).repeated(1 + line % 31)));
    }
    return page;
}

class PageView : public QWidget
{
  public:
    explicit PageView(QImage page) : m_page(std::move(page)) { setFixedSize(m_page.size()); }

  protected:
    void paintEvent(QPaintEvent *event) override
    {
        QPainter painter(this);
        painter.drawImage(event->rect().topLeft(), m_page, event->rect());
    }

  private:
    QImage m_page;
};

int compare(const QString &path, int hintX, int hintY)
{
    const QImage stitched = QImage(path).convertToFormat(QImage::Format_RGB32);
    const QImage page = renderPage();
    if (stitched.isNull() || stitched.width() > page.width() || stitched.height() > page.height()) {
        std::printf("compare: cannot use %s\n", qPrintable(path));
        return 2;
    }
    const int w = stitched.width();
    const auto rowsMatch = [&](int x, int y, int from, int to) {
        for (int r = from; r < to; ++r) {
            if (memcmp(stitched.constScanLine(r), page.constScanLine(y + r) + x * 4, size_t(w) * 4))
                return r;
        }
        return -1;
    };
    for (int dy = -4; dy <= 4; ++dy) {
        for (int dx = -4; dx <= 4; ++dx) {
            const int x = hintX + dx, y = hintY + dy;
            if (x < 0 || y < 0 || x + w > page.width() || y + stitched.height() > page.height())
                continue;
            if (rowsMatch(x, y, 0, std::min(8, stitched.height())) >= 0)
                continue;
            const int bad = rowsMatch(x, y, 0, stitched.height());
            if (bad >= 0) {
                std::printf("mismatch: %dx%d at %d,%d differs from row %d\n", w, stitched.height(),
                            x, y, bad);
                return 1;
            }
            std::printf("match: %dx%d at %d,%d\n", w, stitched.height(), x, y);
            return 0;
        }
    }
    std::printf("mismatch: the first rows of %dx%d are not near %d,%d\n", w, stitched.height(),
                hintX, hintY);
    return 1;
}
} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() == 3 && args[1] == QLatin1String("--write"))
        return renderPage().save(args[2]) ? 0 : 1;
    if (args.size() == 5 && args[1] == QLatin1String("--compare"))
        return compare(args[2], args[3].toInt(), args[4].toInt());
    if (args.size() != 2) {
        std::fprintf(stderr,
                     "usage: zorv-scroll-page GEOMETRY-FILE | --write PNG | --compare PNG X Y\n");
        return 2;
    }

    QScrollArea area;
    area.setWindowTitle(QStringLiteral("zorv-scroll-page"));
    area.setFrameShape(QFrame::NoFrame);
    area.setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    area.setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    area.setWidget(new PageView(renderPage()));
    area.resize(pageWidth, 480);
    area.show();
    const QString geometryFile = args[1];
    // Once placed by the window manager: where the page shows on screen.
    QTimer::singleShot(500, &area, [&area, geometryFile] {
        const QPoint origin = area.viewport()->mapToGlobal(QPoint(0, 0));
        QSaveFile file(geometryFile);
        if (file.open(QIODevice::WriteOnly)) {
            file.write(QStringLiteral("%1 %2 %3 %4\n")
                           .arg(origin.x())
                           .arg(origin.y())
                           .arg(area.viewport()->width())
                           .arg(area.viewport()->height())
                           .toUtf8());
            file.commit();
        }
    });
    return app.exec();
}
