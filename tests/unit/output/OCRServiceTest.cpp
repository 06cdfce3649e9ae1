#include "output/ocr/OCRService.h"
#include "output/ocr/OCRWindowController.h"
#include "support/Files.h"

#include <QClipboard>
#include <QFile>
#include <QFont>
#include <QGuiApplication>
#include <QLabel>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>
#include <optional>

using namespace zorv;

namespace
{

OCRLine line(const char *text, double left, double midY)
{
    return {QUuid::createUuid(), QString::fromLatin1(text), QRectF(left, midY - 0.01, 0.1, 0.02),
            1.0f};
}

QString texts(const QList<OCRLine> &lines)
{
    QStringList out;
    for (const OCRLine &l : lines)
        out << l.text;
    return out.join(u' ');
}

// Levenshtein distance over the reference's length.
double errorRate(const QString &got, const QString &want)
{
    QList<int> previous(got.size() + 1), current(got.size() + 1);
    for (int j = 0; j <= got.size(); ++j)
        previous[j] = j;
    for (int i = 1; i <= want.size(); ++i) {
        current[0] = i;
        for (int j = 1; j <= got.size(); ++j)
            current[j] = std::min({previous[j] + 1, current[j - 1] + 1,
                                   previous[j - 1] + (want[i - 1] == got[j - 1] ? 0 : 1)});
        std::swap(previous, current);
    }
    return double(previous[got.size()]) / want.size();
}

QImage rendered(const QString &text, bool dark, qreal scale)
{
    QImage image(QSize(760, 48) * scale, QImage::Format_RGB32);
    image.setDevicePixelRatio(scale);
    image.fill(dark ? QColor(30, 30, 32) : QColor(250, 250, 250));
    QPainter painter(&image);
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPixelSize(13);
    painter.setFont(font);
    painter.setPen(dark ? QColor(230, 230, 230) : QColor(20, 20, 20));
    painter.drawText(QRectF(12, 0, 740, 48), Qt::AlignVCenter | Qt::AlignLeft, text);
    return image;
}

} // namespace

