#pragma once

#include "platform/Clipboard.h"

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>
#include <memory>

struct ZorvWlClip;

namespace zorv
{

// The clipboard of a Wayland session. A client may set it only with the serial of an input
// event on its own focused surface, which a capture by shortcut or command never has. Where
// the compositor offers a data-control protocol (wlroots, KDE), the selection is set through
// it from a connection of its own, so no focus is needed; bytes are produced on the main
// thread when a reader first asks for a type. Elsewhere (GNOME) Qt's clipboard is used while
// a Zorv window has the focus or was just clicked (Qt passes on the click's serial); a copy
// made without either waits for a Zorv window to take it: the
// next one shown after a capture (the quick-access panel, a toast) asks for the focus through
// xdg-activation. When none has it in time the user is told, once.
class WaylandClipboard : public QObject, public Clipboard
{
    Q_OBJECT
  public:
    explicit WaylandClipboard(int focusWaitMs = defaultFocusWaitMs, QObject *parent = nullptr);
    ~WaylandClipboard() override;

    void setMimeData(QMimeData *data) override;
    const QMimeData *ownedMimeData() override;
    void setNotice(std::function<void(const QString &)> notice) override;

    // Hands the module the bytes of `type` of offer `generation`, which a reader asked for.
    void supply(int generation, const QString &type);

    // How long a copy waits for a Zorv window to take the focus.
    static constexpr int defaultFocusWaitMs = 4000;
    // How long after a click or key press in a Zorv window its serial still sets the clipboard.
    static constexpr int recentInputMs = 1000;

  protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

  private:
    bool openDataControl();
    void deliverWaiting();

    ZorvWlClip *m_clip = nullptr;
    bool m_tried = false;
    std::unique_ptr<QMimeData> m_data; // what the data-control offer serves
    int m_generation = 0;

    QtClipboard m_qt;
    std::unique_ptr<QMimeData> m_waiting; // a copy waiting for the focus
    QTimer m_giveUp;
    QElapsedTimer m_sinceInput; // since the last press in a Zorv window
    std::function<void(const QString &)> m_notice;
    bool m_told = false;
};

} // namespace zorv
