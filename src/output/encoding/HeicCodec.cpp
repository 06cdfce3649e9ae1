#include "output/encoding/HeicCodec.h"

#include "common/Log.h"
#include "modules/heif/HeifModule.h"
#include "output/encoding/ImageEncoder.h"

#include <QCoreApplication>
#include <QDir>
#include <QLibrary>
#include <mutex>

namespace zorv::HeicCodec
{

namespace
{

struct Module {
    ZorvHeicEncode encode = nullptr;
    ZorvHeicDecode decode = nullptr;
};

QStringList searchFolders()
{
    QStringList folders;
    if (const QByteArray forced = qgetenv("ZORV_MODULE_DIR"); !forced.isEmpty())
        folders << QString::fromLocal8Bit(forced);
    // Installed: bin/zorv and lib/zorv/. Build tree: the module sits beside zorv and one
    // folder above the test and benchmark programs. No build path is compiled in, so an
    // installed Zorv never loads a module from someone's build tree.
    if (QCoreApplication::instance()) {
        const QString here = QCoreApplication::applicationDirPath();
        folders << here << here + QStringLiteral("/../lib/zorv") << here + QStringLiteral("/..");
    }
    return folders;
}

// Loaded once, from whichever thread encodes first.
const Module &module()
{
    static Module loaded;
    static std::once_flag once;
    std::call_once(once, [] {
        QString lastError;
        for (const QString &folder : searchFolders()) {
            QLibrary library(QDir(folder).filePath(QStringLiteral("libzorv-heif")));
            if (!library.load()) {
                lastError = library.errorString();
                continue;
            }
            loaded.encode = reinterpret_cast<ZorvHeicEncode>(library.resolve("zorv_heic_encode"));
            loaded.decode = reinterpret_cast<ZorvHeicDecode>(library.resolve("zorv_heic_decode"));
            if (loaded.encode && loaded.decode)
                return;
            lastError = library.errorString();
        }
        loaded = {};
        logLine(QStringLiteral("HEIC support unavailable: ") + lastError);
    });
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
