#pragma once

#include <QElapsedTimer>
#include <QList>
#include <QRectF>
#include <QTimer>
#include <QWidget>
#include <functional>

class QAbstractButton;
class QLabel;

namespace zorv
{

// One screen as the recording sees it.
struct RecordingScreen {
    QRectF frame;     // global logical coordinates
    QRectF available; // the frame without panels and docks
    double scale = 1; // pixels per logical unit
};

// The small window that runs beside a recording: a red dot, the elapsed time,
// "Stop" and a discard button. It never takes the focus, so keys (Escape)
// stay with the user's application; the shortcut stops the recording.
class RecordingHUD : public QWidget
{
    Q_OBJECT
  public:
    static constexpr int hudWidth = 260;
    static constexpr int hudHeight = 46;
    static constexpr int topGap = 12;

    // "%02d:%02d" of the whole seconds in `ms` (minutes grow past 99).
    static QString elapsedText(qint64 ms);
    // Where the window goes: the top centre of the recorded screen's visible
    // area, 12 below its top. Without a compositor the window would be in the
    // video, so it moves out of `area` where it can: to the bottom centre,
    // then to the top or bottom of another screen.
    static QRect placement(const QList<RecordingScreen> &screens, const RecordingScreen &screen,
                           const QRectF &area);

    RecordingHUD(QElapsedTimer startedAt, std::function<void()> onStop,
                 std::function<void()> onCancel, bool translucent);

    QString clockText() const;
    QAbstractButton *stopButton() const { return m_stop; }
    QAbstractButton *discardButton() const { return m_discard; }

  protected:
    void paintEvent(QPaintEvent *event) override;

  private:
    void tick();

    QElapsedTimer m_startedAt;
    std::function<void()> m_onStop;
    std::function<void()> m_onCancel;
    bool m_translucent;
    QLabel *m_clock = nullptr;
    QAbstractButton *m_stop = nullptr;
    QAbstractButton *m_discard = nullptr;
    QTimer m_timer;
};

} // namespace zorv
