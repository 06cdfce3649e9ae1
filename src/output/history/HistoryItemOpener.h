#pragma once

#include "output/history/HistoryItem.h"

#include <functional>

namespace zorv
{

class FileBrowser;

// Opens a history entry: recordings and GIFs with their default application;
// pictures through `openImage` when one is given (the editor), else with their
// default application too.
class HistoryItemOpener
{
  public:
    using OpenImage = std::function<void(const HistoryItem &)>;
    explicit HistoryItemOpener(FileBrowser &browser, OpenImage openImage = {});

    void setOpenImage(OpenImage openImage) { m_openImage = std::move(openImage); }
    // False when the entry's file is gone or nothing could open it.
    bool open(const HistoryItem &item) const;

  private:
    FileBrowser &m_browser;
    OpenImage m_openImage;
};

} // namespace zorv
