#pragma once

#include "capture/ScreenCaptureService.h"
#include "capture/overlay/SelectionOverlayTypes.h"
#include "common/CaptureAction.h"
#include "common/CaptureKind.h"
#include "common/CaptureTypes.h"
#include "settings/Options.h"

#include <QDateTime>
#include <QImage>
#include <QObject>
#include <QRectF>
#include <QUrl>
#include <functional>
#include <optional>

namespace zorv
{

class AppSettings;
class HistoryStore;
class Platform;
struct HistoryItem;

// Everything the coordinator works with, injectable for tests.
struct CoordinatorServices {
    Platform *platform = nullptr;
    AppSettings *settings = nullptr;
    HistoryStore *history = nullptr;
    std::function<void(const QString &message, const QString &symbol, double seconds)> toast;
    std::function<void()> beep;
    std::function<QDateTime()> now;
    // The selection overlay and pins, replaceable so that tests need no windows.
    std::function<void(SelectionMode, bool windowMode,
                       std::function<void(std::optional<SelectionOutcome>)>)>
        selectArea;
    std::function<void(const QImage &)> pin;

    static CoordinatorServices standard();
};

// Turns every capture command into a capture and runs every still image
// through one pipeline: clipboard, sound, name, encoding (off the GUI thread),
// history copy, automatic save.
class CaptureCoordinator : public QObject
{
    Q_OBJECT
  public:
    static constexpr double toastSeconds = 1.9;

    static CaptureCoordinator &shared();
    explicit CaptureCoordinator(CoordinatorServices services, QObject *parent = nullptr);

    // The actions this build can carry out; the others are refused, not faked.
    static bool isAvailable(CaptureAction action);
    static QList<CaptureAction> availableActions();

    void perform(CaptureAction action);
    void captureArea();
    void captureWindow();
    void captureFullScreen();
    void pinLast();
    void deliver(const QImage &image, CaptureKind kind);

    std::optional<QUrl> lastCaptureURL() const { return m_lastCaptureURL; }
    std::optional<QRectF> lastArea() const { return m_lastArea; }

  Q_SIGNALS:
    // The end of one delivery (after the history copy and the automatic save).
    void deliveryFinished(const QString &historyPath);

  private:
    bool passPermissionGate();
    void selectAndCapture(bool windowMode);
    void capture(const QRectF &rect, CaptureKind kind);
    void capture(const WindowInfo &info);
    void finishDelivery(const QImage &image, CaptureKind kind, const QString &fileName,
                        const std::optional<QByteArray> &data);
    void showError(const QString &description);

    CoordinatorServices m_services;
    ScreenCaptureService m_capture;
    std::optional<QUrl> m_lastCaptureURL;
    std::optional<QRectF> m_lastArea;
};

} // namespace zorv
