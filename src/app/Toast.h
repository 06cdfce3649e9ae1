#pragma once

#include <QFontMetricsF>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <QWidget>

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

// The pill inside a toast: a symbol and a line or a few of text on a dark
// rounded background.
class ToastView : public QWidget
{
    Q_OBJECT
  public:
    static constexpr int maxTextWidth = 560;
    static constexpr int maxLines = 3;

    ToastView(QString message, QString symbol, bool translucent);
    QSize sizeHint() const override;
    QString message() const { return m_message; }
    const QStringList &lines() const { return m_text.lines; }
    // The pill's outline in widget coordinates (also the window's shape
    // when no compositor makes the corners see-through).
    QPainterPath pillPath() const;

  protected:
    void paintEvent(QPaintEvent *event) override;

  private:
    QString m_message;
    QString m_symbol;
    bool m_translucent;
    ToastText m_text;
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

    void show(const QString &message, const QString &symbol, double seconds);
    // The toast on screen, if any (for tests).
    ToastView *current() const { return m_slot.data(); }
    // Distance of the pill from the top of the main screen.
    static constexpr int topMargin = 70;

  private:
    WindowSystem &m_windowSystem;
    QPointer<ToastView> m_slot;
};

} // namespace zorv
