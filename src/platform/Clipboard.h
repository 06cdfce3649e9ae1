#pragma once

#include <functional>

class QMimeData;
class QString;

namespace zorv
{

// The desktop's clipboard as Zorv writes it.
class Clipboard
{
  public:
    virtual ~Clipboard() = default;
    // Takes over `data` as the clipboard's content.
    virtual void setMimeData(QMimeData *data) = 0;
    // What Zorv last set, while it is still the clipboard's content; null otherwise.
    virtual const QMimeData *ownedMimeData() = 0;
    void setText(const QString &text);
    // Where a copy may not reach the clipboard on this desktop, how to tell the user (once).
    virtual void setNotice(std::function<void(const QString &)> notice) { (void)notice; }
};

// Qt's own clipboard, which serves X11 desktops (and Wayland ones while a Zorv window has the
// focus).
class QtClipboard : public Clipboard
{
  public:
    void setMimeData(QMimeData *data) override;
    const QMimeData *ownedMimeData() override;
};

} // namespace zorv
