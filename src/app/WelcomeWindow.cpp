#include "app/WelcomeWindow.h"

#include "app/FocusRing.h"
#include "settings/AppSettings.h"
#include "theme/WindowPlacement.h"

#include <QCloseEvent>
#include <QFrame>
#include <QGridLayout>
#include <QGuiApplication>
#include <QLabel>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

namespace zorv
{

namespace
{
QLabel *text(const QString &content, double scale = 1.0, bool bold = false)
{
    auto *label = new QLabel(content);
    label->setWordWrap(true);
    QFont font = label->font();
    font.setPointSizeF(font.pointSizeF() * scale);
    font.setBold(bold);
    label->setFont(font);
    return label;
}
} // namespace

WelcomeWindow::WelcomeWindow(WelcomeServices services, QWidget *parent)
    : QWidget(parent, Qt::Window), m_services(std::move(services))
{
    setWindowTitle(QStringLiteral("Welcome to Zorv"));
    setAttribute(Qt::WA_DeleteOnClose);
    setFixedSize(560, 520);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(28, 28, 28, 28);
    layout->setSpacing(20);

    auto *header = new QVBoxLayout;
    header->addWidget(text(QStringLiteral("Welcome to Zorv"), 2.0, true));
    header->addWidget(text(QStringLiteral("Zorv lives in your system tray — the viewfinder "
                                          "icon.")));
    layout->addLayout(header);

    auto *shortcuts = new QVBoxLayout;
    shortcuts->addWidget(text(QStringLiteral("SHORTCUTS"), 0.85, true));
    auto *grid = new QGridLayout;
    // The defaults, as a fixed list: what a new user's keys do.
    const std::pair<const char *, const char *> rows[] = {
        {"Capture Area", "Ctrl+Shift+4"}, {"Capture Window", "Ctrl+Shift+5"},
        {"Full Screen", "Ctrl+Shift+3"},  {"Record Screen", "Ctrl+Shift+7"},
        {"Record GIF", "Ctrl+Shift+8"},   {"Capture Text", "Ctrl+Shift+9"},
    };
    int row = 0;
    for (const auto &[action, keys] : rows) {
        grid->addWidget(text(QString::fromUtf8(action)), row, 0);
        auto *combo = text(QString::fromUtf8(keys), 0.95);
        combo->setFrameShape(QFrame::StyledPanel);
        combo->setContentsMargins(6, 1, 6, 1);
        grid->addWidget(combo, row, 1, Qt::AlignLeft);
        ++row;
    }
    shortcuts->addLayout(grid);
    layout->addLayout(shortcuts);

    layout->addWidget(text(QStringLiteral("Every capture lands in the quick-access overlay, "
                                          "where you can annotate, pin, OCR, or share it. "
                                          "Settings › Shortcuts lets you rebind everything."),
                           0.95));

    auto *card = new QFrame;
    card->setFrameShape(QFrame::StyledPanel);
    auto *cardLayout = new QVBoxLayout(card);
    const bool granted = m_services.screenCaptureGranted && m_services.screenCaptureGranted();
    QLabel *first = text(granted ? QStringLiteral("✔ Screen Recording is enabled")
                                 : QStringLiteral("⚠ Screen capture is not available"),
                         1.0, true);
    QLabel *second = text(
        granted ? QStringLiteral("You're ready to capture.") : m_services.unavailableReason, 0.95);
    first->setObjectName(QStringLiteral("permissionTitle"));
    cardLayout->addWidget(first);
    cardLayout->addWidget(second);
    layout->addWidget(card);
    layout->addStretch(1);

    auto *buttons = new QHBoxLayout;
    auto *settingsButton = new QPushButton(QStringLiteral("Open Settings"));
    settingsButton->setFlat(true);
    settingsButton->setEnabled(bool(m_services.openSettings));
    if (!m_services.openSettings)
        settingsButton->setToolTip(QStringLiteral("The settings window is not available."));
    auto *start = new QPushButton(QStringLiteral("Start Capturing"));
    start->setDefault(true);
    buttons->addWidget(settingsButton);
    buttons->addStretch(1);
    buttons->addWidget(start);
    layout->addLayout(buttons);
    start->setFocus();
    new FocusRing(this);

    connect(settingsButton, &QPushButton::clicked, this, [this] {
        m_services.openSettings();
        close();
    });
    connect(start, &QPushButton::clicked, this, &QWidget::close);
}

void WelcomeWindow::closeEvent(QCloseEvent *event)
{
    if (!m_services.settings->hasSeenWelcome())
        m_services.settings->hasSeenWelcome.set(true);
    QWidget::closeEvent(event);
}

void WelcomeWindow::presentAtStart(WelcomeServices services)
{
    if (services.settings->hasSeenWelcome())
        return;
    QTimer::singleShot(delayMs, qApp, [services] {
        auto *window = new WelcomeWindow(services);
        centreOnPrimaryScreen(window);
        window->show();
        window->raise();
        window->activateWindow();
    });
}

} // namespace zorv
