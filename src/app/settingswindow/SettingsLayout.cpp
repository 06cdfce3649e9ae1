#include "app/settingswindow/SettingsLayout.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

#include "settings/Option.h"
#include "theme/Symbols.h"

namespace zorv::settingsLayout
{

namespace
{
QLabel *secondary(const QString &text)
{
    auto *label = new QLabel(text);
    label->setWordWrap(true);
    label->setForegroundRole(QPalette::PlaceholderText);
    QFont font = label->font();
    font.setPointSizeF(font.pointSizeF() * 0.9);
    label->setFont(font);
    return label;
}
} // namespace

void addSectionTitle(QBoxLayout *page, const QString &title, const QString &subtitle)
{
    auto *heading = new QLabel(title);
    QFont font = heading->font();
    font.setPointSizeF(font.pointSizeF() * 1.5);
    font.setBold(true);
    heading->setFont(font);
    page->addWidget(heading);
    if (!subtitle.isEmpty())
        page->addWidget(secondary(subtitle));
}

QBoxLayout *addGroup(QBoxLayout *page, const QString &title, const QString &subtitle)
{
    if (!title.isEmpty()) {
        auto *label = new QLabel(title);
        QFont font = label->font();
        font.setBold(true);
        label->setFont(font);
        page->addSpacing(6);
        page->addWidget(label);
    }
    if (!subtitle.isEmpty())
        page->addWidget(secondary(subtitle));
    auto *frame = new QFrame;
    frame->setFrameShape(QFrame::StyledPanel);
    auto *rows = new QVBoxLayout(frame);
    rows->setContentsMargins(12, 8, 12, 8);
    page->addWidget(frame);
    return rows;
}

QWidget *addRow(QBoxLayout *group, const QString &title, QWidget *control, const QString &subtitle,
                const QString &symbol)
{
    auto *row = new QWidget;
    auto *layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 2, 0, 2);
    if (!symbol.isEmpty()) {
        auto *icon = new QLabel;
        const int size = icon->fontMetrics().height();
        icon->setPixmap(Symbols::pixmap(symbol, size, row->palette().color(QPalette::WindowText),
                                        row->devicePixelRatioF()));
        layout->addWidget(icon);
    }
    auto *texts = new QVBoxLayout;
    auto *label = new QLabel(title);
    texts->addWidget(label);
    if (!subtitle.isEmpty())
        texts->addWidget(secondary(subtitle));
    layout->addLayout(texts, 1);
    if (control) {
        // A check box shows no text of its own here; the row's title names it.
        QWidget *named = control->focusProxy() ? control->focusProxy() : control;
        label->setBuddy(named);
        named->setAccessibleName(title);
        if (!subtitle.isEmpty())
            named->setAccessibleDescription(subtitle);
        layout->addWidget(control, 0, Qt::AlignRight | Qt::AlignVCenter);
    }
    group->addWidget(row);
    return row;
}

QLabel *note(const QString &text, QWidget *parent)
{
    QLabel *label = secondary(text);
    label->setParent(parent);
    return label;
}

QCheckBox *switchFor(const OptionBase &option)
{
    auto *box = new QCheckBox;
    box->setObjectName(option.key());
    return box;
}

} // namespace zorv::settingsLayout
