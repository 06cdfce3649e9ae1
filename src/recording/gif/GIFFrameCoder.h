#pragma once

#include <QImage>
#include <QRect>
#include <QRgb>
#include <cstdint>
#include <memory>
#include <vector>

struct liq_result;

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

// The colours chosen for one frame (at most 256, and the transparent entry
// after the first frame). Move-only.
class GIFPalette
{
  public:
    GIFPalette() = default;
    ~GIFPalette();
    GIFPalette(GIFPalette &&other) noexcept;
    GIFPalette &operator=(GIFPalette &&other) noexcept;
    bool isValid() const { return m_result != nullptr; }

  private:
    friend class GIFFrameCoder;
    void release();

    ::liq_result *m_result = nullptr;
    // The same colours in a second result, so that two halves of a frame can
    // be remapped at once (a result serves one remapping at a time), with the
    // twin's index of each of `m_result`'s entries. Null when not made.
    ::liq_result *m_twin = nullptr;
    uint8_t m_fromTwin[256] = {};
};

// Reduces the frames of one animation to GIF frames, one after another: each
// is coded against what the viewer already shows, so the coder keeps that
// canvas between calls. Choosing a frame's colours, the costly half, depends
// only on that frame and the one before it, so it may run ahead on other
// threads.
class GIFFrameCoder
{
  public:
    explicit GIFFrameCoder(QSize canvas);
    ~GIFFrameCoder();
    GIFFrameCoder(const GIFFrameCoder &) = delete;
    GIFFrameCoder &operator=(const GIFFrameCoder &) = delete;

    // Colours for `image`, taken from the pixels that differ from `previous`
    // (the animation's frame before it; null for the first frame). Both are
    // 32-bit RGB of one size. Thread-safe. Invalid when the reduction failed.
    static GIFPalette choosePalette(const QImage &image, const QImage *previous);

    // Codes the next frame of the animation with the palette chosen for it.
    // `image` has the canvas size, 32-bit RGB. False when the palette is
    // invalid or remapping failed.
    bool code(const QImage &image, const GIFPalette &palette, GIFFrame &out);

  private:
    struct State;
    std::unique_ptr<State> m_state;
};

} // namespace zorv
