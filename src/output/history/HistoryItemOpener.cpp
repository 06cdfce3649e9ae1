#include "output/history/HistoryItemOpener.h"

#include "common/Log.h"
#include "platform/FileBrowser.h"

#include <QFileInfo>

namespace zorv
{

HistoryItemOpener::HistoryItemOpener(FileBrowser &browser, OpenImage openImage)
    : m_browser(browser), m_openImage(std::move(openImage))
{
}

bool HistoryItemOpener::open(const HistoryItem &item) const
{
    // A default application would only complain about a missing file.
    if (!QFileInfo(item.filePath).isFile())
        return false;
    const bool picture =
        item.kind == CaptureKind::screenshot || item.kind == CaptureKind::scrolling;
    if (picture && m_openImage) {
        m_openImage(item);
        return true;
    }
    if (m_browser.open(item.filePath))
        return true;
    // Typically a desktop without xdg-open.
    logLine(QStringLiteral("no application opens %1").arg(item.filePath));
    return false;
}

} // namespace zorv
