#include "editor/ui/EditorMode.h"

namespace zorv::editorMode
{

const QList<EditorMode> &all()
{
    static const QList<EditorMode> modes{EditorMode::annotate, EditorMode::crop,
                                         EditorMode::beautify};
    return modes;
}

QString label(EditorMode mode)
{
    switch (mode) {
    case EditorMode::annotate:
        return QStringLiteral("Annotate");
    case EditorMode::crop:
        return QStringLiteral("Crop");
    case EditorMode::beautify:
        return QStringLiteral("Beautify");
    }
    return {};
}

} // namespace zorv::editorMode
