#include "output/ocr/OCRWindowController.h"

#include "theme/Symbols.h"
#include "theme/Theme.h"
#include "theme/WindowPlacement.h"

#include "platform/Platform.h"
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPainterPath>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTimer>
#include <QVBoxLayout>

namespace zorv
{

QPointer<OCRWindow> OCRWindowController::s_current;

namespace
{

QColor secondaryText(const QPalette &palette)
{
    return Theme::mix(palette.color(QPalette::Window), palette.color(QPalette::WindowText), 0.6);
}

QFont sized(QFont font, int pixels, QFont::Weight weight = QFont::Normal)
{
    font.setPixelSize(pixels);
    font.setWeight(weight);
    return font;
}

// The image within 96 × 56, its corners rounded and a faint outline round it.
QPixmap thumbnail(const QImage &image, qreal ratio)
{
    const QSize logical = image.isNull()
                              ? QSize(96, 56)
                              : image.size().scaled(96, 56, Qt::KeepAspectRatio).expandedTo({1, 1});
    QPixmap pixmap(logical * ratio);
    pixmap.setDevicePixelRatio(ratio);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    const QRectF bounds = QRectF(QPointF(0, 0), QSizeF(logical)).adjusted(0.5, 0.5, -0.5, -0.5);
    QPainterPath shape;
    shape.addRoundedRect(bounds, 5, 5);
    painter.setClipPath(shape);
    if (!image.isNull())
        painter.drawImage(QRectF(QPointF(0, 0), QSizeF(logical)), image);
    painter.setClipping(false);
    painter.setPen(QPen(QColor(255, 255, 255, 31), 1));
    painter.drawPath(shape);
    return pixmap;
}

// Dark whatever the desktop's colours, as Zorv's other windows of captures.
QPalette darkPalette(QPalette palette)
{
    const QColor window = Theme::glassBackdrop(false);
    const QColor text(236, 236, 240);
    for (const auto group : {QPalette::Active, QPalette::Inactive}) {
        palette.setColor(group, QPalette::Window, window);
        palette.setColor(group, QPalette::WindowText, text);
        palette.setColor(group, QPalette::Base, Theme::canvasBackground());
        palette.setColor(group, QPalette::Text, text);
        palette.setColor(group, QPalette::Button, Theme::mix(window, text, 0.12));
        palette.setColor(group, QPalette::ButtonText, text);
        palette.setColor(group, QPalette::Mid, Theme::mix(window, text, 0.3));
        palette.setColor(group, QPalette::Highlight, Theme::accent());
        palette.setColor(group, QPalette::HighlightedText, Qt::white);
    }
    palette.setColor(QPalette::Disabled, QPalette::WindowText, Theme::mix(window, text, 0.45));
    palette.setColor(QPalette::Disabled, QPalette::Text, Theme::mix(window, text, 0.45));
    return palette;
}

} // namespace

OCRWindow::OCRWindow(OCRResult result, const QImage &image, QWidget *parent)
    : QWidget(parent, Qt::Window), m_result(std::move(result)), m_summary(new QLabel(this)),
      m_copy(new QPushButton(this)), m_text(new QPlainTextEdit(this))
{
    setWindowTitle(QStringLiteral("Recognized Text"));
    setPalette(darkPalette(palette()));
    setAutoFillBackground(true);
    resize(620, 520);
    const bool empty = m_result.lines.isEmpty();

    // A box of the largest thumbnail's size keeps the header's height.
    auto *picture = new QLabel(this);
    picture->setFixedSize(96, 56);
    picture->setAlignment(Qt::AlignCenter);
    picture->setPixmap(thumbnail(image, devicePixelRatioF()));

    m_summary->setFont(sized(font(), 12, QFont::DemiBold));
    m_summary->setText(empty ? QStringLiteral("No text found")
                             : QStringLiteral("%1 text blocks").arg(m_result.lines.size()));
    auto *hint = new QLabel(QStringLiteral("Select any part, or copy everything."), this);
    hint->setFont(sized(font(), 11));
    hint->setVisible(!empty);
    QPalette hintPalette = hint->palette();
    hintPalette.setColor(QPalette::WindowText, secondaryText(palette()));
    hint->setPalette(hintPalette);
    auto *titles = new QVBoxLayout;
    titles->setSpacing(3);
    titles->addStretch(1);
    titles->addWidget(m_summary);
    titles->addWidget(hint);
    titles->addStretch(1);

    m_copy->setFont(sized(font(), 12, QFont::DemiBold));
    m_copy->setCursor(Qt::PointingHandCursor);
    m_copy->setEnabled(!empty);
    const QColor accent = Theme::accent();
    m_copy->setStyleSheet(
        QStringLiteral("QPushButton { color: white; background: %1; border: none;"
                       " border-radius: 13px; padding: 6px 12px; min-height: 14px; }"
                       "QPushButton:hover { background: %2; }"
                       "QPushButton:pressed { background: %3; }"
                       "QPushButton:disabled { color: rgba(255,255,255,110); background: %4; }")
            .arg(accent.name(), accent.lighter(112).name(), accent.darker(115).name(),
                 Theme::mix(palette().color(QPalette::Window), accent, 0.35).name()));
    connect(m_copy, &QPushButton::clicked, this, &OCRWindow::copyAll);
    setCopyFlash(false);

    auto *header = new QHBoxLayout;
    header->setContentsMargins(14, 14, 14, 14);
    header->setSpacing(10);
    header->addWidget(picture, 0, Qt::AlignVCenter);
    header->addLayout(titles);
    header->addStretch(1);
    header->addWidget(m_copy, 0, Qt::AlignVCenter);

    auto *divider = new QWidget(this);
    divider->setFixedHeight(1);
    divider->setAutoFillBackground(true);
    QPalette dividerPalette = divider->palette();
    dividerPalette.setColor(QPalette::Window, Theme::mix(palette().color(QPalette::Window),
                                                         palette().color(QPalette::Mid), 0.4));
    divider->setPalette(dividerPalette);

    // Read-only but selectable; the placeholder speaks for an empty result.
    m_text->setReadOnly(true);
    m_text->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    m_text->setFrameShape(QFrame::NoFrame);
    m_text->setFont(sized(font(), 13));
    m_text->verticalScrollBar()->setStyleSheet(Theme::thinScrollBarStyle());
    m_text->document()->setDocumentMargin(16);
    m_text->setPlainText(m_result.text());
    m_text->setPlaceholderText(QStringLiteral("Zorv couldn't find any text in this capture."));
    QPalette textPalette = m_text->palette();
    textPalette.setColor(QPalette::Base, Theme::mix(palette().color(QPalette::Window),
                                                    palette().color(QPalette::Base), 0.5));
    textPalette.setColor(QPalette::PlaceholderText, secondaryText(palette()));
    m_text->setPalette(textPalette);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addLayout(header);
    layout->addWidget(divider);
    layout->addWidget(m_text, 1);
}

void OCRWindow::copyAll()
{
    Platform::shared().clipboard().setText(m_result.text());
    setCopyFlash(true);
    // Every press schedules its own reset; the first one ends the flash.
    QTimer::singleShot(copyFlashMs, this, [this] { setCopyFlash(false); });
}

void OCRWindow::setCopyFlash(bool on)
{
    m_copyFlash = on;
    m_copy->setText(on ? QStringLiteral("Copied") : QStringLiteral("Copy All"));
    m_copy->setIcon(
        Symbols::icon(on ? QStringLiteral("checkmark") : QStringLiteral("doc.on.doc"), Qt::white));
}

OCRWindow *OCRWindowController::present(const OCRResult &result, const QImage &image)
{
    if (s_current)
        s_current->close();
    auto *window = new OCRWindow(result, image);
    window->setAttribute(Qt::WA_DeleteOnClose);
    s_current = window;
    centreOnPrimaryScreen(window);
    window->show();
    window->raise();
    window->activateWindow();
    return window;
}

OCRWindow *OCRWindowController::current()
{
    return s_current.data();
}

} // namespace zorv
