#include "capture/scrolling/ScrollingCaptureController.h"

#include "capture/scrolling/ScrollFingerprint.h"
#include "capture/scrolling/ScrollingHUD.h"

#include <QCoreApplication>
#include <QLocale>
#include <QtConcurrent/QtConcurrentRun>
#include <algorithm>
#include <utility>

namespace zorv
{

namespace
{
const QString scrollSymbol = QStringLiteral("scroll");
const QString warningSymbol = QStringLiteral("exclamationmark.triangle.fill");
constexpr int heightCapRows = 24000;

using StitchOutcome = Expected<ScrollStitcher::Result, ScrollStitcher::StitchError>;
} // namespace

ScrollingCaptureController::ScrollingCaptureController(ScrollingCaptureServices services,
                                                       QObject *parent)
    : QObject(parent), m_services(std::move(services))
{
    m_notice.setSingleShot(true);
    connect(&m_notice, &QTimer::timeout, this,
            [this] { toast(std::exchange(m_pendingNotice, {}), warningSymbol, warningSeconds); });
    // Quitting mid-capture: the keys go back while the platform that holds them still exists.
    if (QCoreApplication *app = QCoreApplication::instance()) {
        connect(app, &QCoreApplication::aboutToQuit, this, [this] {
            if (!m_capturing)
                return;
            stop();
            m_frames.clear();
            end(std::exchange(m_ended, {}), {ScrollingEnd::Status::cancelled, {}, {}});
        });
    }
}

ScrollingCaptureController::~ScrollingCaptureController()
{
    if (m_stopTimer)
        m_stopTimer();
    delete m_hud.data();
}

int ScrollingCaptureController::maxFramesFor(qint64 bytes)
{
    if (bytes <= 0)
        return 120;
    return int(std::clamp<qint64>(frameBudgetBytes / bytes, 8, 120));
}

std::optional<QString>
ScrollingCaptureController::shortfallNotice(const ScrollStitcher::Result &result)
{
    QStringList parts;
    if (result.lostAtEndCount == 1)
        parts.append(QStringLiteral("1 grab could not be joined: the page goes on past the "
                                    "image's end."));
    else if (result.lostAtEndCount > 1)
        parts.append(QStringLiteral("%1 grabs could not be joined: the page goes on past the "
                                    "image's end.")
                         .arg(result.lostAtEndCount));
    if (result.reachedHeightCap)
        parts.append(QStringLiteral("The page was cut at %1 rows.")
                         .arg(QLocale(QLocale::English).toString(heightCapRows)));
    if (parts.isEmpty())
        return std::nullopt;
    return parts.join(QLatin1Char(' '));
}

bool ScrollingCaptureController::capture(const QRectF &rect, Ended ended)
{
    if (m_capturing)
        return false;
    ++m_generation;
    m_capturing = true;
    m_grabbing = false; // a grab of an earlier capture still out is dropped on arrival
    m_rect = rect;
    m_ended = std::move(ended);
    m_frames.clear();
    m_lastFingerprint.reset();
    m_maxFrames = initialMaxFrames;
    m_notice.stop(); // an earlier capture's warning would cover this one's hint

    if (m_services.windowSystem) {
        QPointer<ScrollingCaptureController> self(this);
        auto *hud = new ScrollingHUD(
            *m_services.windowSystem, m_services.hotKeys,
            [self] {
                if (self)
                    self->finish();
            },
            [self] {
                if (self)
                    self->cancel();
            });
        m_hud = hud;
        hud->present(rect);
    }
    toast(QStringLiteral("Scroll the content, then press Done"), scrollSymbol, 3.0);

    auto tick = [self = QPointer<ScrollingCaptureController>(this)] {
        if (self)
            self->grabFrame();
    };
    if (m_services.startTimer) {
        m_stopTimer = m_services.startTimer(grabIntervalMs, tick);
    } else {
        auto *timer = new QTimer(this);
        timer->setInterval(grabIntervalMs);
        connect(timer, &QTimer::timeout, this, tick);
        timer->start();
        m_stopTimer = [timer] { delete timer; };
    }
    grabFrame();
    return true;
}

void ScrollingCaptureController::grabFrame()
{
    if (!m_capturing || m_grabbing)
        return; // ticks while a grab is out are dropped
    m_grabbing = true;
    const quint64 generation = m_generation;
    QPointer<ScrollingCaptureController> self(this);
    m_services.grab(m_rect, [self, generation](const CaptureResult &result) {
        if (self)
            self->grabbed(result, generation);
    });
}

void ScrollingCaptureController::grabbed(const CaptureResult &result, quint64 generation)
{
    if (generation != m_generation)
        return; // from a capture that has ended; a newer one may be running
    m_grabbing = false;
    if (!m_capturing || !result)
        return; // ended meanwhile, or a failed grab: the next tick tries again
    const QImage &image = result.value();
    if (m_frames.isEmpty())
        m_maxFrames = maxFramesFor(qint64(image.bytesPerLine()) * image.height());
    QByteArray fingerprint = ScrollFingerprint::of(image);
    if (m_lastFingerprint && *m_lastFingerprint == fingerprint)
        return; // the content has not moved
    m_lastFingerprint = std::move(fingerprint);
    m_frames.append(image);
    if (m_hud)
        m_hud->setCount(int(m_frames.size()));
    if (m_frames.size() >= m_maxFrames)
        finish();
}

void ScrollingCaptureController::stop()
{
    m_capturing = false;
    if (m_stopTimer)
        std::exchange(m_stopTimer, {})();
    // Later: Done and cancel arrive from the panel's own handlers.
    if (ScrollingHUD *hud = m_hud.data()) {
        m_hud = nullptr;
        hud->releaseKeys(); // at once: the user's next Return belongs to the page again
        hud->hide();
        hud->deleteLater();
    }
}

void ScrollingCaptureController::finish()
{
    if (!m_capturing)
        return;
    const bool atLimit = m_frames.size() >= m_maxFrames;
    stop();
    QList<QImage> frames = std::exchange(m_frames, {});
    std::optional<QByteArray> lastFingerprint = std::exchange(m_lastFingerprint, std::nullopt);
    Ended ended = std::exchange(m_ended, {});
    if (atLimit || frames.isEmpty()) {
        stitch(std::move(frames), ended);
        return;
    }
    // Done pressed right after a scroll: what moved in since the last tick
    // would be missing from the page's end, so the region is grabbed once more.
    ++m_generation; // a tick's grab still out is dropped on arrival
    QPointer<ScrollingCaptureController> self(this);
    m_services.grab(m_rect,
                    [self, frames = std::move(frames), lastFingerprint = std::move(lastFingerprint),
                     ended](const CaptureResult &result) mutable {
                        if (!self)
                            return;
                        if (result && ScrollFingerprint::of(result.value()) != lastFingerprint)
                            frames.append(result.value());
                        self->stitch(std::move(frames), ended);
                    });
}

void ScrollingCaptureController::stitch(QList<QImage> frames, const Ended &ended)
{
    if (frames.size() < 2) {
        const QString message = QStringLiteral("Scroll further to capture more than one screen");
        toast(message, scrollSymbol, noticeSeconds);
        end(ended, {ScrollingEnd::Status::failed, {}, message});
        return;
    }
    auto stitcher = m_services.stitch;
    QtConcurrent::run([stitcher, frames = std::move(frames)] {
        // Held as optional: the future's type must have a default value.
        return std::optional<StitchOutcome>(stitcher(frames));
    }).then(this, [this, ended](const std::optional<StitchOutcome> &outcome) {
        stitched(*outcome, ended);
    });
}

void ScrollingCaptureController::stitched(const StitchOutcome &outcome, const Ended &ended)
{
    if (!outcome) {
        const QString message = outcome.error().description();
        toast(message, warningSymbol, noticeSeconds);
        end(ended, {ScrollingEnd::Status::failed, {}, message});
        return;
    }
    const ScrollStitcher::Result &result = outcome.value();
    end(ended, {ScrollingEnd::Status::stitched, result.image, {}});
    toast(QStringLiteral("Stitched %1 frames").arg(result.frameCount),
          QStringLiteral("checkmark.circle.fill"), noticeSeconds);
    // A short page must not pass for the whole one: said once the count has been read.
    if (const auto notice = shortfallNotice(result); notice && !m_capturing) {
        m_pendingNotice = *notice;
        m_notice.start(int(noticeSeconds * 1000));
    }
}

void ScrollingCaptureController::cancel()
{
    if (!m_capturing)
        return;
    stop();
    m_frames.clear();
    m_lastFingerprint.reset();
    Ended ended = std::exchange(m_ended, {});
    toast(QStringLiteral("Scrolling capture cancelled"), QStringLiteral("xmark.circle.fill"),
          noticeSeconds);
    end(ended, {ScrollingEnd::Status::cancelled, {}, {}});
}

void ScrollingCaptureController::end(const Ended &ended, ScrollingEnd how)
{
    if (ended)
        ended(how);
}

void ScrollingCaptureController::toast(const QString &message, const QString &symbol,
                                       double seconds)
{
    if (m_services.toast)
        m_services.toast(message, symbol, seconds);
}

} // namespace zorv
