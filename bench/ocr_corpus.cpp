// Renders the text recognition corpus: screen text with its exact strings, in
// several fonts, light and dark, at scale 1 and 2, as 760 x 340 windows and full
// 1080p screens. Deterministic, so error rates compare from run to run.
//
//   bench_ocr_corpus [folder]   (default: ocr-corpus beside the program)
//
// Each picture NAME.png comes with NAME.txt, its lines joined by line feeds.
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFontMetricsF>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <cstdio>

namespace
{

// Interface text of the kinds people copy out of screenshots: labels, settings,
// messages, paths, figures and a little code.
const char *const sentences[] = {
    "General settings apply to every capture you take from now on.",
    "Save screenshots to ~/Pictures/Screenshots as PNG (lossless).",
    "Export 1920 x 1080 at 60 fps, quality 85%, estimated size 14.2 MB",
    "Error 404: the requested page could not be found on this server.",
    "Last synced on 7 March 2026 at 14:32 from build 5.3.0-2.",
    "Press Control+Shift+9 to recognise the text inside an area.",
    "Invoice #20931 total due: $1,284.50 (VAT included)",
    "git commit -m \"Fix the reading order of recognised lines\"",
    "The quick brown fox jumps over the lazy dog.",
    "Pack my box with five dozen liquor jugs, then ship it.",
    "Notifications: show previews only when the device is unlocked",
    "Network: Wi-Fi connected, 192.168.1.24, signal strength 78%",
    "Delete 3 items? This action cannot be undone.",
    "Meeting moved to Thursday 10:30, Room B-214, second floor",
    "Username must be 4-32 characters: letters, digits, dots.",
    "for (int i = 0; i < count; ++i) total += prices[i];",
    "Downloads folder holds 1,532 files using 48.7 GB of space",
    "Update available: version 2.4.1 fixes crashes when printing",
    "Battery 64% - about 3 h 12 min remaining on this charge",
    "Your password was changed. If this wasn't you, contact support.",
    "Open Recent > Projects > Quarterly Report Q3 2026.xlsx",
    "Temperature 21.5 C, humidity 43%, wind 12 km/h from the west",
    "Shortcut conflicts with another application; choose a new key.",
    "Subtotal 7 items, shipping free, estimated delivery Friday",
    "Keep the original file after exporting a compressed copy",
    "Sign in with your work account to access shared drives.",
    "Terminal: ls -la /usr/share/tesseract-ocr/5/tessdata",
    "Brightness, contrast and saturation can be adjusted later.",
    "Storage almost full: free up space to keep taking backups.",
    "Tab 4 of 12: Release notes for the spring update",
};
constexpr int sentenceCount = int(sizeof(sentences) / sizeof(sentences[0]));

struct Theme {
    const char *name;
    QColor background, text, secondary;
};
const Theme themes[] = {
    {"light", QColor(250, 250, 250), QColor(28, 28, 30), QColor(110, 110, 115)},
    {"dark", QColor(30, 30, 32), QColor(235, 235, 240), QColor(152, 152, 158)},
};

// Lines of whole sentences filling `width`; a sentence that does not fit
// starts the next line.
QStringList layoutLines(const QFontMetricsF &metrics, double width, int count, int first)
{
    QStringList lines;
    QString current;
    for (int i = first; lines.size() < count; ++i) {
        const QString sentence = QString::fromUtf8(sentences[i % sentenceCount]);
        const QString joined =
            current.isEmpty() ? sentence : current + QStringLiteral(" ") + sentence;
        if (metrics.horizontalAdvance(joined) <= width) {
            current = joined;
            continue;
        }
        if (!current.isEmpty())
            lines << current;
        current = metrics.horizontalAdvance(sentence) <= width ? sentence : QString();
    }
    return lines;
}

bool render(const QString &folder, const QString &name, QSize logical, qreal scale,
            const QString &family, int pixelSize, const Theme &theme, int first)
{
    QImage image(logical * scale, QImage::Format_RGB32);
    image.setDevicePixelRatio(scale);
    image.fill(theme.background);
    QPainter painter(&image);
    QFont font(family);
    font.setPixelSize(pixelSize);
    painter.setFont(font);
    const QFontMetricsF metrics(font, &image);
    const double lineHeight = std::ceil(metrics.height() * 1.45);
    const double margin = 20;
    const int count = int((logical.height() - 2 * margin) / lineHeight);
    const QStringList lines = layoutLines(metrics, logical.width() - 2 * margin, count, first);
    for (int i = 0; i < lines.size(); ++i) {
        // Every fourth line in the secondary colour, as captions are.
        painter.setPen(i % 4 == 3 ? theme.secondary : theme.text);
        painter.drawText(QPointF(margin, margin + i * lineHeight + metrics.ascent()), lines[i]);
    }
    painter.end();
    QFile truth(QDir(folder).filePath(name + QStringLiteral(".txt")));
    return image.save(QDir(folder).filePath(name + QStringLiteral(".png"))) &&
           truth.open(QIODevice::WriteOnly) && truth.write(lines.join(u'\n').toUtf8()) > 0;
}

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    const QString folder = argc > 1 ? QString::fromLocal8Bit(argv[1])
                                    : QCoreApplication::applicationDirPath() + "/ocr-corpus";
    QDir(folder).removeRecursively();
    if (!QDir().mkpath(folder)) {
        std::fprintf(stderr, "cannot make %s\n", qPrintable(folder));
        return 1;
    }
    struct Face {
        const char *family;
        int pixelSize;
    };
    const Face faces[] = {
        {"DejaVu Sans", 13}, {"Nimbus Sans", 13}, {"DejaVu Serif", 14}, {"DejaVu Sans Mono", 12}};
    int made = 0, first = 0;
    for (const Face &face : faces) {
        for (const Theme &theme : themes) {
            for (const qreal scale : {1.0, 2.0}) {
                const QString name =
                    QStringLiteral("window-%1-%2-%3x")
                        .arg(QString::fromLatin1(face.family).remove(u' ').toLower(),
                             QString::fromLatin1(theme.name))
                        .arg(int(scale));
                made += render(folder, name, {760, 340}, scale, QString::fromLatin1(face.family),
                               face.pixelSize, theme, first++);
            }
        }
    }
    for (const Face &face : {faces[0], faces[1]}) {
        for (const Theme &theme : themes) {
            const QString name = QStringLiteral("screen-%1-%2-1x")
                                     .arg(QString::fromLatin1(face.family).remove(u' ').toLower(),
                                          QString::fromLatin1(theme.name));
            made += render(folder, name, {1920, 1080}, 1.0, QString::fromLatin1(face.family),
                           face.pixelSize + 1, theme, first++);
        }
    }
    std::printf("%d pictures with their text in %s\n", made, qPrintable(folder));
    return made == 20 ? 0 : 1;
}
