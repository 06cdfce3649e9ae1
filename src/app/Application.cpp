#include "app/Application.h"

#include "app/CaptureCoordinator.h"
#include "app/CommandLine.h"
#include "app/CommandRequests.h"
#include "app/InstanceChannel.h"
#include "app/MemoryTuning.h"
#include "app/ShortcutRegistrar.h"
#include "app/SignalWatcher.h"
#include "app/StandardServices.h"
#include "app/WelcomeWindow.h"
#include "app/settingswindow/SettingsWindow.h"
#include "app/tray/GlassMenuController.h"
#include "app/tray/StatusBarController.h"
#include "common/Log.h"
#include "common/Trace.h"
#include "output/FileWriter.h"
#include "output/OutputService.h"
#include "output/history/HistoryStore.h"
#include "platform/Platform.h"
#include "platform/PlatformLoader.h"
#include "recording/VideoThumbnail.h"
#include "settings/AppSettings.h"
#include "settings/HotKeyCenter.h"

#include <QApplication>
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QImageReader>
#include <QProcess>
#include <QThread>
#include <QThreadPool>
#include <QTimer>
#include <cstdio>
#include <unistd.h>

namespace zorv
{

namespace
{

// How long the end after a lost display waits for files being written.
constexpr int displayLostWaitMs = 3000;

void print(FILE *stream, const QString &text)
{
    const QByteArray bytes = text.toLocal8Bit();
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stream);
    if (!text.endsWith(QLatin1Char('\n')))
        std::fputc('\n', stream);
}

void printReply(const InstanceReply &reply)
{
    if (!reply.message.isEmpty())
        print(reply.ok ? stdout : stderr, reply.message);
}

int runResident(int argc, char **argv, const Command &command)
{
    memoryTuning::restartWithHugePages(argv);
    const PlatformLoader::Choice backend = PlatformLoader::prepare();
    if (backend.problem) {
        print(stderr, *backend.problem);
        return exitStatus::failed;
    }
    // Started in the background by a command: nobody reads standard error.
    if (command.detached && !logToFile(defaultLogFile()))
        print(stderr, QStringLiteral("zorv: cannot write the log file %1.").arg(defaultLogFile()));
    memoryTuning::returnLargeBuffers();
    // Qt's own event dispatcher: nothing here needs GLib's main loop, and leaving it
    // out keeps its pages out of the idle tray program. Programs Zorv starts (the
    // default application of an opened file) do not inherit the choice.
    const bool userChose = qEnvironmentVariableIsSet("QT_NO_GLIB");
    if (!userChose)
        qputenv("QT_NO_GLIB", "1");
    QApplication app(argc, argv);
    if (!userChose)
        qunsetenv("QT_NO_GLIB");
    QApplication::setApplicationName(QStringLiteral("Zorv"));
    QApplication::setOrganizationName(QStringLiteral("Zorv"));
    QApplication::setApplicationVersion(QStringLiteral(ZORV_VERSION));
    QApplication::setDesktopFileName(QStringLiteral("zorv"));
    QApplication::setQuitOnLastWindowClosed(false);
    // Qt refuses to decode pictures over 256 MB; a tall scrolling capture of a
    // 4K screen is larger, and the editor opens pictures up to 16384 pixels square.
    QImageReader::setAllocationLimit(2048);

    CommandRequests *requests = nullptr;
    InstanceServer server(
        [&requests](const InstanceRequest &request, const InstanceServer::Respond &respond) {
            if (requests)
                requests->handle(request, respond);
            else
                respond({false, QStringLiteral("zorv: Zorv is still starting."), 1, {}});
        });
    QString error;
    if (!server.listen(&error)) {
        // Lost a start-up race: hand the request to the winner instead.
        InstanceRequest forwarded;
        if (command.action)
            forwarded.command = captureAction::rawValue(*command.action);
        const auto reply = InstanceClient::send(forwarded);
        if (reply) {
            printReply(reply.value());
            return reply.value().status;
        }
        print(stderr, QStringLiteral("zorv: ") + error);
        return exitStatus::failed;
    }

    auto platform = PlatformLoader::load(backend);
    if (!platform) {
        print(stderr, platform.error());
        return exitStatus::failed;
    }
    Platform::install(std::move(platform.value()));
    Platform::shared().clipboard().setNotice([](const QString &text) {
        standardServices::toast()(text, QStringLiteral("exclamationmark.triangle.fill"), 4.0);
    });
    // The display is gone for good; the process ends when this returns. What worker threads
    // are writing (history, saves) is let finish, and the save folder is left as a clean end
    // would leave it. Files that cannot be finished now are taken up at the next start.
    Platform::shared().setDisplayLostHandler([] {
        logLine(QStringLiteral("the connection to the display broke (did the compositor stop?); "
                               "Zorv ends."));
        QThreadPool::globalInstance()->waitForDone(displayLostWaitMs);
        FileWriter::removeStaleTemporaryFiles(OutputService::shared().saveDirectory());
    });

    SignalWatcher signals; // SIGTERM, SIGINT, SIGHUP end the instance cleanly
    QObject::connect(&signals, &SignalWatcher::signalled, &app, &standardServices::quit);
    QObject::connect(&app, &QCoreApplication::aboutToQuit, [] {
        HotKeyCenter::shared().unregisterAll();
        HotKeyCenter::shared().clearTables();
    });

    CaptureCoordinator &coordinator = CaptureCoordinator::shared();
    ShortcutRegistrar shortcuts(
        HotKeyCenter::shared(), AppSettings::shared(), Platform::shared().capabilities(),
        [&coordinator](CaptureAction action) {
            Trace::mark("hotkey-pressed");
            coordinator.perform(action);
        },
        standardServices::toast());
    // Through a portal the desktop answers later: "hotkeys-bound" marks its answer.
    QObject::connect(&HotKeyCenter::shared(), &HotKeyCenter::settled, &app,
                     [] { Trace::mark("hotkeys-bound"); });
    shortcuts.registerAll();
    Trace::mark("hotkeys-registered");

    // The window itself is built only when it is first opened.
    SettingsWindowController settingsWindow(standardServices::settingsWindow(shortcuts));
    standardServices::setSettingsWindow(&settingsWindow);
    CommandRequests commandRequests(
        coordinator, &standardServices::quit,
        [&settingsWindow] { settingsWindow.open(SettingsTab::general); },
        &standardServices::showHistoryWindow);
    requests = &commandRequests;
    if (!command.suppressWelcome)
        WelcomeWindow::presentAtStart(standardServices::welcome());

    // The tray icon comes after the hot keys, so that they work at once; the
    // panel's window is made on its first opening.
    GlassMenuController panel(standardServices::glassMenuActions(coordinator),
                              standardServices::glassMenuServices());
    StatusBarController statusBar(panel, Platform::shared().windowSystem(),
                                  standardServices::toast());
    QTimer::singleShot(0, &app, [&statusBar] {
        statusBar.install();
        Trace::mark("tray-installed");
    });
    // The tray turns red while a recording runs, and its stop entry stops it.
    RecordingController &recording = standardServices::recording();
    QObject::connect(&recording, &RecordingController::recordingChanged, &statusBar,
                     &StatusBarController::setRecording);

    // Once running: open the history (it tidies its folder and takes up captures
    // a crash left unlisted) and clear what killed writes left in the save folder.
    QTimer::singleShot(0, &app, [&recording] {
        HistoryStore::shared();
        FileWriter::removeStaleTemporaryFiles(OutputService::shared().saveDirectory());
        // Recordings a crash cut short: kept when they play, never left to pile up.
        recording.adoptLeftovers(&VideoThumbnail::playableFrameSize);
    });

    if (command.action) {
        const auto action = *command.action;
        QMetaObject::invokeMethod(
            &app, [&coordinator, action] { coordinator.perform(action); }, Qt::QueuedConnection);
    }
    const int status = QApplication::exec();
    // A shortcut field closed while recording registers the shortcuts again:
    // that must happen while the platform is still there, and be undone.
    settingsWindow.closeNow();
    HotKeyCenter::shared().unregisterAll();
    requests = nullptr;
    Platform::shutDown();
    return status;
}

// Starts a resident instance in the background and waits until it answers.
// It gets none of this command's standard streams, so that a caller reading
// them (`out=$(zorv fullScreen)`) sees their end when this command exits.
bool startResident(const QString &program)
{
    QProcess resident;
    resident.setProgram(program);
    resident.setArguments({QStringLiteral("--resident")});
    resident.setStandardInputFile(QProcess::nullDevice());
    resident.setStandardOutputFile(QProcess::nullDevice());
    resident.setStandardErrorFile(QProcess::nullDevice());
    if (!resident.startDetached())
        return false;
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < 10000) {
        if (InstanceClient::isRunning())
            return true;
        QThread::msleep(20);
    }
    return false;
}

