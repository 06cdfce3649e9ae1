#include "output/ocr/OCRService.h"

#include "common/Modules.h"
#include "common/WhenReady.h"
#include "modules/ocr/OcrModule.h"
#include "output/ocr/OCRTuning.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QPainter>
#include <QPointer>
#include <QThreadPool>
#include <QTimer>
#include <QtConcurrent/QtConcurrentRun>
#include <algorithm>
#include <malloc.h>
#include <numeric>

namespace zorv::OCRService
{

namespace
{

struct Module {
    ZorvOcrRecognize recognize = nullptr;
    ZorvOcrRelease release = nullptr;
};

const Module &module()
{
    static const Module loaded = [] {
        const QList<QFunctionPointer> found =
            loadModule(QStringLiteral("libzorv-ocr"),
                       {QStringLiteral("zorv_ocr_recognize"), QStringLiteral("zorv_ocr_release")},
                       QStringLiteral("Text recognition"));
        if (found.isEmpty())
            return Module{};
        return Module{reinterpret_cast<ZorvOcrRecognize>(found[0]),
                      reinterpret_cast<ZorvOcrRelease>(found[1])};
    }();
    return loaded;
}

// One thread of its own: a long recognition on Qt's shared pool would hold up
// capture encoding and the GUI thread's smooth scaling.
QThreadPool *pool()
{
    static QThreadPool *const threads = [] {
        auto *p = new QThreadPool;
        p->setMaxThreadCount(1);
        return p;
    }();
    return threads;
}

// Restarted by every recognition; when it fires, the models are released.
QTimer *idleTimer()
{
    static QPointer<QTimer> timer;
    if (!timer) {
        timer = new QTimer(QCoreApplication::instance());
        timer->setSingleShot(true);
        // Unloading takes a while and must wait for a recognition that runs.
        QObject::connect(timer, &QTimer::timeout, timer,
                         [] { pool()->start([] { releaseEngine(); }); });
    }
    return timer;
}

QString packageFor(const QString &language)
{
    return QStringLiteral("tesseract-ocr-") + QString(language).replace(QLatin1Char('_'), '-');
}

bool installed(const QString &folder, const QString &language)
{
    return QFileInfo(QDir(folder).filePath(language + QStringLiteral(".traineddata"))).isFile();
}

// Tesseract names most languages by ISO 639-2/T; Chinese by its script.
QString tesseractName(const QLocale &locale)
{
    if (locale.language() == QLocale::Chinese)
        return locale.script() == QLocale::TraditionalChineseScript ? QStringLiteral("chi_tra")
                                                                    : QStringLiteral("chi_sim");
    return QLocale::languageToCode(locale.language(), QLocale::ISO639Part2T);
}

struct Collected {
    QList<OCRLine> lines;
    QRect piece;   // the part of the image recognised, in image pixels
    double factor; // pixels recognised per image pixel
    int ownTop;    // lines whose centre lies outside [ownTop, ownBottom) belong to
    int ownBottom; // the neighbouring piece
    QSize image;
};

void lineFound(void *userdata, const char *text, float confidence, int left, int top, int right,
               int bottom)
{
    auto *c = static_cast<Collected *>(userdata);
    const auto back = [c](int v) { return qRound(v / c->factor); };
    const QRect pixels =
        QRect(QPoint(back(left), back(top)), QPoint(back(right) - 1, back(bottom) - 1))
            .translated(c->piece.topLeft());
    const int centre = pixels.top() + pixels.height() / 2;
    if (centre < c->ownTop || centre >= c->ownBottom)
        return;
    c->lines.append({QUuid::createUuid(), QString::fromUtf8(text), normalisedBox(pixels, c->image),
                     std::clamp(confidence / 100.0f, 0.0f, 1.0f)});
}

// Opaque grey, transparency shown over white as a viewer would.
QImage toGrey(const QImage &image)
{
    if (!image.hasAlphaChannel())
        return image.convertToFormat(QImage::Format_Grayscale8);
    QImage flat(image.size(), QImage::Format_RGB32);
    if (flat.isNull())
        return {};
    flat.fill(Qt::white);
    QPainter(&flat).drawImage(0, 0, image);
    return flat.convertToFormat(QImage::Format_Grayscale8);
}

double meanLevel(const QImage &grey)
{
    // Every 4th row and column is plenty to tell a dark page from a light one.
    quint64 sum = 0, count = 0;
    for (int y = 0; y < grey.height(); y += 4) {
        const uchar *row = grey.constScanLine(y);
        for (int x = 0; x < grey.width(); x += 4, ++count)
            sum += row[x];
    }
    return count ? double(sum) / count : 255;
}

} // namespace

QList<OCRLine> readingOrder(QList<OCRLine> lines)
{
    const auto midY = [&lines](qsizetype i) { return lines[i].box.center().y(); };
    QList<qsizetype> byHeight(lines.size());
    std::iota(byHeight.begin(), byHeight.end(), 0);
    std::stable_sort(byHeight.begin(), byHeight.end(),
                     [&](qsizetype a, qsizetype b) { return midY(a) > midY(b); });

    QList<OCRLine> ordered;
    ordered.reserve(lines.size());
    for (qsizetype start = 0; start < byHeight.size();) {
        // A row holds the lines within the tolerance of its topmost line.
        const double centre = midY(byHeight[start]);
        qsizetype end = start + 1;
        while (end < byHeight.size() && centre - midY(byHeight[end]) <= rowTolerance)
            ++end;
        QList<qsizetype> row(byHeight.begin() + start, byHeight.begin() + end);
        std::sort(row.begin(), row.end()); // the recogniser's order first…
        std::stable_sort(row.begin(), row.end(), [&lines](qsizetype a, qsizetype b) {
            return lines[a].box.left() < lines[b].box.left(); // …then from the left
        });
        for (qsizetype i : row)
            ordered.append(std::move(lines[i]));
        start = end;
    }
    return ordered;
}

QRectF normalisedBox(const QRect &pixels, const QSize &size)
{
    if (size.isEmpty())
        return {};
    const QRect clipped = pixels.intersected(QRect(QPoint(0, 0), size));
    if (clipped.isEmpty())
        return {};
    const double w = size.width(), h = size.height();
    return {clipped.left() / w, (h - (clipped.bottom() + 1)) / h, clipped.width() / w,
            clipped.height() / h};
}

QString dataFolder()
{
    if (const QString forced = qEnvironmentVariable("TESSDATA_PREFIX"); !forced.isEmpty())
        return forced;
    return QStringLiteral("/usr/share/tesseract-ocr/5/tessdata");
}

Expected<QString, OCRError> chooseLanguages(const QString &folder, const QLocale &locale,
                                            const QStringList &asked)
{
    QStringList languages = asked;
    if (languages.isEmpty()) {
        languages.append(QStringLiteral("eng"));
        const QString own = tesseractName(locale);
        // The first language leads the page layout analysis: the user's own.
        if (!own.isEmpty() && own != QLatin1String("eng") && installed(folder, own))
            languages.prepend(own);
    }
    for (const QString &language : languages) {
        if (!installed(folder, language))
            return OCRError{QStringLiteral("Text recognition needs the language data for \"%1\": "
                                           "install the %2 package.")
                                .arg(language, packageFor(language))};
    }
    return languages.join(QLatin1Char('+'));
}

OCROutcome recognizeWith(const QImage &image, const QStringList &asked, const OCRTuning &tuning)
{
    // Too small to hold a readable glyph.
    if (image.width() < tuning.minimumSide || image.height() < tuning.minimumSide)
        return OCRResult{};
    const QString folder = dataFolder();
    const auto languages = chooseLanguages(folder, QLocale(), asked);
    if (!languages)
        return languages.error();
    const ZorvOcrRecognize recognize = module().recognize;
    if (!recognize)
        return OCRError{QStringLiteral("Text recognition is not installed: the libzorv-ocr "
                                       "module could not be loaded.")};

    const OCRError tooLarge{QStringLiteral("The image is too large to recognise its text.")};
    QImage grey = toGrey(image);
    if (grey.isNull())
        return tooLarge;
    if (tuning.invertDark && meanLevel(grey) < 128)
        grey.invertPixels();

    // Small text is enlarged; very wide pictures shrunk.
    const double factor =
        std::min(tuning.upscale(grey.size()), double(tuning.maxWidth) / grey.width());

    QList<OCRLine> lines;
    const QByteArray folderBytes = QFile::encodeName(folder);
    const QByteArray languageBytes = languages.value().toLatin1();
    // Full-width strips, overlapping so that each line lies whole in one of them;
    // a line seen twice is kept by the strip that holds its centre.
    const int strip = std::max(1, int(tuning.stripHeight / factor));
    const int overlap = std::max(1, int(tuning.stripOverlap / factor));
    for (int top = 0; top < grey.height(); top += strip) {
        const int pieceTop = std::max(0, top - overlap / 2);
        const int pieceBottom = std::min(grey.height(), top + strip + overlap / 2);
        const QRect piece(0, pieceTop, grey.width(), pieceBottom - pieceTop);
        QImage input = grey.copy(piece);
        if (factor != 1.0)
            input = input.scaled(qRound(piece.width() * factor), qRound(piece.height() * factor),
                                 Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
        if (input.isNull())
            return tooLarge;
        Collected collected{{},  piece,       input.width() / double(piece.width()),
                            top, top + strip, grey.size()};
        if (const char *failure = recognize(input.constBits(), input.width(), input.height(),
                                            int(input.bytesPerLine()), folderBytes.constData(),
                                            languageBytes.constData(), &lineFound, &collected))
            return OCRError{
                QStringLiteral("Text recognition failed: %1.").arg(QString::fromUtf8(failure))};
        lines += collected.lines;
    }
    return OCRResult{readingOrder(std::move(lines))};
}

OCROutcome recognizeNow(const QImage &image, const QStringList &languages)
{
    return recognizeWith(image, languages, OCRTuning{});
}

bool releaseEngine()
{
    const ZorvOcrRelease release = module().release;
    return release && release() != 0;
}

void recognize(const QImage &image, const QStringList &languages, QObject *context,
               std::function<void(const OCROutcome &)> done, std::chrono::milliseconds releaseAfter)
{
    QTimer *timer = idleTimer();
    timer->start(releaseAfter);
    const QFuture<OCROutcome> running = QtConcurrent::run(pool(), [image, languages] {
        OCROutcome outcome = recognizeNow(image, languages);
        // Recognition's working memory would otherwise stay in this thread's arena.
        malloc_trim(0);
        return outcome;
    });
    // A recognition longer than the delay is not followed by an immediate release.
    whenReady(running, timer,
              [timer, releaseAfter](const OCROutcome &) { timer->start(releaseAfter); });
    whenReady(running, context, std::move(done));
}

} // namespace zorv::OCRService
