#pragma once

#include "output/upload/UploadRequest.h"

#include <QByteArray>
#include <QString>

namespace zorv
{

// The link in a server's reply: the "url" member of a JSON object, or else the
// whole body as text. Only an http(s) address with a host counts as a link; a
// status outside 200…299 is a failure that names it.
Expected<QString, UploadFailure> parseUploadReply(int status, const QByteArray &body);

} // namespace zorv
