#pragma once

#include "common/CaptureAction.h"

#include <QStringList>
#include <optional>

namespace zorv
{

// What the user asked for on the command line.
struct Command {
    enum class Kind {
        resident, // no action: become (or find) the running instance
        action,   // perform `action` in the running instance
        quit,     // end the running instance
        help,
        version,
        invalid,
    };
    Kind kind = Kind::resident;
    std::optional<CaptureAction> action;
    QString error;                // for invalid
    bool suppressWelcome = false; // any argument beginning with "--"
    bool detached = false;        // started by another zorv to become the instance
};

Command parseCommandLine(const QStringList &arguments); // without the program name
QString helpText(const QList<CaptureAction> &available);

} // namespace zorv
