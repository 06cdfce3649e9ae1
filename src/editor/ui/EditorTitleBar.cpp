#include "editor/ui/EditorTitleBar.h"

#include "editor/ui/EditorButton.h"
#include "editor/ui/EditorStyle.h"
#include "editor/ui/ModeSwitcher.h"
#include "editor/ui/SaveButton.h"

#include <QLabel>
#include <QMenu>
#include <QPainter>

namespace zorv
{

namespace
{
constexpr int commandSize = 30;
constexpr int commandGap = 4;
constexpr int groupGap = 10;
constexpr int leftMargin = 16;
} // namespace

EditorTitleBar::EditorTitleBar(QMenu *exportMenu, QWidget *parent)
    : QWidget(parent), m_name(new QLabel(this)), m_size(editorStyle::secondaryLabel({}, this)),
      m_switcher(new ModeSwitcher(this)),
      m_extractText(new EditorButton(QStringLiteral("text.viewfinder"), QString(), this)),
      m_pin(new EditorButton(QStringLiteral("pin"), QString(), this)),
      m_copy(new EditorButton(QStringLiteral("doc.on.doc"), QString(), this)),
      m_save(new SaveButton(this)), m_export(new EditorButton(QStringLiteral("square.and.arrow.up"),
                                                              QStringLiteral("Export"), this)),
      m_exportMenu(exportMenu)
{
    setFixedHeight(barHeight);
    QFont nameFont = m_name->font();
    nameFont.setWeight(QFont::DemiBold);
    m_name->setFont(nameFont);

    // Icon buttons: the label is the tool tip and the accessible name.
    m_extractText->setHelp(QStringLiteral("Extract Text"));
    m_pin->setHelp(QStringLiteral("Pin to Screen"));
    m_copy->setHelp(QStringLiteral("Copy (Ctrl+C)"));
    for (EditorButton *button : {m_extractText, m_pin, m_copy})
        button->setFixedSize(commandSize, commandSize);

    m_export->setTrailingSymbol(QStringLiteral("chevron.down"));
    m_export->setBody(EditorButton::Body::filled);
    m_export->setHelp(QStringLiteral("Save As, copy, upload, or show in the file manager"));
    m_export->setFixedSize(exportWidth, exportHeight);
    connect(m_export, &EditorButton::clicked, this, &EditorTitleBar::openExportMenu);

    // Tab goes left to right, as the controls read.
    setTabOrder(m_switcher->segment(EditorMode::annotate), m_switcher->segment(EditorMode::crop));
    setTabOrder(m_switcher->segment(EditorMode::crop), m_switcher->segment(EditorMode::beautify));
    setTabOrder(m_switcher->segment(EditorMode::beautify), m_extractText);
    setTabOrder(m_extractText, m_pin);
    setTabOrder(m_pin, m_copy);
    setTabOrder(m_copy, m_save);
    setTabOrder(m_save, m_export);
}

void EditorTitleBar::setDocument(const QString &fileName, QSize pixels)
{
    // Called on every change of the document, drags included: lay out only
    // when what is shown changes.
    const QString size = QStringLiteral("%1 × %2").arg(pixels.width()).arg(pixels.height());
    if (fileName == m_fileName && size == m_size->text())
        return;
    m_fileName = fileName;
    m_name->setToolTip(fileName);
    m_size->setText(size);
    layoutChildren();
}

void EditorTitleBar::openExportMenu()
{
    // Opened from the keyboard or the mouse alike, the first item is ready
    // for the arrow keys and Return.
    m_exportMenu->popup(m_export->mapToGlobal(
        QPoint(m_export->width() - m_exportMenu->sizeHint().width(), m_export->height() + 4)));
    if (!m_exportMenu->actions().isEmpty())
        m_exportMenu->setActiveAction(m_exportMenu->actions().constFirst());
}

void EditorTitleBar::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.fillRect(rect(), editorStyle::panelBackground());
    painter.fillRect(QRect(0, height() - 1, width(), 1), editorStyle::hairline());
}

void EditorTitleBar::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    layoutChildren();
}

void EditorTitleBar::layoutChildren()
{
    const int mid = barHeight / 2;
    const auto centredAt = [mid](QWidget *widget, int x) {
        widget->move(x, mid - widget->height() / 2);
    };

    // Right to left: Export against the edge, then Save, then the commands.
    int right = width() - rightMargin;
    centredAt(m_export, right - exportWidth);
    right -= exportWidth + commandGap + 4;
    centredAt(m_save, right - m_save->width());
    right -= m_save->width() + groupGap;
    for (EditorButton *button : {m_copy, m_pin, m_extractText}) {
        centredAt(button, right - commandSize);
        right -= commandSize + commandGap;
    }

    const int switcherLeft = (width() - m_switcher->width()) / 2;
    m_switcher->move(switcherLeft, mid - ModeSwitcher::segmentHeight / 2);

    // The name takes what is left of the switcher, shortened with an ellipsis.
    const int room = std::max(0, switcherLeft - leftMargin - 16);
    const QString size = m_size->text();
    const int sizeWidth = m_size->fontMetrics().horizontalAdvance(size) + 2;
    const int nameRoom = std::max(0, room - sizeWidth - 10);
    const QString name = m_name->fontMetrics().elidedText(m_fileName, Qt::ElideMiddle, nameRoom);
    m_name->setText(name);
    m_name->adjustSize();
    m_size->adjustSize();
    centredAt(m_name, leftMargin);
    centredAt(m_size, leftMargin + m_name->width() + 10);
    m_size->setVisible(room >= sizeWidth);
}

} // namespace zorv
