#pragma once

#include "common/CaptureKind.h"
#include "settings/Options.h"

#include <QImage>
#include <QString>
#include <QUuid>
#include <functional>
#include <optional>
#include <utility>

namespace zorv
{

// What the panel's tiles do, wired by the application. An empty extractText or
// upload leaves its tile disabled.
struct QuickAccessActions {
    std::function<void(const QImage &, CaptureKind, std::optional<QUuid> historyID)> openEditor;
    std::function<void(const QImage &)> copyImage;
    // Puts the file itself (as a URI) on the clipboard.
    std::function<void(const QString &path)> copyFile;
    // Save dialog; the completion gets the written path, or nothing when cancelled.
    std::function<void(const QImage &, const QString &suggestedName,
                       std::function<void(std::optional<QString>)>)>
        saveWithPanel;
    std::function<void(const QImage &)> pin;
    std::function<void(const QImage &, std::optional<QUuid> historyID)> extractText;
    std::function<void(const QImage &)> upload;
    std::function<void(const QString &path)> reveal;
    std::function<void(const QString &path)> openFile;
    // Removes the history entry and its stored copy; false when there is none.
    std::function<bool(const QUuid &)> removeHistoryEntry;
    // The history's stored copy of an entry, when it still has one.
    std::function<std::optional<QString>(const QUuid &)> historyFile;
    std::function<void(const QString &message, const QString &symbol, double seconds)> toast;
    // The settings' file-name template and image format.
    std::function<std::pair<QString, ImageFormat>()> naming;
};

} // namespace zorv