// Writes what --output asked for: standard output, or the file, replaced in one step.
int writeOutput(const QString &output, const QByteArray &data)
{
    if (output == QLatin1String("-")) {
        if (std::fwrite(data.constData(), 1, size_t(data.size()), stdout) != size_t(data.size()) ||
            std::fflush(stdout) != 0) {
            print(stderr, QStringLiteral("zorv: cannot write to standard output."));
            return exitStatus::failed;
        }
        return exitStatus::done;
    }
    if (const auto error = FileWriter::replaceFile(output, data)) {
        print(stderr, QStringLiteral("zorv: ") + error->description());
        return exitStatus::failed;
    }
    return exitStatus::done;
}

int runClient(int argc, char **argv, const Command &command)
{
    QCoreApplication app(argc, argv);
    InstanceRequest request;
    if (command.kind == Command::Kind::quit)
        request.command = QStringLiteral("--quit");
    else if (command.kind == Command::Kind::settings)
        request.command = QStringLiteral("--settings");
    else if (command.kind == Command::Kind::history)
        request.command = QStringLiteral("--history");
    else
        request.command = captureAction::rawValue(*command.action);
    request.wantsImage = command.output.has_value();
    if (command.outputFormat)
        request.format = imageFormat::rawValue(*command.outputFormat);
    // A capture the user still has to choose may take any time.
    const int answerTimeout = request.wantsImage ? -1 : 5000;

    auto reply = InstanceClient::send(request, answerTimeout);
    if (!reply && reply.error() == InstanceClient::Failure::noAnswer) {
        print(stderr, QStringLiteral("zorv: Zorv is running but did not answer (is it stopped "
                                     "or busy?)."));
        return exitStatus::failed;
    }
    if (!reply && command.kind == Command::Kind::quit) {
        print(stderr, QStringLiteral("zorv: Zorv is not running."));
        return exitStatus::failed;
    }
    if (!reply) {
        // Say why before starting a resident that could not work.
        if (const auto problem = PlatformLoader::prepare().problem) {
            print(stderr, *problem);
            return exitStatus::failed;
        }
        if (!startResident(QCoreApplication::applicationFilePath())) {
            print(stderr, QStringLiteral("zorv: could not start Zorv."));
            return exitStatus::failed;
        }
        reply = InstanceClient::send(request, answerTimeout);
    }
    if (!reply) {
        print(stderr, QStringLiteral("zorv: Zorv did not answer."));
        return exitStatus::failed;
    }
    printReply(reply.value());
    if (!reply.value().ok)
        return reply.value().status != exitStatus::done ? reply.value().status : exitStatus::failed;
    if (command.output)
        return writeOutput(*command.output, reply.value().data);
    return exitStatus::done;
}

} // namespace

