#include "output/upload/UploadTransport.h"

#include "common/Modules.h"

namespace zorv
{

std::unique_ptr<UploadTransport> loadUploadTransport(const QByteArray &extraCaPem)
{
    static const ZorvUploadTransport make = [] {
        const QList<QFunctionPointer> found =
            loadModule(QStringLiteral("libzorv-upload"), {QStringLiteral("zorv_upload_transport")},
                       QStringLiteral("Uploading"));
        return found.isEmpty() ? nullptr : reinterpret_cast<ZorvUploadTransport>(found[0]);
    }();
    if (!make)
        return nullptr;
    return std::unique_ptr<UploadTransport>(make(extraCaPem));
}

} // namespace zorv
