#pragma once

#include "common/CaptureAction.h"
#include "settings/Options.h"

#include <QStringList>
#include <optional>

namespace zorv
{

// Exit statuses of `zorv ACTION`.
namespace exitStatus
{
constexpr int done = 0;
constexpr int failed = 1;    // the capture or writing it failed
constexpr int usage = 2;     // bad arguments, or an action this desktop cannot do
constexpr int cancelled = 3; // the user closed the overlay without choosing
} // namespace exitStatus

// What the user asked for on the command line.
struct Command {
    enum class Kind {
        resident, // no action: become (or find) the running instance
        action,   // perform `action` in the running instance
        quit,     // end the running instance
        settings, // open the settings window of the running instance
        history,  // show the running instance's history window
        help,
        version,
        invalid,
    };
    Kind kind = Kind::resident;
    std::optional<CaptureAction> action;
    // --output: where the capture goes once delivered ("-": standard output).
    std::optional<QString> output;
    // The format --output asks for, from the file's extension; none: the user's format.
    std::optional<ImageFormat> outputFormat;
    QString error;                // for invalid
    bool suppressWelcome = false; // any argument beginning with "--"
    bool detached = false;        // started by another zorv to become the instance
};

Command parseCommandLine(const QStringList &arguments); // without the program name
// Every action, with the reason for each one this desktop cannot do.
QString helpText(const PlatformCapabilities &capabilities);

} // namespace zorv
