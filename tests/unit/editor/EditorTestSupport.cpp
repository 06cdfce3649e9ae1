#include "unit/editor/EditorTestSupport.h"

#include <QDir>
#include <cstdlib>

namespace zorv::test
{

void saveExample(const QImage &image, const QString &name)
{
    const QString dir = qEnvironmentVariable("ZORV_EXAMPLES_DIR");
    if (dir.isEmpty())
        return;
    QDir().mkpath(dir);
    image.save(QDir(dir).filePath(name + QStringLiteral(".png")));
}

int colorDistance(QRgb a, QRgb b)
{
    return std::max({std::abs(qRed(a) - qRed(b)), std::abs(qGreen(a) - qGreen(b)),
                     std::abs(qBlue(a) - qBlue(b)), std::abs(qAlpha(a) - qAlpha(b))});
}

} // namespace zorv::test
