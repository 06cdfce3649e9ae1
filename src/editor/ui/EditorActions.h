#pragma once

#include <QImage>
#include <QString>
#include <QUuid>
#include <functional>
#include <optional>

namespace zorv
{

// EditorActions.h: what the window does outside itself, wired by the application.
struct EditorActions {
    std::function<void(const QString &message, const QString &symbol, double seconds)> toast;
    std::function<void(const QImage &)> copy;              // clipboard, image/png
    std::function<void(const QImage &)> pin;               // a pin of the image
    std::function<void()> playSaveSound;                   // the capture sound
    std::function<void(const QString &filePath)> reveal;   // file selected in the file manager
    std::function<void(const QString &folder)> openFolder; // folder in the file manager
    // Save As: a file dialog, then the write; completion gets the path or nothing.
    std::function<void(const QImage &, const QString &suggestedName,
                       std::function<void(std::optional<QString>)>)>
        saveWithPanel;
    // Empty until text recognition and upload exist: their controls are then
    // disabled with a tooltip that says why.
    std::function<void(const QImage &, std::optional<QUuid> historyItemID)> extractText;
    std::function<void(const QImage &)> upload;
};

} // namespace zorv
