#pragma once

#include <cstdint>
#include <cstring>

namespace zorv::imageFilters
{

// The four 8-bit channels of one premultiplied pixel widened to 32-bit lanes,
// so that sums over many pixels advance all channels together.
using PixelLanes = uint32_t __attribute__((vector_size(16)));

inline PixelLanes widen(uint32_t pixel)
{
    using Bytes = uint8_t __attribute__((vector_size(4)));
    Bytes b;
    std::memcpy(&b, &pixel, sizeof b);
    return __builtin_convertvector(b, PixelLanes);
}

// Lanes must hold values up to 255.
inline uint32_t narrow(PixelLanes lanes)
{
    using Bytes = uint8_t __attribute__((vector_size(4)));
    const Bytes b = __builtin_convertvector(lanes, Bytes);
    uint32_t pixel;
    std::memcpy(&pixel, &b, sizeof pixel);
    return pixel;
}

} // namespace zorv::imageFilters
