#pragma once

#include <QFontMetricsF>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <QWidget>
#include <functional>
#include <optional>

class QPushButton;

namespace zorv
{

// How a message fits a toast: up to `maxLines` lines of at most `maxWidth`,
// wrapped at spaces where it can be; what does not fit is cut from the middle,
// so that both the start (what failed) and the end (why) stay readable.
struct ToastText {
    QStringList lines;
    qreal width = 0; // of the widest line
};
ToastText layOutToastText(const QString &message, const QFontMetricsF &metrics, qreal maxWidth,
                          int maxLines);

// A toast that follows a long task: a bar that fills and a Cancel button.
struct ToastProgress {
    double fraction = 0; // 0…1
    std::function<void()> cancel;
};

// The pill inside a toast: a symbol and a line or a few of text on a dark
// rounded background; with progress, also a bar and a Cancel button.
class ToastView : public QWidget
{
    Q_OBJECT
  public:
    static constexpr int maxTextWidth = 560;
    static constexpr int maxLines = 3;

    ToastView(QString message, QString symbol, bool translucent,
              std::optional<ToastProgress> progress = std::nullopt);
    QSize sizeHint() const override;
    QString message() const { return m_message; }
    const QStringList &lines() const { return m_text.lines; }
    bool showsProgress() const { return m_progress.has_value(); }
    double fraction() const { return m_progress ? m_progress->fraction : 0; }
    QPushButton *cancelButton() const { return m_cancelButton; }
    // A progress toast's new text and fraction; it grows but never shrinks,
    // so that the pill does not jitter as the figures change.
    void setProgress(const QString &message, double fraction);
    // The pill's outline in widget coordinates (also the window's shape
    // when no compositor makes the corners see-through).
    QPainterPath pillPath() const;

  protected:
    void paintEvent(QPaintEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

  private:
    void layOut();
    void cancel();

    QString m_message;
    QString m_symbol;
    bool m_translucent;
    ToastText m_text;
    std::optional<ToastProgress> m_progress;
    QPushButton *m_cancelButton = nullptr;
    int m_width = 0;
};

class WindowSystem;

// The one transient on-screen message. A new toast replaces a visible one at
// once; a toast never takes focus and lets clicks through.
class Toast
{
  public:
    // The application's toasts, on the platform's window system.
    static Toast &shared();
    explicit Toast(WindowSystem &windowSystem);
    ~Toast();
    Toast(const Toast &) = delete;
    Toast &operator=(const Toast &) = delete;

    void show(const QString &message, const QString &symbol, double seconds);
    // A toast that stays until closed, with a bar at `fraction` and a Cancel
    // button calling `cancel` (once). Shown again while it is up, it updates in
    // place; any other toast replaces it.
    void showProgress(const QString &message, const QString &symbol, double fraction,
                      std::function<void()> cancel);
    // Closes the progress toast, if that is the one on screen.
    void closeProgress();
    // The toast on screen, if any (for tests).
    ToastView *current() const { return m_slot.data(); }
    // Distance of the pill from the top of the main screen.
    static constexpr int topMargin = 70;

  private:
    void present(ToastView *view);
    void dismiss(ToastView *view);

    WindowSystem &m_windowSystem;
    QPointer<ToastView> m_slot;
    // Context of the timers and fades that call back into this object: they
    // end with it.
    QObject m_callbacks;
};

} // namespace zorv
