#pragma once

#include "common/CaptureTypes.h"

#include <QRectF>
#include <variant>

namespace zorv
{

// What the overlay is choosing a region for; decides the instruction line and
// whether windows can be picked.
enum class SelectionMode { screenshot, recording, scrolling };

// What the user chose: an area (global logical coordinates) or a window.
class SelectionOutcome
{
  public:
    static SelectionOutcome area(const QRectF &rect) { return SelectionOutcome(rect); }
    static SelectionOutcome window(const WindowInfo &info) { return SelectionOutcome(info); }

    bool isArea() const { return std::holds_alternative<QRectF>(m_value); }
    bool isWindow() const { return std::holds_alternative<WindowInfo>(m_value); }
    const QRectF &areaRect() const { return std::get<QRectF>(m_value); }
    const WindowInfo &windowInfo() const { return std::get<WindowInfo>(m_value); }
    friend bool operator==(const SelectionOutcome &, const SelectionOutcome &) = default;

  private:
    explicit SelectionOutcome(std::variant<QRectF, WindowInfo> value) : m_value(std::move(value)) {}
    std::variant<QRectF, WindowInfo> m_value;
};

} // namespace zorv
