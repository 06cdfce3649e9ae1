#pragma once

#include <QByteArray>

class QImage;

namespace zorv::ScrollFingerprint
{

constexpr int side = 16;

// A grab reduced to side × side grey bytes (rows of `side`, no padding) by
// nearest-pixel sampling, cheap enough for every grab. Equal fingerprints
// mean the content has not moved. A null image gives all zeros.
QByteArray of(const QImage &image);

} // namespace zorv::ScrollFingerprint
