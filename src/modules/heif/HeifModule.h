#pragma once

// The entry points of the HEIC module (libzorv-heif.so), which Zorv loads
// with QLibrary on first use. Both return false when the codec fails.

class QByteArray;
class QImage;

#define ZORV_HEIF_EXPORT __attribute__((visibility("default")))

using ZorvHeicEncode = bool (*)(const QImage *image, bool withAlpha, double quality,
                                QByteArray *out);
using ZorvHeicDecode = bool (*)(const QByteArray *bytes, QImage *out);
