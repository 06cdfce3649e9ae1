#pragma once

#include <QPointer>
#include <QString>
#include <QWidget>

namespace zorv
{

// The pill inside a toast: a symbol and one line of text on a dark rounded
// background.
class ToastView : public QWidget
{
    Q_OBJECT
  public:
    ToastView(QString message, QString symbol, bool translucent);
    QSize sizeHint() const override;
    QString message() const { return m_message; }
    // The pill's outline in widget coordinates (also the window's shape
    // when no compositor makes the corners see-through).
    QPainterPath pillPath() const;

  protected:
    void paintEvent(QPaintEvent *event) override;

  private:
    QString m_message;
    QString m_symbol;
    bool m_translucent;
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
