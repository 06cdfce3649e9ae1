#pragma once

#include "editor/ui/EditorMode.h"

#include <QList>
#include <QWidget>

namespace zorv
{

class EditorButton;

// Three equal segments, "Annotate", "Crop" and "Beautify", in one capsule.
class ModeSwitcher : public QWidget
{
    Q_OBJECT
  public:
    static constexpr int segmentWidth = 96;
    static constexpr int segmentHeight = 28;

    explicit ModeSwitcher(QWidget *parent = nullptr);

    void setMode(EditorMode mode);
    EditorButton *segment(EditorMode mode) const;

  Q_SIGNALS:
    void modeChosen(zorv::EditorMode mode);

  protected:
    void paintEvent(QPaintEvent *event) override;

  private:
    QList<EditorButton *> m_segments;
};

} // namespace zorv