// Rows are lines within 0.02 of the row's top line; a plain pairwise rule is
// not transitive, and the chain below made std::sort's result depend on the
// input order.
TEST(OCRService, ReadingOrder)
{
    const struct {
        const char *name;
        QList<OCRLine> in;
        const char *want;
    } cases[] = {
        {"same row by 0.015: left first",
         {line("right", 0.6, 0.5), line("left", 0.1, 0.515)},
         "left right"},
        {"0.03 apart: higher first", {line("low", 0.1, 0.5), line("high", 0.6, 0.53)}, "high low"},
        {"equal places keep their order", {line("b", 0.1, 0.5), line("a", 0.1, 0.5)}, "b a"},
        {"rows from the top",
         {line("3", 0.1, 0.2), line("1", 0.5, 0.9), line("2", 0.1, 0.6), line("1b", 0.7, 0.9)},
         "1 1b 2 3"},
        {"chain: b is near a and c, c is not near a",
         {line("c", 0.1, 0.470), line("b", 0.5, 0.485), line("a", 0.9, 0.500)},
         "b a c"},
        {"chain given in another order",
         {line("a", 0.9, 0.500), line("c", 0.1, 0.470), line("b", 0.5, 0.485)},
         "b a c"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(texts(OCRService::readingOrder(c.in)), QString::fromLatin1(c.want));
    }
}

TEST(OCRService, BoxesAreNormalisedFromTheBottomLeft)
{
    const struct {
        QRect pixels;
        QSize size;
        QRectF want;
    } cases[] = {
        {{0, 0, 100, 50}, {100, 50}, {0, 0, 1, 1}},
        {{10, 0, 20, 10}, {100, 50}, {0.1, 0.8, 0.2, 0.2}},  // at the top
        {{0, 40, 50, 10}, {100, 50}, {0, 0, 0.5, 0.2}},      // at the bottom
        {{90, -5, 30, 15}, {100, 50}, {0.9, 0.8, 0.1, 0.2}}, // clipped to the image
        {{0, 0, 10, 10}, {0, 0}, {}},
    };
    for (const auto &c : cases) {
        const QRectF got = OCRService::normalisedBox(c.pixels, c.size);
        EXPECT_NEAR(got.x(), c.want.x(), 1e-9);
        EXPECT_NEAR(got.y(), c.want.y(), 1e-9);
        EXPECT_NEAR(got.width(), c.want.width(), 1e-9);
        EXPECT_NEAR(got.height(), c.want.height(), 1e-9);
    }
}

TEST(OCRService, LanguagesFromTheInstalledData)
{
    QTemporaryDir dir;
    const auto install = [&dir](const char *language) {
        QFile file(dir.filePath(QString::fromLatin1(language) + ".traineddata"));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    };
    const QLocale german(QLocale::German, QLocale::Germany);

    auto chosen = OCRService::chooseLanguages(dir.path(), german);
    ASSERT_FALSE(chosen);
    EXPECT_TRUE(chosen.error().description.contains("install the tesseract-ocr-eng package"));

    install("eng");
    chosen = OCRService::chooseLanguages(dir.path(), german);
    ASSERT_TRUE(chosen);
    EXPECT_EQ(chosen.value(), "eng");

    install("deu");
    chosen = OCRService::chooseLanguages(dir.path(), german);
    ASSERT_TRUE(chosen);
    EXPECT_EQ(chosen.value(), "deu+eng");
    chosen = OCRService::chooseLanguages(dir.path(), QLocale(QLocale::Chinese, QLocale::China));
    EXPECT_EQ(chosen.value(), "eng");

    chosen = OCRService::chooseLanguages(dir.path(), german, {"chi_sim"});
    ASSERT_FALSE(chosen);
    EXPECT_TRUE(chosen.error().description.contains("tesseract-ocr-chi-sim"));
}

TEST(OCRService, MissingEnglishDataIsAnErrorNotAnEmptyResult)
{
    QTemporaryDir dir;
    qputenv("TESSDATA_PREFIX", dir.path().toLocal8Bit());
    const OCROutcome outcome = OCRService::recognizeNow(rendered("Some text", false, 1));
    qunsetenv("TESSDATA_PREFIX");
    ASSERT_FALSE(outcome);
    EXPECT_TRUE(outcome.error().description.contains("tesseract-ocr-eng"));
}

TEST(OCRService, PicturesWithoutTextGiveNoLines)
{
    QImage blank(400, 200, QImage::Format_RGB32);
    blank.fill(Qt::white);
    QImage dot(1, 1, QImage::Format_ARGB32);
    dot.fill(Qt::black);
    for (const QImage &image : {QImage(), dot, blank}) {
        const OCROutcome outcome = OCRService::recognizeNow(image);
        ASSERT_TRUE(outcome) << outcome.error().description.toStdString();
        EXPECT_TRUE(outcome.value().lines.isEmpty());
        EXPECT_EQ(outcome.value().text(), "");
    }
}

// The benchmark measures the exact rate on its corpus; this guards against a
// broken preparation (upscaling, inversion, strips) with a wide margin.
TEST(OCRService, RecognisesRenderedText)
{
    const QString want = QStringLiteral("Export settings: 1920 x 1080, quality 85% (saved 04:12)");
    for (const bool dark : {false, true}) {
        for (const qreal scale : {1.0, 2.0}) {
            SCOPED_TRACE(std::string(dark ? "dark " : "light ") + std::to_string(scale));
            const QImage image = rendered(want, dark, scale);
            const OCROutcome outcome = OCRService::recognizeNow(image);
            ASSERT_TRUE(outcome) << outcome.error().description.toStdString();
            const OCRResult &result = outcome.value();
            ASSERT_EQ(result.lines.size(), 1) << result.text().toStdString();
            EXPECT_LT(errorRate(result.text(), want), 0.03) << result.text().toStdString();
            const QRectF box = result.lines[0].box;
            EXPECT_NEAR(box.center().y(), 0.5, 0.15);
            EXPECT_LT(box.left(), 0.05);
            EXPECT_GT(result.lines[0].confidence, 0.5f);
            EXPECT_LE(result.lines[0].confidence, 1.0f);
        }
    }
}

// The models go when idle, on the recogniser's thread, and come back when needed.
TEST(OCRService, ModelsAreReleasedWhenIdleAndReloaded)
{
    const QString want = QStringLiteral("Release the models when idle");
    QObject context;
    std::optional<OCROutcome> got;
    OCRService::recognize(
        rendered(want, false, 1), {}, &context, [&got](const OCROutcome &o) { got = o; },
        std::chrono::milliseconds(50));
    QTRY_VERIFY_WITH_TIMEOUT(got.has_value(), 20000);
    ASSERT_TRUE(*got) << got->error().description.toStdString();
    EXPECT_LT(errorRate(got->value().text(), want), 0.1) << got->value().text().toStdString();
    QTest::qWait(1000);
    EXPECT_FALSE(OCRService::releaseEngine()); // the timer did it

    const OCROutcome again = OCRService::recognizeNow(rendered(want, true, 1));
    ASSERT_TRUE(again) << again.error().description.toStdString();
    EXPECT_LT(errorRate(again.value().text(), want), 0.1) << again.value().text().toStdString();
    EXPECT_TRUE(OCRService::releaseEngine());
}

TEST(OCRService, WideStripsOfAHugePicture)
{
    // Two text lines, one across the first strip's edge: each read once.
    QImage image(16384, 4000, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPixelSize(28);
    painter.setFont(font);
    painter.setPen(Qt::black);
    painter.drawText(40, 2048 + 10, QStringLiteral("Across the edge of a strip"));
    painter.drawText(40, 3900, QStringLiteral("Near the bottom"));
    painter.end();
    const OCROutcome outcome = OCRService::recognizeNow(image);
    ASSERT_TRUE(outcome) << outcome.error().description.toStdString();
    EXPECT_EQ(outcome.value().text(), "Across the edge of a strip\nNear the bottom");
}

TEST(OCRWindow, OneWindowCopyingAllItsText)
{
    OCRResult two;
    two.lines = {line("first", 0.1, 0.8), line("second", 0.1, 0.5)};
    OCRWindow *first = OCRWindowController::present(OCRResult{}, QImage());
    EXPECT_EQ(first->summary()->text(), "No text found");
    EXPECT_FALSE(first->copyButton()->isEnabled());
    EXPECT_FALSE(first->textView()->placeholderText().isEmpty());

    QPointer<OCRWindow> closed(first);
    OCRWindow *window = OCRWindowController::present(two, QImage(300, 100, QImage::Format_RGB32));
    EXPECT_FALSE(closed && closed->isVisible());
    EXPECT_EQ(OCRWindowController::current(), window);
    EXPECT_EQ(window->summary()->text(), "2 text blocks");
    EXPECT_EQ(window->textView()->toPlainText(), "first\nsecond");

    QGuiApplication::clipboard()->setText("before");
    window->copyButton()->click();
    EXPECT_EQ(QGuiApplication::clipboard()->text(), "first\nsecond");
    EXPECT_TRUE(window->copyFlash());
    EXPECT_EQ(window->copyButton()->text(), "Copied");
    QTest::qWait(OCRWindow::copyFlashMs / 2);
    window->copyAll(); // the first press's reset still ends the flash
    QTRY_VERIFY_WITH_TIMEOUT(!window->copyFlash(), OCRWindow::copyFlashMs * 3 / 4);
    EXPECT_EQ(window->copyButton()->text(), "Copy All");
    window->close();
}
