#pragma once

#include "output/FileWriter.h"
#include "settings/Options.h"

#include <QImage>
#include <QString>
#include <optional>

namespace zorv
{

// One save of an editor's image, taken by value on the GUI thread and carried
// out on any thread: the folder is made, the image encoded and written.
struct EditorSaveJob {
    QImage image;
    QString directory; // "~" already expanded
    QString fileName;  // its extension is replaced by the format's
    ImageFormat format = ImageFormat::png;
    double quality = 0.9;
    // The file the editor saved last; written over when it lies in `directory`
    // and has the format's extension, so saving again updates one file.
    std::optional<QString> lastSavedPath;

    // The name the file gets: fileName with the format's extension.
    QString targetName() const;
    // lastSavedPath when the save goes over it.
    std::optional<QString> overwrittenPath() const;
    // The path written, or why nothing was.
    FileResult<QString> run() const;
};

} // namespace zorv
