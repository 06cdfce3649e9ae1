#include "app/CommandLine.h"

namespace zorv
{

Command parseCommandLine(const QStringList &arguments)
{
    Command command;
    for (const QString &argument : arguments) {
        if (argument.startsWith(QLatin1String("--"))) {
            command.suppressWelcome = true;
            if (argument == QLatin1String("--help"))
                command.kind = Command::Kind::help;
            else if (argument == QLatin1String("--version"))
                command.kind = Command::Kind::version;
            else if (argument == QLatin1String("--quit"))
                command.kind = Command::Kind::quit;
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
            command.kind = Command::Kind::invalid;
            command.error =
                action
                    ? QStringLiteral("zorv: give one action at a time.")
                    : QStringLiteral("zorv: unknown action '%1'. Try 'zorv --help'.").arg(argument);
            return command;
        }
        command.action = action;
    }
    if (command.action && command.kind == Command::Kind::resident)
        command.kind = Command::Kind::action;
    return command;
}

QString helpText(const QList<CaptureAction> &available)
{
    QString text = QStringLiteral(
        "Usage: zorv [ACTION] [--quit] [--help] [--version]\n\n"
        "Zorv stays in the system tray. Without an action it starts (or finds) the running\n"
        "instance. With an action it performs it in the running instance, starting Zorv\n"
        "if needed; bind these to keys on desktops without global shortcuts.\n\nActions:\n");
    for (CaptureAction action : captureAction::all()) {
        const bool ready = available.contains(action);
        text += QStringLiteral("  %1%2%3\n")
                    .arg(captureAction::rawValue(action), -16)
                    .arg(captureAction::title(action))
                    .arg(ready ? QString() : QStringLiteral(" (not available yet)"));
    }
    text += QStringLiteral("\nOptions:\n"
                           "  --quit          end the running instance\n"
                           "  --help          show this text\n"
                           "  --version       show the version\n");
    return text;
}

} // namespace zorv
