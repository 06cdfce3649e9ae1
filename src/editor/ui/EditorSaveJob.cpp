#include "editor/ui/EditorSaveJob.h"

#include "output/encoding/ImageEncoder.h"

#include <QDir>
#include <QFileInfo>

namespace zorv
{

QString EditorSaveJob::targetName() const
{
    const qsizetype dot = fileName.lastIndexOf(QLatin1Char('.'));
    const QString base = dot > 0 ? fileName.left(dot) : fileName;
    return base + QLatin1Char('.') + imageFormat::fileExtension(format);
}

std::optional<QString> EditorSaveJob::overwrittenPath() const
{
    if (!lastSavedPath || lastSavedPath->isEmpty())
        return std::nullopt;
    const QFileInfo last(*lastSavedPath);
    const QString lastFolder = QDir::cleanPath(last.absolutePath());
    const QString folder = QDir::cleanPath(QDir(directory).absolutePath());
    if (lastFolder != folder)
        return std::nullopt;
    if (last.suffix() != imageFormat::fileExtension(format))
        return std::nullopt;
    // A folder or link standing at the old name now is not ours to replace.
    if (last.isSymLink() || (last.exists() && !last.isFile()))
        return std::nullopt;
    return QDir(folder).filePath(last.fileName());
}

FileResult<QString> EditorSaveJob::run() const
{
    if (const auto error = FileWriter::ensureDirectory(directory))
        return *error;
    const std::optional<QString> over = overwrittenPath();
    const QString name = targetName();
    const std::optional<QByteArray> bytes = ImageEncoder::encode(image, format, quality);
    if (!bytes || bytes->isEmpty())
        return FileError(FileError::Reason::encodingFailed,
                         over ? *over : QDir(directory).filePath(name));
    if (over) {
        if (const auto error = FileWriter::replaceFile(*over, *bytes))
            return *error;
        return *over;
    }
    return FileWriter::writeNewFile(directory, name, *bytes);
}

} // namespace zorv
