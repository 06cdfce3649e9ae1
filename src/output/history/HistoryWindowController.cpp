#include "output/history/HistoryWindowController.h"

#include "common/PlatformTexts.h"
#include "common/WhenReady.h"
#include "output/history/HistoryGridModel.h"
#include "output/history/HistoryStore.h"
#include "output/history/HistoryView.h"
#include "output/history/HistoryWindow.h"
#include "output/history/Thumbnailer.h"
#include "theme/WindowPlacement.h"

#include <QGuiApplication>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <QtConcurrent/QtConcurrentRun>

namespace zorv
{

namespace
{
constexpr double copyToastSeconds = 1.9;
constexpr int releaseDelayMs = 1000;
} // namespace

HistoryWindowController::HistoryWindowController(HistoryStore &store, HistoryActions actions,
                                                 QObject *parent)
    : QObject(parent), m_store(store), m_actions(std::move(actions)),
      m_view(std::make_unique<HistoryView>(store))
{
}

HistoryWindowController::~HistoryWindowController() = default;

void HistoryWindowController::show()
{
    if (!m_window) {
        m_window = std::make_unique<HistoryWindow>(*m_view);
        connect(m_window.get(), &HistoryWindow::openRequested, this,
                [this](const HistoryItem &item) {
                    if (m_actions.open)
                        m_actions.open(item);
                });
        connect(m_window.get(), &HistoryWindow::menuRequested, this,
                [this](const HistoryItem &item, const QPoint &globalPos) {
                    QMenu *menu = makeMenu(item, m_window.get());
                    menu->setAttribute(Qt::WA_DeleteOnClose);
                    menu->popup(globalPos);
                });
        connect(m_window.get(), &HistoryWindow::clearAllRequested, this,
                &HistoryWindowController::confirmClearAll);
        connect(m_window.get(), &HistoryWindow::closed, this,
                &HistoryWindowController::windowClosed);
        centreOnPrimaryScreen(m_window.get());
    }
    m_window->showNormal();
    m_window->raise();
    m_window->activateWindow();
}

QMenu *HistoryWindowController::makeMenu(const HistoryItem &item, QWidget *parent)
{
    auto *menu = new QMenu(parent);
    menu->setToolTipsVisible(true);
    menu->addAction(QStringLiteral("Open"), this, [this, item] {
        if (m_actions.open)
            m_actions.open(item);
    });
    menu->addAction(QStringLiteral("Copy"), this, [this, item] { copy(item); });
    QAction *pinAction = menu->addAction(QStringLiteral("Pin"), this, [this, item] { pin(item); });
    if (!m_actions.pin) {
        pinAction->setEnabled(false);
        pinAction->setToolTip(QStringLiteral("Pinning is not available here."));
    }
    QAction *ocr =
        menu->addAction(QStringLiteral("Extract Text"), this, [this, item] { extractText(item); });
    if (!m_actions.extractText) {
        ocr->setEnabled(false);
        ocr->setToolTip(QStringLiteral("Text recognition is not available in this version."));
    }
    menu->addSeparator();
    menu->addAction(PlatformTexts::revealInFileManager(), this, [this, item] {
        if (m_actions.reveal)
            m_actions.reveal(item.filePath);
    });
    menu->addAction(QStringLiteral("Copy Path"), this, [this, item] {
        if (m_actions.copyText)
            m_actions.copyText(item.filePath);
    });
    menu->addSeparator();
    menu->addAction(QStringLiteral("Delete"), this, [this, item] { m_store.remove(item); });
    return menu;
}

void HistoryWindowController::withImage(const HistoryItem &item,
                                        std::function<void(const QImage &)> use)
{
    // A recording's file is a video: it yields no picture.
    if (item.kind == CaptureKind::recording)
        return;
    whenReady(QtConcurrent::run(&readImage, item.filePath), this,
              [use = std::move(use)](const std::optional<QImage> &image) {
                  if (image)
                      use(*image);
              });
}

void HistoryWindowController::copy(const HistoryItem &item)
{
    withImage(item, [this](const QImage &image) {
        if (m_actions.copyImage)
            m_actions.copyImage(image);
        if (m_actions.toast)
            m_actions.toast(QStringLiteral("Copied to Clipboard"),
                            QStringLiteral("doc.on.doc.fill"), copyToastSeconds);
    });
}

void HistoryWindowController::pin(const HistoryItem &item)
{
    if (m_actions.pin)
        withImage(item, m_actions.pin);
}

void HistoryWindowController::extractText(const HistoryItem &item)
{
    if (m_actions.extractText)
        withImage(item, m_actions.extractText);
}

QMessageBox *HistoryWindowController::confirmClearAll()
{
    // Window-modal and answered through a signal: no nested event loop.
    auto *box = new QMessageBox(m_window.get());
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setIcon(QMessageBox::Warning);
    box->setWindowModality(Qt::WindowModal);
    box->setText(QStringLiteral("Delete all capture history?"));
    box->setInformativeText(
        QStringLiteral("This removes the stored copies. Files you saved elsewhere are kept."));
    QPushButton *remove = box->addButton(QStringLiteral("Delete"), QMessageBox::DestructiveRole);
    box->addButton(QMessageBox::Cancel);
    box->setDefaultButton(remove);
    connect(box, &QMessageBox::buttonClicked, this, [this, remove](QAbstractButton *button) {
        if (button == remove)
            m_store.removeAll();
    });
    box->open();
    return box;
}

void HistoryWindowController::windowClosed()
{
    // The grid dropped its thumbnails when it was hidden; the store keeps only
    // those of other sizes (the panel's recent captures).
    m_store.dropThumbnails(HistoryGridModel::thumbnailPixels);
    // Thumbnails still being decoded at closing land in the store afterwards:
    // drop those too, then give the freed memory back.
    QTimer::singleShot(releaseDelayMs, this, [this] {
        if (!m_window || m_window->isVisible())
            return;
        m_store.dropThumbnails(HistoryGridModel::thumbnailPixels);
        if (m_actions.releaseMemory)
            m_actions.releaseMemory();
    });
}

} // namespace zorv
