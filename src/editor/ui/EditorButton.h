#pragma once

#include <QAbstractButton>
#include <QColor>
#include <QString>

namespace zorv
{

// The editor's buttons, drawn in its dark style: a symbol, an optional label,
// a rounded body that shows on hover (or always), and an accent fill when
// checked. Reached by Tab; a click leaves the keyboard focus on the canvas.
class EditorButton : public QAbstractButton
{
    Q_OBJECT
  public:
    enum class Body {
        hover,  // transparent until the pointer is over it
        filled, // a light body at rest
        accent, // the accent colour
    };

    EditorButton(const QString &symbol, const QString &label, QWidget *parent = nullptr);

    void setSymbol(const QString &symbol);
    QString symbol() const { return m_symbol; }
    // The second, smaller symbol after the label (a menu's chevron).
    void setTrailingSymbol(const QString &symbol);
    void setBody(Body body);
    void setRadius(qreal radius);
    // A body colour that overrides the look (the save button's confirmation).
    void setFill(const QColor &fill);
    // The body's size against the widget's, around its centre; below 1 leaves
    // room for a body that grows for a moment (the save button's confirmation).
    void setBodyScale(qreal scale);
    // Tool tip and accessible name; the accessible name falls back to it.
    void setHelp(const QString &help);

    QSize sizeHint() const override;

  protected:
    void paintEvent(QPaintEvent *event) override;
    void enterEvent(QEnterEvent *event) override;
    void leaveEvent(QEvent *event) override;
    void changeEvent(QEvent *event) override;

  private:
    QString m_symbol;
    QString m_trailingSymbol;
    Body m_body = Body::hover;
    qreal m_radius = 7;
    qreal m_bodyScale = 1;
    QColor m_fill;
    bool m_hovered = false;
};

} // namespace zorv
