#include "output/encoding/HeicCodec.h"

#include "common/Modules.h"
#include "modules/heif/HeifModule.h"
#include "output/encoding/ImageEncoder.h"

namespace zorv::HeicCodec
{

namespace
{

struct Module {
    ZorvHeicEncode encode = nullptr;
    ZorvHeicDecode decode = nullptr;
};

// Loaded once, from whichever thread encodes first.
const Module &module()
{
    static const Module loaded = [] {
        const QList<QFunctionPointer> found =
            loadModule(QStringLiteral("libzorv-heif"),
                       {QStringLiteral("zorv_heic_encode"), QStringLiteral("zorv_heic_decode")},
                       QStringLiteral("HEIC support"));
        if (found.isEmpty())
            return Module{};
        return Module{reinterpret_cast<ZorvHeicEncode>(found[0]),
                      reinterpret_cast<ZorvHeicDecode>(found[1])};
    }();
    return loaded;
}

} // namespace

std::optional<QByteArray> encode(const QImage &image, double quality)
{
    if (image.isNull() || !module().encode)
        return std::nullopt;
    QByteArray bytes;
    if (!module().encode(&image, ImageEncoder::hasTransparency(image), quality, &bytes))
        return std::nullopt;
    return bytes;
}

std::optional<QImage> decode(const QByteArray &bytes)
{
    if (!module().decode)
        return std::nullopt;
    QImage image;
    if (!module().decode(&bytes, &image))
        return std::nullopt;
    return image;
}

} // namespace zorv::HeicCodec
