#pragma once

#include "platform/RecordingSources.h"

#include <QImage>
#include <QList>
#include <cstdint>

namespace zorv
{

// The rings drawn where the pointer was pressed: each grows and fades out over
// `lifetimeNs`, sized in logical units so that it looks the same at any scale.
class ClickMarks
{
  public:
    static constexpr int64_t lifetimeNs = 400'000'000;

    explicit ClickMarks(double scale) : m_scale(scale) {}
    void add(const QList<PointerClick> &clicks);
    // Draws the rings alive at `timeNs` and forgets the ones that have faded.
    void draw(QImage &frame, int64_t timeNs);
    int active() const { return int(m_clicks.size()); }

  private:
    double m_scale;
    QList<PointerClick> m_clicks;
};

// The pointer and the click marks drawn over each grabbed frame. Either
// source may be missing; the frame is then drawn without it.
class FrameDecorations
{
  public:
    FrameDecorations(std::shared_ptr<CursorSource> cursor, std::shared_ptr<ClickSource> clicks,
                     double scale);
    // `visible` is the part of the frame that shows the area (the rest is padding).
    void draw(QImage &frame, const QSize &visible, int64_t timeNs);

  private:
    std::shared_ptr<CursorSource> m_cursor;
    std::shared_ptr<ClickSource> m_clickSource;
    ClickMarks m_marks;
};

} // namespace zorv
