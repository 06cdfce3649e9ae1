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

struct Decoded {
    QList<HistoryItem> items;
    // Entries left out for a missing required member, a wrong type or an unknown kind.
    int dropped = 0;
};
// Every entry that decodes, in file order; nothing when the bytes are not a
// JSON array at all. One bad entry never costs the others.
std::optional<Decoded> decode(const QByteArray &json);

} // namespace HistoryIndex
} // namespace zorv
