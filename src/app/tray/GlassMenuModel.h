#pragma once

#include "common/CaptureAction.h"
#include "output/history/HistoryItem.h"

#include <QHash>
#include <QImage>
#include <QList>
#include <QObject>
#include <QUuid>

namespace zorv
{

// What a choice in the panel asks for.
struct GlassMenuCommand {
    enum class Kind { capture, openRecent, history, allSettings, enableScreenRecording, quit };
    Kind kind = Kind::capture;
    CaptureAction action = CaptureAction::area; // capture
    HistoryItem item;                           // openRecent

    static GlassMenuCommand capture(CaptureAction action) { return {Kind::capture, action, {}}; }
    static GlassMenuCommand openRecent(const HistoryItem &item)
    {
        return {Kind::openRecent, CaptureAction::area, item};
    }
    static GlassMenuCommand of(Kind kind) { return {kind, CaptureAction::area, {}}; }
};

// The panel's state; the view repaints on changed().
class GlassMenuModel : public QObject
{
    Q_OBJECT
  public:
    using QObject::QObject;

    qreal notchX = 0;
    bool notchOnBottom = false;
    bool showingSettings = false;
    bool isRecording = false;
    bool appeared = false;
    QList<HistoryItem> recent;
    QHash<QUuid, QImage> thumbnails;
    bool screenAccessGranted = true;

    void notify() { Q_EMIT changed(); }

  Q_SIGNALS:
    void changed();
};

} // namespace zorv
