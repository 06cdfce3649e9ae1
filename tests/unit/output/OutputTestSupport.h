#pragma once

#include "support/TemporarySettings.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QSettings>
#include <QTemporaryDir>
#include <memory>

namespace zorv::test
{

inline QImage solidImage(QSize size = {64, 40}, QColor colour = QColor(10, 120, 200))
{
    QImage image(size, QImage::Format_RGB32);
    image.fill(colour);
    return image;
}

inline bool writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

inline QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Every entry of a folder, hidden ones included, sorted by name.
inline QStringList folderEntries(const QString &path)
{
    return QDir(path).entryList(
        QDir::Files | QDir::Dirs | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
}

} // namespace zorv::test
