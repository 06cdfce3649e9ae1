#pragma once

#include "common/CaptureKind.h"

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QString>
#include <QUuid>
#include <optional>

namespace zorv
{

// One stored capture of the history.
struct HistoryItem {
    QUuid id;
    QString fileName; // last path component of filePath
    CaptureKind kind = CaptureKind::screenshot;
    QDateTime createdAt; // when the entry was made
    int pixelWidth = 0;
    int pixelHeight = 0;
    QString filePath; // absolute path inside the media directory
    std::optional<QString> ocrText;

    bool operator==(const HistoryItem &other) const = default;
};

// The history index: a JSON array of entries, newest first. Dates are seconds
// since 2001-01-01 00:00:00 UTC; ids are upper-case UUIDs.
namespace HistoryIndex
{

QByteArray encode(const QList<HistoryItem> &items);
// Nothing when any entry lacks a required member, has a wrong type or an
// unknown kind: the index is read whole or not at all.
std::optional<QList<HistoryItem>> decode(const QByteArray &json);

} // namespace HistoryIndex
} // namespace zorv
