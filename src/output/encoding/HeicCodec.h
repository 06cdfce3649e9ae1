#pragma once

#include <QByteArray>
#include <QImage>
#include <optional>

namespace zorv::HeicCodec
{

// HEVC-coded HEIF with lossy quality round(quality · 100).
std::optional<QByteArray> encode(const QImage &image, double quality);

// The primary image of a HEIF file.
std::optional<QImage> decode(const QByteArray &bytes);

} // namespace zorv::HeicCodec
