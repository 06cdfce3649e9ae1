#include "platform/Clipboard.h"

#include "platform/Platform.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>

namespace zorv
{

void Clipboard::setText(const QString &text)
{
    auto *data = new QMimeData;
    data->setText(text);
    setMimeData(data);
}

void QtClipboard::setMimeData(QMimeData *data)
{
    QClipboard *clipboard = QGuiApplication::clipboard();
    clipboard->clear();
    clipboard->setMimeData(data);
}

const QMimeData *QtClipboard::ownedMimeData()
{
    QClipboard *clipboard = QGuiApplication::clipboard();
    return clipboard->ownsClipboard() ? clipboard->mimeData() : nullptr;
}

Clipboard &Platform::clipboard()
{
    static QtClipboard qt;
    return qt;
}

} // namespace zorv
