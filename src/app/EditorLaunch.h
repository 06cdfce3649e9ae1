#pragma once

#include "app/DeliveryPipeline.h"
#include "common/CaptureKind.h"
#include "output/history/HistoryItem.h"

#include <QImage>
#include <QUuid>
#include <functional>
#include <optional>

class QObject;

namespace zorv
{

// Opens an editor window for an image. fileName nullopt: named from the
// settings; historyItemID: the history entry the image belongs to.
using OpenEditorFunction =
    std::function<void(const QImage &, CaptureKind, std::optional<QString> fileName,
                       std::optional<QUuid> historyItemID)>;

// Opens a history picture in the editor with the entry's kind, name and id. The
// file is decoded off the GUI thread; the editor opens in `context`'s thread
// unless `context` is gone by then. A file that went away or no longer decodes
// is told in a toast.
void openHistoryImage(const HistoryItem &item, QObject *context, OpenEditorFunction openEditor,
                      ToastFunction toast);

} // namespace zorv
