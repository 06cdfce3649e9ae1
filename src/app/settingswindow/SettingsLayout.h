#pragma once

#include <QString>

class QBoxLayout;
class QCheckBox;
class QLabel;
class QWidget;

namespace zorv
{
class OptionBase;
}

namespace zorv::settingsLayout
{

// A page's heading: title and optional subtitle.
void addSectionTitle(QBoxLayout *page, const QString &title, const QString &subtitle = {});
// A framed block of rows, with an optional title above it; rows go into the result.
QBoxLayout *addGroup(QBoxLayout *page, const QString &title = {}, const QString &subtitle = {});
// One row: title (and subtitle) on the left, the control on the right. The
// control takes the title as its accessible name and the label as its buddy.
// Returns the row, so conditional rows can be hidden. A symbol shows before the title.
QWidget *addRow(QBoxLayout *group, const QString &title, QWidget *control,
                const QString &subtitle = {}, const QString &symbol = {});
// A small secondary text (footers, warnings, figures).
QLabel *note(const QString &text, QWidget *parent = nullptr);
// A switch for an on/off option, named by its key so the binder finds it.
QCheckBox *switchFor(const OptionBase &option);

} // namespace zorv::settingsLayout
