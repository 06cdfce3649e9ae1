#include "recording/RecordingController.h"

#include "common/Log.h"
#include "common/WhenReady.h"
#include "output/Naming.h"
#include "platform/WindowSystem.h"
#include "settings/AppSettings.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTimer>
#include <QUuid>
#include <QtConcurrent>
#include <algorithm>

namespace zorv
{

namespace
{
const QString warningSymbol = QStringLiteral("exclamationmark.triangle.fill");
const QString gifSymbol = QStringLiteral("square.stack.3d.down.right");

// Right and bottom edges belong to the next screen, as everywhere else.
bool holds(const QRectF &frame, const QPointF &point)
{
    return point.x() >= frame.left() && point.x() < frame.left() + frame.width() &&
           point.y() >= frame.top() && point.y() < frame.top() + frame.height();
}

void removeQuietly(const QString &path)
{
    if (!path.isEmpty())
        QFile::remove(path);
}
} // namespace

// One GIF being built. The converting thread writes the atomics; everything
// else is read and written on the GUI thread only.
struct RecordingController::Conversion {
    std::atomic<bool> cancel{false};
    std::atomic<int> done{0};
    std::atomic<int> total{0};
    // A progress call is on its way to the GUI thread: later frames only
    // update the figures it will read.
    std::atomic<bool> posted{false};
    std::atomic<int> percent{-1}; // last sent
    QPointer<RecordingController> owner;
    QElapsedTimer clock;
    bool shown = false; // the progress toast is up
    bool over = false;
};

RecordingController::RecordingController(RecordingServices services, QObject *parent)
    : QObject(parent), m_services(std::move(services))
{
    connect(m_services.recorder, &Recorder::systemStopped, this,
            &RecordingController::systemStopped);
    connect(m_services.recorder, &Recorder::notice, this,
            [this](const QString &text) { toast(text, warningSymbol); });
}

RecordingController::~RecordingController()
{
    for (const auto &conversion : m_conversions)
        conversion->cancel = true;
    if (m_hud)
        delete m_hud.data();
}

QString RecordingController::newOutputName()
{
    return QStringLiteral("zorv-") + QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper() +
           QStringLiteral(".mp4");
}

bool RecordingController::isOutputName(const QString &fileName)
{
    static const QRegularExpression pattern(QStringLiteral(
        "^zorv-[0-9A-F]{8}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{12}\\.mp4$"));
    return pattern.match(fileName).hasMatch();
}

std::optional<RecordingScreen> RecordingController::screenFor(const QRectF &rect) const
{
    const QList<RecordingScreen> screens = m_services.screens();
    for (const RecordingScreen &screen : screens)
        if (holds(screen.frame, rect.center()))
            return screen;
    const QPointF pointer = m_services.pointer ? m_services.pointer() : QPointF();
    for (const RecordingScreen &screen : screens)
        if (holds(screen.frame, pointer))
            return screen;
    if (!screens.isEmpty())
        return screens.first();
    return std::nullopt;
}

void RecordingController::start(const QRectF &rect, CaptureKind kind)
{
    if (m_recording || m_starting)
        return;
    const std::optional<RecordingScreen> screen = screenFor(rect);
    if (!screen) {
        toast(QStringLiteral("No display found for the selected area."), warningSymbol);
        return;
    }
    m_starting = true;

    const AppSettings &settings = *m_services.settings;
    const QString folder = temporaryDirectory();
    RecordingConfig config;
    config.rect = rect;
    config.scale = screen->scale;
    config.fps = settings.recordingFPS();
    config.codec =
        settings.recordingCodec() == RecordingCodec::hevc ? VideoCodec::hevc : VideoCodec::h264;
    config.showsCursor = settings.recordingShowsCursor();
    config.showsClicks = settings.recordingShowsClicks() && m_services.clickCapture;
    config.systemAudio = settings.recordingCapturesSystemAudio();
    config.captureMicrophone = settings.recordingCapturesMicrophone();
    config.microphoneDeviceID = settings.microphoneDeviceID().value_or(QString());
    config.outputPath = QDir(folder).filePath(newOutputName());
    m_outputPath = config.outputPath;
    m_systemAudio = config.systemAudio;

    QPointer<RecordingController> self(this);
    m_services.recorder->start(
        config, [self, config, kind, screen = *screen](const std::optional<QString> &error) {
            if (!self)
                return;
            if (error) {
                self->toast(*error, warningSymbol);
                removeQuietly(config.outputPath);
                self->m_starting = false;
                self->releaseWaiters();
                return;
            }
            self->m_kind = kind;
            self->m_pixelSize =
                QSizeF(config.scale * config.rect.width(), config.scale * config.rect.height());
            self->m_recordingRect = config.rect;
            self->m_startedAt.start();
            self->m_recording = true;
            Q_EMIT self->recordingChanged(true);
            if (self->m_services.windows)
                self->showControls(self->m_services.screens(), screen);
            self->m_starting = false;
            // Quitting was asked for while it started: finish it at once.
            if (!self->m_waiters.empty())
                self->finish(false);
        });
}

void RecordingController::showControls(const QList<RecordingScreen> &screens,
                                       const RecordingScreen &screen)
{
    // The buttons act only while the recording runs; a second click, or one
    // after the shortcut stopped it, does nothing.
    QPointer<RecordingController> self(this);
    auto *hud = new RecordingHUD(
        m_startedAt,
        [self] {
            if (self)
                self->stop();
        },
        [self] {
            if (self)
                self->cancel();
        },
        m_services.windows->compositingActive());
    hud->setGeometry(RecordingHUD::placement(screens, screen, m_recordingRect));
    hud->show();
    hud->raise();
    m_services.windows->setOnAllWorkspaces(hud->windowHandle());
    m_hud = hud;
}

void RecordingController::stop()
{
    // Finishing starts here and now: a Discard pressed before the stop has
    // completed must find the recording already over.
    if (m_recording)
        finish(false);
}

void RecordingController::cancel()
{
    if (m_recording)
        finish(true);
}

void RecordingController::systemStopped(const QString &reason)
{
    if (!m_recording)
        return;
    logLine(QStringLiteral("recording stopped: ") + reason);
    toast(QStringLiteral("Recording stopped: ") + reason, warningSymbol);
    finish(false, reason);
}

void RecordingController::finish(bool discard, const QString &stoppedBecause)
{
    const QSizeF pixelSize = m_pixelSize;
    const CaptureKind kind = m_kind;
    const QString expected = m_outputPath;
    m_recording = false;
    if (RecordingHUD *hud = m_hud.data()) {
        m_hud = nullptr;
        hud->hide();
        hud->deleteLater(); // its own button may be calling
    }
    Q_EMIT recordingChanged(false);
    ++m_finishing;

    QPointer<RecordingController> self(this);
    m_services.recorder->stop([self, discard, pixelSize, kind, expected,
                               stoppedBecause](const std::optional<QString> &path) {
        const bool keep = !discard && path && QFileInfo(*path).isFile();
        if (!keep) {
            // Whatever the recorder reports, the file named for it goes too.
            if (path)
                removeQuietly(*path);
            if (discard)
                removeQuietly(expected);
            if (self)
                self->finished();
            return;
        }
        if (!self)
            return;
        if (kind == CaptureKind::gif)
            self->convert(*path, pixelSize, stoppedBecause);
        else
            self->deliverFile(*path, CaptureKind::recording, pixelSize, stoppedBecause);
    });
}

void RecordingController::convert(const QString &video, QSizeF pixelSize,
                                  const QString &stoppedBecause)
{
    // Quitting leaves no time for a GIF: the video is kept as a recording.
    if (!m_services.makeGIF || !m_waiters.empty()) {
        deliverFile(video, CaptureKind::recording, pixelSize, stoppedBecause);
        return;
    }
    toast(QStringLiteral("Building GIF…"), gifSymbol);
    auto conversion = std::make_shared<Conversion>();
    conversion->owner = this;
    conversion->clock.start();
    m_conversions.push_back(conversion);

    const AppSettings &settings = *m_services.settings;
    auto future = QtConcurrent::run([makeGIF = m_services.makeGIF, video, fps = settings.gifFPS(),
                                     maxWidth = settings.gifMaxWidth(),
                                     folder = temporaryDirectory(), conversion] {
        const GIFEncoder::Progress progress = [conversion](int done, int total) {
            conversion->done = done;
            conversion->total = total;
            // The toast shows whole percents: a frame that changes none is not sent.
            const int percent = total > 0 ? int(qint64(done) * 100 / total) : 0;
            if (conversion->percent.exchange(percent) == percent ||
                conversion->posted.exchange(true))
                return;
            // The application outlives every conversion; the controller may not.
            QMetaObject::invokeMethod(
                QCoreApplication::instance(),
                [conversion] {
                    conversion->posted = false;
                    if (RecordingController *owner = conversion->owner.data())
                        owner->showProgress(conversion, false);
                },
                Qt::QueuedConnection);
        };
        return makeGIF(video, fps, maxWidth, folder, progress, &conversion->cancel);
    });
    QTimer::singleShot(progressAfterMs, this,
                       [this, conversion] { showProgress(conversion, true); });
    whenReady(future, this,
              [this, conversion, video, pixelSize,
               stoppedBecause](const Expected<QString, GIFFailure> &result) {
                  converted(conversion, result, video, pixelSize, stoppedBecause);
              });
}

void RecordingController::showProgress(const std::shared_ptr<Conversion> &conversion, bool due)
{
    if (conversion->over || conversion->cancel || !m_services.progressToast)
        return;
    if (!due && !conversion->shown && conversion->clock.elapsed() < progressAfterMs)
        return;
    conversion->shown = true;
    const int total = conversion->total;
    const double fraction = total > 0 ? std::clamp(double(conversion->done) / total, 0.0, 1.0) : 0;
    std::weak_ptr<Conversion> weak = conversion;
    m_services.progressToast(QStringLiteral("Building GIF… %1 %").arg(int(fraction * 100)),
                             gifSymbol, fraction, [weak] {
                                 if (const auto conversion = weak.lock())
                                     conversion->cancel = true;
                             });
}

void RecordingController::converted(const std::shared_ptr<Conversion> &conversion,
                                    const Expected<QString, GIFFailure> &result,
                                    const QString &video, QSizeF pixelSize,
                                    const QString &stoppedBecause)
{
    conversion->over = true;
    std::erase(m_conversions, conversion);
    if (conversion->shown && m_services.closeProgressToast)
        m_services.closeProgressToast();
    if (result) {
        deliverFile(result.value(), CaptureKind::gif, pixelSize, stoppedBecause, {}, video);
        return;
    }
    // Cancelled: the user chose the video, which the usual toast announces.
    QString headline;
    if (result.error().error != GIFError::cancelled) {
        logLine(QStringLiteral("GIF failed: ") + result.error().description);
        // Said when the video is filed: a toast shown now would be replaced
        // by the next one at once.
        headline = QStringLiteral("GIF failed, kept the video: ") + result.error().description;
    }
    deliverFile(video, CaptureKind::recording, pixelSize, stoppedBecause, headline);
}

void RecordingController::deliverFile(const QString &path, CaptureKind kind, QSizeF pixelSize,
                                      const QString &stoppedBecause, const QString &headline,
                                      const QString &video)
{
    const QString ext = kind == CaptureKind::gif ? QStringLiteral("gif") : QStringLiteral("mp4");
    const QString fileName =
        Naming::fileName(m_services.settings->nameTemplate(), m_services.now(), ext);
    whenReady(m_services.recordFile(path, kind, fileName, pixelSize), this,
              [this, path, kind, pixelSize, stoppedBecause, headline,
               video](const std::optional<HistoryItem> &entry) {
                  if (!entry)
                      removeQuietly(path);
                  if (!video.isEmpty()) {
                      // Until the GIF is in the history, its video is the recording.
                      if (!entry) {
                          deliverFile(video, CaptureKind::recording, pixelSize, stoppedBecause,
                                      headline);
                          return;
                      }
                      removeQuietly(video);
                  }
                  showDelivered(entry, entry ? entry->filePath : path, kind, pixelSize,
                                stoppedBecause, headline);
              });
}

void RecordingController::showDelivered(const std::optional<HistoryItem> &entry,
                                        const QString &stored, CaptureKind kind, QSizeF pixelSize,
                                        const QString &stoppedBecause, const QString &headline)
{
    if (!m_services.thumbnail) {
        present(entry, std::nullopt, kind, pixelSize, stoppedBecause, headline);
        return;
    }
    // A file that yields no picture still gets its toast and panel.
    auto future = m_services.thumbnail(stored).onFailed([] { return std::optional<QImage>(); });
    whenReady(future, this,
              [this, entry, kind, pixelSize, stoppedBecause,
               headline](const std::optional<QImage> &thumbnail) {
                  present(entry, thumbnail, kind, pixelSize, stoppedBecause, headline);
              });
}

void RecordingController::present(const std::optional<HistoryItem> &entry,
                                  const std::optional<QImage> &thumbnail, CaptureKind kind,
                                  QSizeF pixelSize, const QString &stoppedBecause,
                                  const QString &headline)
{
    const AppSettings &settings = *m_services.settings;
    if (settings.playSound() && !(m_services.playSound && m_services.playSound()) &&
        m_services.beep)
        m_services.beep();
    const bool gif = kind == CaptureKind::gif;
    const QString done = !headline.isEmpty() ? headline
                         : gif               ? QStringLiteral("GIF ready")
                                             : QStringLiteral("Recording saved");
    // This toast takes the place of the one that said why the recording
    // stopped, usually before it could be read: it carries the reason on.
    toast(stoppedBecause.isEmpty() ? done
                                   : done + QStringLiteral(" — stopped early: ") + stoppedBecause,
          headline.isEmpty() ? QStringLiteral("checkmark.circle.fill") : warningSymbol);
    if (settings.showQuickAccess() && m_services.showQuickAccess) {
        QuickAccessPayload payload;
        payload.image = thumbnail;
        payload.filePath = entry ? std::optional(entry->filePath) : std::nullopt;
        payload.kind = kind;
        payload.historyID = entry ? std::optional(entry->id) : std::nullopt;
        payload.title = gif ? QStringLiteral("GIF") : QStringLiteral("Screen Recording");
        payload.subtitle =
            QStringLiteral("%1 × %2").arg(int(pixelSize.width())).arg(int(pixelSize.height()));
        m_services.showQuickAccess(std::move(payload));
    }
    Q_EMIT delivered(entry ? entry->filePath : QString());
    finished();
}

void RecordingController::finishThen(std::function<void()> done)
{
    m_waiters.push_back(std::move(done));
    if (m_recording)
        finish(false);
    for (const auto &conversion : m_conversions)
        conversion->cancel = true;
    releaseWaiters();
}

void RecordingController::finished()
{
    --m_finishing;
    releaseWaiters();
}

void RecordingController::releaseWaiters()
{
    if (m_recording || m_starting || m_finishing > 0)
        return;
    for (const auto &done : std::exchange(m_waiters, {}))
        done();
}

void RecordingController::adoptLeftovers(recordingLeftovers::Probe probe,
                                         std::function<void()> done)
{
    const QString folder = temporaryDirectory();
    const QDateTime before = QDateTime::currentDateTime().addSecs(-2);
    auto future = QtConcurrent::run([folder, before, probe = std::move(probe)] {
        return recordingLeftovers::find(folder, before, probe);
    });
    whenReady(future, this, [this, done](const QList<RecordingLeftover> &leftovers) {
        struct Tally {
            int pending = 0;
            int kept = 0;
            int removed = 0;
        };
        auto tally = std::make_shared<Tally>();
        const auto report = [this, tally, done] {
            if (tally->pending > 0)
                return;
            if (tally->kept + tally->removed > 0)
                logLine(QStringLiteral("recordings left by a crash: %1 kept in the history, %2 "
                                       "removed")
                            .arg(tally->kept)
                            .arg(tally->removed));
            if (tally->kept > 0)
                toast(tally->kept == 1
                          ? QStringLiteral("A recording cut short was kept in the history")
                          : QStringLiteral("%1 recordings cut short were kept in the history")
                                .arg(tally->kept),
                      QStringLiteral("checkmark.circle.fill"));
            if (done)
                done();
        };
        const auto settle = [tally](const QString &path, bool kept) {
            if (kept) {
                ++tally->kept;
            } else {
                removeQuietly(path);
                ++tally->removed;
            }
        };
        ++tally->pending; // until every file is on its way
        for (const RecordingLeftover &leftover : leftovers) {
            // Another start of ours may have made this name its recording's file.
            if (leftover.path == m_outputPath && (m_recording || m_starting))
                continue;
            if (!leftover.frameSize) {
                settle(leftover.path, false);
                continue;
            }
            ++tally->pending;
            const QString name = Naming::fileName(m_services.settings->nameTemplate(),
                                                  leftover.modified, QStringLiteral("mp4"));
            whenReady(m_services.recordFile(leftover.path, CaptureKind::recording, name,
                                            QSizeF(*leftover.frameSize)),
                      this,
                      [tally, settle, report,
                       path = leftover.path](const std::optional<HistoryItem> &entry) {
                          settle(path, entry.has_value());
                          --tally->pending;
                          report();
                      });
        }
        --tally->pending;
        report();
    });
}

QString RecordingController::temporaryDirectory() const
{
    return m_services.temporaryDirectory.isEmpty() ? QDir::tempPath()
                                                   : m_services.temporaryDirectory;
}

void RecordingController::toast(const QString &message, const QString &symbol) const
{
    if (m_services.toast)
        m_services.toast(message, symbol, toastSeconds);
}

} // namespace zorv
