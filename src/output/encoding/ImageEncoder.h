#pragma once

#include "settings/Options.h"

#include <QByteArray>
#include <QImage>
#include <optional>

namespace zorv
{

// Image → file bytes. Pure functions of their inputs: safe on any thread. Each
// yields nothing instead of failing.
namespace ImageEncoder
{

// RGBA when the image has a pixel that is not opaque, RGB otherwise; no filters
// and rows compressed in parallel, which suits screen content.
std::optional<QByteArray> pngData(const QImage &image);
// `quality` from 0 to 1.
std::optional<QByteArray> jpegData(const QImage &image, double quality);
std::optional<QByteArray> heicData(const QImage &image, double quality);

// The encoder for `format`; both lossy formats take `quality`.
std::optional<QByteArray> encode(const QImage &image, ImageFormat format, double quality);

// True when some pixel is not fully opaque.
bool hasTransparency(const QImage &image);

} // namespace ImageEncoder
} // namespace zorv
