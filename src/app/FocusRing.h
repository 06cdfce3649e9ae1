#pragma once

#include <QPointer>
#include <QWidget>

namespace zorv
{

// Draws a clear ring around whichever control of its window has keyboard
// focus. Some controls of the default style show focus only faintly (a check
// box without text, a slider), and these windows must be usable by keyboard.
class FocusRing : public QWidget
{
    Q_OBJECT
  public:
    explicit FocusRing(QWidget *window);

  protected:
    void paintEvent(QPaintEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

  private:
    void follow(QWidget *focused);
    void place();

    QPointer<QWidget> m_target;
};

} // namespace zorv
