#include "output/ocr/OCRResult.h"

#include <QStringList>

namespace zorv
{

QString OCRResult::text() const
{
    QStringList texts;
    texts.reserve(lines.size());
    for (const OCRLine &line : lines)
        texts.append(line.text);
    return texts.join(QLatin1Char('\n'));
}

} // namespace zorv
