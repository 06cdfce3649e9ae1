#include "editor/ui/EditorWindowController.h"

#include "common/Log.h"
#include "editor/EditorModel.h"
#include "editor/ui/EditorSaveJob.h"
#include "editor/ui/EditorWindow.h"
#include "editor/ui/EditorWindowSize.h"
#include "output/FileWriter.h"
#include "output/OutputService.h"
#include "platform/Platform.h"
#include "settings/AppSettings.h"

#include <QDir>
#include <QFileInfo>
#include <QFuture>
#include <QGuiApplication>
#include <QScreen>
#include <QtConcurrent/QtConcurrentRun>

namespace zorv
{

namespace
{
constexpr double toastSeconds = 1.9;
const QString doneSymbol = QStringLiteral("checkmark.circle.fill");
const QString warningSymbol = QStringLiteral("exclamationmark.triangle.fill");

QList<EditorWindowController *> &editors()
{
    static QList<EditorWindowController *> list;
    return list;
}

QString saveFailureText(const FileError &error)
{
    return QStringLiteral("Couldn't save: ") + error.description();
}
} // namespace

EditorWindowController *EditorWindowController::open(const QImage &image, CaptureKind kind,
                                                     std::optional<QString> fileName,
                                                     std::optional<QUuid> historyItemID,
                                                     AppSettings &settings, EditorActions actions)
{
    if (image.isNull())
        return nullptr;
    auto *controller = new EditorWindowController(image, kind, std::move(fileName), historyItemID,
                                                  settings, std::move(actions));
    controller->present();
    return controller;
}

const QList<EditorWindowController *> &EditorWindowController::openEditors()
{
    return editors();
}

EditorWindowController::EditorWindowController(const QImage &image, CaptureKind kind,
                                               std::optional<QString> fileName,
                                               std::optional<QUuid> historyItemID,
                                               AppSettings &settings, EditorActions actions)
    : m_settings(settings), m_actions(std::move(actions)), m_historyItemID(historyItemID),
      m_model(new EditorModel(image, kind, std::move(fileName), settings, this))
{
    EditorWindow::Availability availability;
    availability.extractText = bool(m_actions.extractText);
    availability.upload = bool(m_actions.upload);
    m_window = std::make_unique<EditorWindow>(*m_model, settings, availability);
    EditorWindow *window = m_window.get();
    connect(window, &EditorWindow::saveRequested, this, &EditorWindowController::save);
    connect(window, &EditorWindow::saveAsRequested, this, &EditorWindowController::saveAs);
    connect(window, &EditorWindow::copyRequested, this, &EditorWindowController::copy);
    connect(window, &EditorWindow::pinRequested, this, &EditorWindowController::pin);
    connect(window, &EditorWindow::revealRequested, this, &EditorWindowController::reveal);
    connect(window, &EditorWindow::extractTextRequested, this,
            &EditorWindowController::extractText);
    connect(window, &EditorWindow::uploadRequested, this, &EditorWindowController::upload);
    connect(window, &EditorWindow::closed, this, &EditorWindowController::closed);
}

EditorWindowController::~EditorWindowController()
{
    editors().removeAll(this);
    // The window refers to the model, so it goes first.
    m_window.reset();
}

EditorModel &EditorWindowController::model()
{
    return *m_model;
}

QWidget *EditorWindowController::window() const
{
    return m_window.get();
}

void EditorWindowController::present()
{
    if (QScreen *screen = Platform::shared().windowSystem().pointerScreen()) {
        // The geometry set here is the content's; the window manager's title
        // bar goes above it and must stay on the screen, or the window
        // cannot be moved. Its height is unknown until the window is shown.
        constexpr int decorationAllowance = 32;
        QRect available = screen->availableGeometry();
        if (available.height() > 2 * decorationAllowance)
            available.setTop(available.top() + decorationAllowance);
        const QSize minimum = QSize(1000, 640).boundedTo(available.size());
        m_window->setMinimumSize(minimum);
        m_window->setGeometry(editorWindowSize::placement(
            editorWindowSize::contentSize(m_model->image().size()), minimum, available));
    }
    m_window->show();
    m_window->raise();
    m_window->activateWindow();
    m_window->focusCanvas();
    if (!editors().contains(this))
        editors().append(this);
}

void EditorWindowController::closed()
{
    editors().removeAll(this);
    m_closed = true;
    // A save still running, and one queued behind it, keep the controller
    // until they have reported.
    if (!m_saving)
        deleteLater();
}

QImage EditorWindowController::exportImage()
{
    m_window->commitTextEditing();
    return m_model->flattenedImage();
}

void EditorWindowController::toast(const QString &message, const QString &symbol) const
{
    if (m_actions.toast)
        m_actions.toast(message, symbol, toastSeconds);
}

void EditorWindowController::save()
{
    if (m_saving) {
        // Pressed again while a save runs: save once more afterwards, with
        // whatever changed meanwhile.
        m_saveQueued = true;
        return;
    }
    startSave();
}

void EditorWindowController::startSave()
{
    EditorSaveJob job;
    job.image = exportImage();
    if (job.image.isNull()) {
        // The model holds an image, so only memory for the flattened copy
        // was missing: say so rather than seem to save.
        toast(QStringLiteral("Couldn't save: there is not enough memory to export the image."),
              warningSymbol);
        Q_EMIT saveFinished(false);
        if (m_closed)
            deleteLater();
        return;
    }
    job.directory = OutputService::expandTilde(m_settings.saveDirectoryPath());
    job.fileName = m_model->fileName();
    job.format = m_settings.imageFormat();
    job.quality = m_settings.jpegQuality();
    if (const std::optional<QUrl> last = m_model->lastSavedURL())
        job.lastSavedPath = last->toLocalFile();
    const bool copyToClipboard = m_settings.copyToClipboard();
    const bool playSound = m_settings.playSound();

    m_saving = true;
    QtConcurrent::run([job] { return job.run(); })
        .then(this, [this, image = job.image, copyToClipboard,
                     playSound](const FileResult<QString> &result) {
            m_saving = false;
            if (result) {
                finishSave(result.value(), image, copyToClipboard, playSound);
            } else {
                // The document stays as it was: nothing claims a save.
                logLine(QStringLiteral("editor save failed: ") + result.error().description());
                toast(saveFailureText(result.error()), warningSymbol);
                Q_EMIT saveFinished(false);
            }
            // A Save pressed before the window closed is still carried out.
            if (std::exchange(m_saveQueued, false))
                startSave();
            else if (m_closed)
                deleteLater();
        });
}

void EditorWindowController::finishSave(const QString &path, const QImage &image,
                                        bool copyToClipboard, bool playSound)
{
    if (copyToClipboard && m_actions.copy)
        m_actions.copy(image);
    m_model->setLastSavedURL(QUrl::fromLocalFile(path));
    m_model->setSaveCount(m_model->saveCount() + 1);
    toast(QStringLiteral("Saved to ") + QFileInfo(path).dir().dirName(), doneSymbol);
    if (playSound && m_actions.playSaveSound)
        m_actions.playSaveSound();
    Q_EMIT saveFinished(true);
}

void EditorWindowController::saveAs()
{
    const QImage image = exportImage();
    if (image.isNull() || !m_actions.saveWithPanel)
        return;
    QPointer<EditorWindowController> self(this);
    m_actions.saveWithPanel(image, m_model->fileName(), [self](std::optional<QString> path) {
        // Cancelled, or the writer already said it failed.
        if (!self || !path)
            return;
        self->m_model->setLastSavedURL(QUrl::fromLocalFile(*path));
        self->m_model->setSaveCount(self->m_model->saveCount() + 1);
        self->toast(QStringLiteral("Saved ") + QFileInfo(*path).fileName(), doneSymbol);
        Q_EMIT self->saveFinished(true);
    });
}

void EditorWindowController::copy()
{
    const QImage image = exportImage();
    if (image.isNull() || !m_actions.copy)
        return;
    m_actions.copy(image);
    toast(QStringLiteral("Copied to Clipboard"), QStringLiteral("doc.on.doc.fill"));
}

void EditorWindowController::pin()
{
    const QImage image = exportImage();
    if (image.isNull() || !m_actions.pin)
        return;
    m_actions.pin(image);
}

void EditorWindowController::reveal()
{
    // The file check and the folder's creation touch the disk, which may be
    // slow (a network folder): they run off the GUI thread.
    struct Target {
        QString file; // the saved file, when it still exists
        QString folder;
        std::optional<FileError> error;
    };
    std::optional<QString> last;
    if (const std::optional<QUrl> url = m_model->lastSavedURL())
        last = url->toLocalFile();
    const QString folder = OutputService::expandTilde(m_settings.saveDirectoryPath());
    QtConcurrent::run([last, folder] {
        // A saved file deleted since cannot be shown selected: the save folder
        // opens instead, as before the first save.
        if (last && QFileInfo::exists(*last))
            return Target{*last, {}, {}};
        return Target{{}, folder, FileWriter::ensureDirectory(folder)};
    }).then(this, [this](const Target &target) {
        if (!target.file.isEmpty()) {
            if (m_actions.reveal)
                m_actions.reveal(target.file);
        } else if (target.error) {
            toast(QStringLiteral("Couldn't open the save folder: ") + target.error->description(),
                  warningSymbol);
        } else if (m_actions.openFolder) {
            m_actions.openFolder(target.folder);
        }
    });
}

void EditorWindowController::extractText()
{
    if (!m_actions.extractText)
        return;
    const QImage image = exportImage();
    if (image.isNull())
        return;
    toast(QStringLiteral("Recognizing Text…"), QStringLiteral("text.viewfinder"));
    m_actions.extractText(image, m_historyItemID);
}

void EditorWindowController::upload()
{
    if (!m_actions.upload)
        return;
    const QImage image = exportImage();
    if (image.isNull())
        return;
    m_actions.upload(image);
}

} // namespace zorv
