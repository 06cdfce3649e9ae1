#pragma once

#include "editor/ui/EditorMode.h"

#include <QList>
#include <QPointer>
#include <QWidget>

class QColorDialog;
class QLabel;
class QPushButton;

namespace zorv
{

class AppSettings;
class BackdropTile;
class EditorButton;
class EditorModel;
class SwatchButton;
class ValueSlider;

// The panel on the right, by mode: colours and sizes for new annotations, the
// crop's size and buttons, or the backdrop; below, in every mode, the format
// and size the export will have.
class Inspector : public QWidget
{
    Q_OBJECT
  public:
    static constexpr int panelWidth = 268;
    // The colours offered as swatches, in order.
    static const QStringList &swatchColours();

    Inspector(EditorModel &model, const AppSettings &settings, QWidget *parent = nullptr);
    ~Inspector() override;

    void setMode(EditorMode mode);
    // Reads the model and settings again.
    void refresh();

    // The current colour for new annotations and, when one is selected, for
    // that annotation too (one undo step).
    void setColour(const QString &hex);

    QList<SwatchButton *> swatches() const { return m_swatches; }
    SwatchButton *customColourButton() const { return m_custom; }
    BackdropTile *backdropTile(int presetIndex) const; // -1: "None"
    ValueSlider *slider(const QString &label) const;
    EditorButton *applyCropButton() const { return m_applyCrop; }
    EditorButton *cancelCropButton() const { return m_cancelCrop; }
    QString toolTitle() const;
    QString outputSizeText() const;
    QString formatText() const;

  Q_SIGNALS:
    // Beautify's "None" or a preset was chosen.
    void backdropChosen(int presetIndex);

  protected:
    void paintEvent(QPaintEvent *event) override;

  private:
    QWidget *buildAnnotate();
    QWidget *buildCrop();
    QWidget *buildBeautify();
    QWidget *buildExport();
    void openColourDialog();

    EditorModel &m_model;
    const AppSettings &m_settings;
    QList<QWidget *> m_sections; // by mode
    EditorMode m_mode = EditorMode::annotate;

    QLabel *m_toolTitle = nullptr;
    QList<SwatchButton *> m_swatches;
    SwatchButton *m_custom = nullptr;
    QPointer<QColorDialog> m_colourDialog;
    QList<ValueSlider *> m_sliders;
    ValueSlider *m_lineWidth = nullptr;
    ValueSlider *m_fontSize = nullptr;
    ValueSlider *m_blurRadius = nullptr;
    ValueSlider *m_pixelScale = nullptr;

    QLabel *m_cropHint = nullptr;
    QWidget *m_cropChosen = nullptr;
    QLabel *m_cropSize = nullptr;
    EditorButton *m_cancelCrop = nullptr;
    EditorButton *m_applyCrop = nullptr;

    QList<BackdropTile *> m_tiles; // "None" first
    ValueSlider *m_padding = nullptr;
    ValueSlider *m_cornerRadius = nullptr;
    ValueSlider *m_shadow = nullptr;

    QLabel *m_format = nullptr;
    QLabel *m_outputSize = nullptr;
};

} // namespace zorv