int runApplication(int argc, char **argv)
{
    Trace::mark("process-start");
    QStringList arguments;
    for (int i = 1; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    const Command command = parseCommandLine(arguments);

    switch (command.kind) {
    case Command::Kind::help:
        print(stdout, helpText(PlatformLoader::choose().capabilities));
        return exitStatus::done;
    case Command::Kind::version:
        print(stdout, QStringLiteral("zorv " ZORV_VERSION));
        return exitStatus::done;
    case Command::Kind::invalid:
        print(stderr, command.error);
        return exitStatus::usage;
    case Command::Kind::action:
        if (const auto reason = captureAction::unavailableReason(
                *command.action, PlatformLoader::choose().capabilities)) {
            print(stderr, QStringLiteral("zorv: %1 is not available: %2.")
                              .arg(captureAction::rawValue(*command.action), *reason));
            return exitStatus::usage;
        }
        if (command.detached)
            return runResident(argc, argv, command);
        return runClient(argc, argv, command);
    case Command::Kind::quit:
    case Command::Kind::settings:
    case Command::Kind::history:
        return runClient(argc, argv, command);
    case Command::Kind::resident:
        if (!command.detached && InstanceClient::isRunning()) {
            print(stdout, QStringLiteral("Zorv is already running."));
            return exitStatus::done;
        }
        return runResident(argc, argv, command);
    }
    return exitStatus::done;
}

} // namespace zorv
