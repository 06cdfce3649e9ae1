#include "app/CommandLine.h"

#include <QFileInfo>

namespace zorv
{

namespace
{
// The actions whose result is an image that --output can write.
bool producesImage(CaptureAction action)
{
    return action == CaptureAction::area || action == CaptureAction::window ||
           action == CaptureAction::fullScreen || action == CaptureAction::repeatLastArea;
}

Command invalid(Command command, const QString &error)
{
    command.kind = Command::Kind::invalid;
    command.error = error;
    return command;
}

// "-" is standard output; a file's extension picks the format.
std::optional<QString> checkOutput(Command &command, const QString &path)
{
    if (path == QLatin1String("-"))
        return std::nullopt;
    const QString suffix = QFileInfo(path).suffix().toLower();
    if (suffix == QLatin1String("png"))
        command.outputFormat = ImageFormat::png;
    else if (suffix == QLatin1String("jpg") || suffix == QLatin1String("jpeg"))
        command.outputFormat = ImageFormat::jpeg;
    else if (suffix == QLatin1String("heic"))
        command.outputFormat = ImageFormat::heic;
    else if (!suffix.isEmpty())
        return QStringLiteral("zorv: cannot write .%1 files; name the file .png, .jpg or .heic.")
            .arg(suffix);
    return std::nullopt;
}
} // namespace

Command parseCommandLine(const QStringList &arguments)
{
    Command command;
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString &argument = arguments[i];
        if (argument == QLatin1String("--output") || argument == QLatin1String("-o")) {
            command.suppressWelcome = true;
            if (i + 1 >= arguments.size() || arguments[i + 1].isEmpty())
                return invalid(command, QStringLiteral("zorv: --output needs a file name, or - "
                                                       "for standard output."));
            command.output = arguments[++i];
            if (const auto error = checkOutput(command, *command.output))
                return invalid(command, *error);
            continue;
        }
        if (argument.startsWith(QLatin1String("--"))) {
            command.suppressWelcome = true;
            if (argument == QLatin1String("--help"))
                command.kind = Command::Kind::help;
            else if (argument == QLatin1String("--version"))
                command.kind = Command::Kind::version;
            else if (argument == QLatin1String("--quit"))
                command.kind = Command::Kind::quit;
            else if (argument == QLatin1String("--settings"))
                command.kind = Command::Kind::settings;
            else if (argument == QLatin1String("--history"))
                command.kind = Command::Kind::history;
            else if (argument == QLatin1String("--resident"))
                command.detached = true;
            // Other options are tolerated: they only keep the welcome window away.
            continue;
        }
        if (argument == QLatin1String("-h")) {
            command.kind = Command::Kind::help;
            continue;
        }
        const auto action = captureAction::fromRawValue(argument);
        if (!action || command.action) {
            command.action = command.action ? command.action : action;
            return invalid(command, action ? QStringLiteral("zorv: give one action at a time.")
                                           : QStringLiteral("zorv: unknown action '%1'. Try "
                                                            "'zorv --help'.")
                                                 .arg(argument));
        }
        command.action = action;
    }
    if (command.action &&
        (command.kind == Command::Kind::history || command.kind == Command::Kind::settings))
        return invalid(command, QStringLiteral("zorv: %1 goes without an action.")
                                    .arg(command.kind == Command::Kind::history
                                             ? QStringLiteral("--history")
                                             : QStringLiteral("--settings")));
    if (command.action && command.kind == Command::Kind::resident)
        command.kind = Command::Kind::action;
    if (command.output &&
        (command.kind != Command::Kind::action || !producesImage(*command.action)))
        return invalid(command, QStringLiteral("zorv: --output goes with area, window, "
                                               "fullScreen or repeatLastArea."));
    return command;
}

QString helpText(const PlatformCapabilities &capabilities)
{
    QString text = QStringLiteral(
        "Usage: zorv [ACTION [--output FILE]] [--settings] [--history] [--quit] [--help] "
        "[--version]\n\n"
        "Zorv stays in the system tray. Without an action it starts (or finds) the running\n"
        "instance. With an action it performs it in the running instance, starting Zorv\n"
        "if needed; bind these to keys on desktops without global shortcuts.\n\nActions:\n");
    for (CaptureAction action : captureAction::all()) {
        const auto reason = captureAction::unavailableReason(action, capabilities);
        text += QStringLiteral("  %1%2%3\n")
                    .arg(captureAction::rawValue(action), -16)
                    .arg(captureAction::title(action))
                    .arg(reason ? QStringLiteral(" (%1)").arg(*reason) : QString());
    }
    text += QStringLiteral(
        "\nOptions:\n"
        "  -o, --output FILE  with area, window, fullScreen or repeatLastArea: wait until\n"
        "                     the capture is taken and write it to FILE (.png, .jpg or\n"
        "                     .heic; without an extension, in the format of the settings),\n"
        "                     or to standard output for -. The capture is also kept in the\n"
        "                     history and copied as usual.\n"
        "  --settings         open the settings window (starting Zorv if needed)\n"
        "  --history          show the capture history window\n"
        "  --quit             end the running instance\n"
        "  --help             show this text\n"
        "  --version          show the version\n"
        "\nExit status: 0 done, 1 the capture or writing it failed, 2 bad usage or an\n"
        "action this desktop cannot do, 3 the selection was cancelled.\n");
    return text;
}

} // namespace zorv
