#pragma once

#include <QRect>
#include <QWidget>
#include <functional>

class QAbstractButton;
class QLabel;

namespace zorv
{

class HotKeyBackend;
class WindowSystem;

// The small panel shown while a scrolling capture runs: a live frame count,
// Done and cancel. It never takes the focus from the page being scrolled, so
// Return and Escape reach it through short-lived global key grabs.
class ScrollingHUD : public QWidget
{
    Q_OBJECT
  public:
    static constexpr QSize panelSize{300, 54};
    // Distance from the bottom of the screen's visible area, and from the region.
    static constexpr int margin = 24;

    // `hotKeys` may be null (no keyboard then).
    ScrollingHUD(WindowSystem &windowSystem, HotKeyBackend *hotKeys, std::function<void()> onDone,
                 std::function<void()> onCancel);
    ~ScrollingHUD() override;

    void setCount(int count);
    // Moves onto the screen that holds the region and shows without activating.
    void present(const QRectF &region);

    // Where the panel goes in a screen's visible area: centred at its bottom,
    // unless that covers the region; then above the region, or beside it at
    // the bottom; where every place covers it, at the bottom after all.
    static QRect placement(const QRect &available, const QRectF &region);
    // "1 frame captured", "2 frames captured".
    static QString countText(int count);

    QAbstractButton *doneButton() const { return m_done; }
    QAbstractButton *cancelButton() const { return m_cancel; }
    QString countLine() const;
    bool holdsKeys() const { return m_keysHeld; }
    // Gives Return and Escape back (also when the panel goes).
    void releaseKeys();

  protected:
    void paintEvent(QPaintEvent *event) override;

  private:
    void grabKeys();

    WindowSystem &m_windowSystem;
    HotKeyBackend *m_hotKeys;
    std::function<void()> m_onDone;
    std::function<void()> m_onCancel;
    QLabel *m_count = nullptr;
    QAbstractButton *m_done = nullptr;
    QAbstractButton *m_cancel = nullptr;
    bool m_translucent = true;
    bool m_keysHeld = false;
};

} // namespace zorv
