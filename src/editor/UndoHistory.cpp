#include "editor/UndoHistory.h"

#include <QSet>

namespace zorv
{

bool UndoHistory::Snapshot::operator==(const Snapshot &other) const
{
    return image.cacheKey() == other.image.cacheKey() && nextNumber == other.nextNumber &&
           annotations == other.annotations;
}

UndoHistory::UndoHistory(QObject *parent) : QObject(parent) {}

void UndoHistory::record(const Snapshot &before, const QString &mergeKey)
{
    const bool couldUndo = canUndo(), couldRedo = canRedo();
    closeGesture(before);
    if (mergeKey.isEmpty() || mergeKey != m_lastMergeKey) {
        push(before);
        m_lastMergeKey = mergeKey;
    }
    reportAvailability(couldUndo, couldRedo);
}

std::optional<UndoHistory::Snapshot> UndoHistory::undo(const Snapshot &current)
{
    return travel(m_undoStack, m_redoStack, current);
}

std::optional<UndoHistory::Snapshot> UndoHistory::redo(const Snapshot &current)
{
    return travel(m_redoStack, m_undoStack, current);
}

std::optional<UndoHistory::Snapshot> UndoHistory::travel(QList<Snapshot> &from, QList<Snapshot> &to,
                                                         const Snapshot &current)
{
    const bool couldUndo = canUndo(), couldRedo = canRedo();
    // A gesture that changed something is a step of its own first (and empties redo).
    closeGesture(current);
    std::optional<Snapshot> target;
    if (!from.isEmpty()) {
        target = from.takeLast();
        // Not trimmed: what redo puts back was on the undo stack before.
        to.append(current);
        m_lastMergeKey.clear();
    }
    reportAvailability(couldUndo, couldRedo);
    return target;
}

void UndoHistory::beginGesture(const Snapshot &current)
{
    const bool couldUndo = canUndo(), couldRedo = canRedo();
    closeGesture(current);
    m_gestureStart = current;
    // A click between two runs of nudges separates them, even when it changes nothing.
    m_lastMergeKey.clear();
    reportAvailability(couldUndo, couldRedo);
}

void UndoHistory::endGesture(const Snapshot &current)
{
    const bool couldUndo = canUndo(), couldRedo = canRedo();
    closeGesture(current);
    reportAvailability(couldUndo, couldRedo);
}

void UndoHistory::closeGesture(const Snapshot &current)
{
    if (!m_gestureStart)
        return;
    const Snapshot start = std::move(*m_gestureStart);
    m_gestureStart.reset();
    // A click that changed nothing leaves no step.
    if (!(start == current))
        push(start);
}

void UndoHistory::push(const Snapshot &before)
{
    m_undoStack.append(before);
    trim();
    m_redoStack.clear();
    m_lastMergeKey.clear();
}

void UndoHistory::trim()
{
    // At most maxImages distinct base images: the snapshot holding the next
    // older distinct image and everything before it go.
    QSet<qint64> seen;
    for (qsizetype i = m_undoStack.size() - 1; i >= 0; --i) {
        seen.insert(m_undoStack[i].image.cacheKey());
        if (seen.size() > maxImages) {
            m_undoStack.remove(0, i + 1);
            break;
        }
    }
    if (m_undoStack.size() > maxEntries)
        m_undoStack.remove(0, m_undoStack.size() - maxEntries);
}

void UndoHistory::reportAvailability(bool couldUndo, bool couldRedo)
{
    if (couldUndo != canUndo() || couldRedo != canRedo())
        Q_EMIT availabilityChanged(canUndo(), canRedo());
}

} // namespace zorv
