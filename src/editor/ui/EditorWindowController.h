#pragma once

#include "common/CaptureKind.h"
#include "editor/ui/EditorActions.h"

#include <QImage>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QUuid>
#include <memory>
#include <optional>

namespace zorv
{

class AppSettings;
class EditorModel;
class EditorWindow;

// One editor window around its document, and the commands that take the
// document out of it: save, save as, copy, pin, reveal, text and upload.
class EditorWindowController : public QObject
{
    Q_OBJECT
  public:
    // Builds the model (fileName nullopt: named from the settings), the window,
    // and presents it: sized by the formula, centred on the screen under the
    // pointer, raised and focused. Null for a null image. Kept alive until closed.
    static EditorWindowController *open(const QImage &image, CaptureKind kind,
                                        std::optional<QString> fileName,
                                        std::optional<QUuid> historyItemID, AppSettings &settings,
                                        EditorActions actions);
    static const QList<EditorWindowController *> &openEditors();

    ~EditorWindowController() override;

    EditorModel &model();
    QWidget *window() const;
    void save();
    void saveAs();
    void copy();
    void pin();
    void reveal();
    void extractText();
    void upload();

    // A save runs off the GUI thread; a Save pressed meanwhile runs after it.
    bool isSaving() const { return m_saving; }

  Q_SIGNALS:
    // A save or Save As ended; `written` is false when nothing was written.
    void saveFinished(bool written);

  private:
    EditorWindowController(const QImage &image, CaptureKind kind, std::optional<QString> fileName,
                           std::optional<QUuid> historyItemID, AppSettings &settings,
                           EditorActions actions);
    void present();
    void closed();
    // The picture to hand out, with a text being typed ended first; null when
    // there is none.
    QImage exportImage();
    void toast(const QString &message, const QString &symbol) const;
    void startSave();
    void finishSave(const QString &path, const QImage &image, bool copyToClipboard, bool playSound);

    AppSettings &m_settings;
    EditorActions m_actions;
    std::optional<QUuid> m_historyItemID;
    EditorModel *m_model;
    std::unique_ptr<EditorWindow> m_window;
    bool m_saving = false;
    bool m_saveQueued = false;
    bool m_closed = false;
};

} // namespace zorv
