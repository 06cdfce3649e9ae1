#pragma once

#include <QString>

namespace zorv::Permissions
{

// Opens a settings link of the desktop; an unparsable link is ignored.
void open(const QString &link);
// The desktop's page for screen-capture permission. X11 needs none, so this
// is empty there and opening it does nothing.
QString screenRecordingLink();

} // namespace zorv::Permissions
