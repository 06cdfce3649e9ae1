#pragma once

#include "editor/Annotation.h"

#include <QImage>
#include <QList>
#include <QObject>
#include <QString>
#include <optional>

namespace zorv
{

// The undo and redo stacks of one editor document. A step is the document state
// before a change. Besides single steps it groups a whole gesture into one step
// and merges runs of steps that share a merge key (arrow-key nudges).
// Main thread only.
class UndoHistory : public QObject
{
    Q_OBJECT
  public:
    // What undo restores. Images are shared, so a snapshot costs little more
    // than its annotation list.
    struct Snapshot {
        QImage image;
        QList<Annotation> annotations;
        qint64 nextNumber = 1;

        // The image by identity: a crop makes a new image, nothing else does.
        bool operator==(const Snapshot &other) const;
    };

    static constexpr int maxEntries = 40;
    static constexpr int maxImages = 8;

    explicit UndoHistory(QObject *parent = nullptr);

    const QList<Snapshot> &undoStack() const { return m_undoStack; }
    const QList<Snapshot> &redoStack() const { return m_redoStack; }
    bool canUndo() const { return !m_undoStack.isEmpty(); }
    bool canRedo() const { return !m_redoStack.isEmpty(); }
    bool inGesture() const { return m_gestureStart.has_value(); }

    // Records `before` as a step and empties redo. A non-empty mergeKey equal to
    // the previous step's, with nothing recorded, undone or redone since, records
    // nothing: the earlier step already holds the state before the whole run.
    void record(const Snapshot &before, const QString &mergeKey = {});
    // The state to restore, or none; `current` goes onto the other stack.
    std::optional<Snapshot> undo(const Snapshot &current);
    std::optional<Snapshot> redo(const Snapshot &current);

    // A gesture is one step, taken at its end and only when it changed the
    // document. A step, undo or redo while a gesture is open first closes it,
    // so what the gesture did so far stays undoable. Beginning one ends a run
    // of merged steps.
    void beginGesture(const Snapshot &current);
    void endGesture(const Snapshot &current);

  Q_SIGNALS:
    // Emitted only when either value changes.
    void availabilityChanged(bool canUndo, bool canRedo);

  private:
    void push(const Snapshot &before);
    void closeGesture(const Snapshot &current);
    // Undo and redo: takes the newest state of `from`, leaving `current` on `to`.
    std::optional<Snapshot> travel(QList<Snapshot> &from, QList<Snapshot> &to,
                                   const Snapshot &current);
    void trim();
    void reportAvailability(bool couldUndo, bool couldRedo);

    QList<Snapshot> m_undoStack; // oldest first
    QList<Snapshot> m_redoStack; // oldest first
    std::optional<Snapshot> m_gestureStart;
    QString m_lastMergeKey; // empty: the next step starts a new run
};

} // namespace zorv
