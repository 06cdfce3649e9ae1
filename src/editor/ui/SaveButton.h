#pragma once

#include "editor/ui/EditorButton.h"

class QTimer;
class QVariantAnimation;

namespace zorv
{

// "Save", which turns green with a checkmark for a moment after each save;
// another save meanwhile starts the moment again.
class SaveButton : public EditorButton
{
    Q_OBJECT
  public:
    explicit SaveButton(QWidget *parent = nullptr);

    // Shows "Saved" for 1.6 s, then eases back.
    void confirm();
    bool isConfirming() const { return m_confirming; }

  private:
    void showNormal();

    bool m_confirming = false;
    QTimer *m_reset;
    QVariantAnimation *m_fade;
    QVariantAnimation *m_grow;
};

} // namespace zorv
