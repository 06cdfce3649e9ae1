#pragma once

#include <QAbstractButton>
#include <QList>
#include <QString>

namespace zorv
{

enum class QuickAction { edit, play, copy, save, pin, text, link, folder, remove };

// One tile of the panel's action row.
struct QuickActionTile {
    QuickAction action;
    QString title;
    QString symbol;
    bool primary = false;
    bool destructive = false;
};

namespace quickActionTiles
{
// The row for stills or for videos, Delete last.
QList<QuickActionTile> forKind(bool imageLike);
} // namespace quickActionTiles

// A square tile with a symbol above its title. Primary tiles are filled with
// the accent colour, destructive ones are drawn in a soft red.
class QuickActionButton : public QAbstractButton
{
    Q_OBJECT
  public:
    static constexpr int tileWidth = 58;
    static constexpr int tileHeight = 56;

    explicit QuickActionButton(QuickActionTile tile, QWidget *parent = nullptr);
    const QuickActionTile &tile() const { return m_tile; }
    QSize sizeHint() const override { return {tileWidth, tileHeight}; }

  protected:
    void paintEvent(QPaintEvent *event) override;
    void enterEvent(QEnterEvent *event) override;
    void leaveEvent(QEvent *event) override;

  private:
    QuickActionTile m_tile;
    bool m_hovering = false;
};

} // namespace zorv
