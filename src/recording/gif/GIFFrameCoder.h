#pragma once

#include <QImage>
#include <QRect>
#include <QRgb>
#include <cstdint>
#include <memory>
#include <vector>

namespace zorv
{

// One frame as a GIF stores it: a rectangle of palette indices drawn over what
// the previous frames left on the canvas.
struct GIFFrame {
    QRect rect;                   // within the canvas
    std::vector<QRgb> palette;    // at most 256 opaque colours
    int transparentIndex = -1;    // index that leaves the canvas as it was; -1: none
    std::vector<uint8_t> indices; // rect.width() × rect.height(), row after row
};

// Reduces the frames of one animation to GIF frames, one after another: each
// is coded against what the viewer already shows, so the coder keeps that
// canvas between calls.
class GIFFrameCoder
{
  public:
    explicit GIFFrameCoder(QSize canvas);
    ~GIFFrameCoder();
    GIFFrameCoder(const GIFFrameCoder &) = delete;
    GIFFrameCoder &operator=(const GIFFrameCoder &) = delete;

    // `image` has the canvas size; any 32-bit RGB format. False when the
    // colour reduction failed.
    bool code(const QImage &image, GIFFrame &out);

  private:
    struct State;
    std::unique_ptr<State> m_state;
};

} // namespace zorv
