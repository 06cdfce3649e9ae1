#pragma once

#include "modules/upload/UploadModule.h"

#include <QByteArray>
#include <memory>

namespace zorv
{

// The transport of the network module, loaded on first call; null (after a log
// line) when the module cannot be loaded. `extraCaPem`: certificate
// authorities trusted besides the system's.
std::unique_ptr<UploadTransport> loadUploadTransport(const QByteArray &extraCaPem = {});

} // namespace zorv
