// Text recognition on the corpus that bench_ocr_corpus renders: character error
// rate and seconds per picture (min / median / max) for Zorv's recogniser with
// its preparation choices, and the tesseract command on one thread as the anchor.
//
//   bench_ocr [corpus folder]   (default: ocr-corpus beside the program)
//
// Zorv's times exclude loading the model (once per process: "first call");
// the command's include it, as each run of it loads the model again.
#include "output/ocr/OCRService.h"
#include "output/ocr/OCRTuning.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QImage>
#include <QProcess>
#include <QRegularExpression>
#include <algorithm>
#include <cstdio>
#include <functional>
#include <map>

using namespace zorv;

namespace
{

QString normalised(const QString &text)
{
    QStringList lines;
    for (QString line : text.split(u'\n')) {
        line = line.simplified();
        if (!line.isEmpty())
            lines << line;
    }
    return lines.join(u'\n');
}

int distance(const QString &a, const QString &b)
{
    QList<int> previous(a.size() + 1), current(a.size() + 1);
    for (int j = 0; j <= a.size(); ++j)
        previous[j] = j;
    for (int i = 1; i <= b.size(); ++i) {
        current[0] = i;
        for (int j = 1; j <= a.size(); ++j)
            current[j] = std::min({previous[j] + 1, current[j - 1] + 1,
                                   previous[j - 1] + (b[i - 1] == a[j - 1] ? 0 : 1)});
        std::swap(previous, current);
    }
    return previous[a.size()];
}

struct Sample {
    QString name, png, truth;
};

struct Tally {
    qint64 edits = 0, chars = 0;
    QList<double> seconds;
    void add(const QString &got, const QString &want, double s)
    {
        edits += distance(normalised(got), normalised(want));
        chars += normalised(want).size();
        seconds << s;
    }
    QString line() const
    {
        QList<double> sorted = seconds;
        std::sort(sorted.begin(), sorted.end());
        return QStringLiteral("CER %1 %  time %2 / %3 / %4 s")
            .arg(100.0 * edits / std::max<qint64>(chars, 1), 5, 'f', 2)
            .arg(sorted.first(), 0, 'f', 2)
            .arg(sorted[sorted.size() / 2], 0, 'f', 2)
            .arg(sorted.last(), 0, 'f', 2);
    }
};

QString group(const QString &name)
{
    return name.section(u'-', 0, 0) + u'-' + name.section(u'-', -1);
}

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    qputenv("OMP_THREAD_LIMIT", "1"); // for the tesseract command
    QGuiApplication app(argc, argv);
    const QString folder = argc > 1 ? QString::fromLocal8Bit(argv[1])
                                    : QCoreApplication::applicationDirPath() + "/ocr-corpus";
    QList<Sample> samples;
    for (const QFileInfo &png : QDir(folder).entryInfoList({"*.png"}, QDir::Files, QDir::Name)) {
        QFile truth(png.path() + u'/' + png.completeBaseName() + ".txt");
        if (truth.open(QIODevice::ReadOnly))
            samples.append(
                {png.completeBaseName(), png.filePath(), QString::fromUtf8(truth.readAll())});
    }
    if (samples.isEmpty()) {
        std::fprintf(stderr, "no corpus in %s: run bench_ocr_corpus first\n", qPrintable(folder));
        return 1;
    }

    QElapsedTimer first;
    first.start();
    const OCROutcome warm = OCRService::recognizeNow(QImage(samples[0].png));
    if (!warm) {
        std::fprintf(stderr, "%s\n", qPrintable(warm.error().description));
        return 1;
    }
    std::printf("first call (loads the module and the model): %.2f s\n",
                first.nsecsElapsed() / 1e9);

    struct Variant {
        const char *name;
        OCRService::OCRTuning tuning;
        bool windowsOnly;
    };
    OCRService::OCRTuning plain, noInvert, upscale3, always2, never;
    plain.smallFactor = plain.midFactor = 1.0;
    never.smallFactor = never.midFactor = 1.0;
    plain.invertDark = false;
    noInvert.invertDark = false;
    upscale3.smallFactor = 3.0;
    always2.smallPixels = 1e9;
    const Variant variants[] = {{"zorv", {}, false},
                                {"zorv, no enlarging, no inverting", plain, true},
                                {"zorv, no inverting", noInvert, true},
                                {"zorv, enlarged 3x", upscale3, true},
                                {"zorv, any size enlarged 2x", always2, false},
                                {"zorv, never enlarged", never, false}};

    std::map<QString, std::map<QString, Tally>> table; // group → variant → tally
    for (const Sample &sample : samples) {
        const QImage image(sample.png);
        for (const Variant &variant : variants) {
            if (variant.windowsOnly && !sample.name.startsWith("window"))
                continue;
            QElapsedTimer timer;
            timer.start();
            const OCROutcome outcome = OCRService::recognizeWith(image, {}, variant.tuning);
            const double seconds = timer.nsecsElapsed() / 1e9;
            table[group(sample.name)][variant.name].add(
                outcome ? outcome.value().text() : QString(), sample.truth, seconds);
        }
        QProcess tesseract;
        QElapsedTimer timer;
        timer.start();
        tesseract.start("tesseract", {sample.png, "-", "-l", "eng"});
        if (tesseract.waitForFinished(120000) && tesseract.exitCode() == 0)
            table[group(sample.name)]["tesseract command, 1 thread"].add(
                QString::fromUtf8(tesseract.readAllStandardOutput()), sample.truth,
                timer.nsecsElapsed() / 1e9);
    }
    for (const auto &[name, rows] : table) {
        std::printf("\n%s\n", qPrintable(name));
        for (const auto &[variant, tally] : rows)
            std::printf("  %-36s %s\n", qPrintable(variant), qPrintable(tally.line()));
    }
    return 0;
}
