#pragma once

#include <QList>
#include <QString>

namespace zorv
{

// What the editor window is for at the moment. Not stored: crop while the
// tool is crop, else beautify while the window is beautifying, else annotate.
enum class EditorMode { annotate, crop, beautify };

namespace editorMode
{
const QList<EditorMode> &all();
QString label(EditorMode mode);
} // namespace editorMode

} // namespace zorv
