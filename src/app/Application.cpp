#include "app/Application.h"

#include "app/CaptureCoordinator.h"
#include "app/CommandLine.h"
#include "app/InstanceChannel.h"
#include "app/MemoryTuning.h"
#include "app/SignalWatcher.h"
#include "common/Log.h"
#include "common/Trace.h"
#include "platform/Platform.h"
#include "platform/PlatformLoader.h"
#include "settings/AppSettings.h"
#include "settings/HotKeyCenter.h"

#include <QApplication>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QThread>
#include <cstdio>

namespace zorv
{

namespace
{

void print(FILE *stream, const QString &text)
{
    const QByteArray bytes = text.toLocal8Bit();
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stream);
    if (!text.endsWith(QLatin1Char('\n')))
        std::fputc('\n', stream);
}

// Runs a request inside the resident instance.
InstanceReply handleRequest(const QString &request)
{
    if (request == QLatin1String("--quit")) {
        QMetaObject::invokeMethod(qApp, &QCoreApplication::quit, Qt::QueuedConnection);
        return {true, {}};
    }
    if (request.isEmpty())
        return {true, QStringLiteral("Zorv is already running.")};
    const auto action = captureAction::fromRawValue(request);
    if (!action)
        return {false, QStringLiteral("zorv: unknown action '%1'.").arg(request)};
    if (!CaptureCoordinator::isAvailable(*action))
        return {false, QStringLiteral("zorv: %1 is not available yet.").arg(request)};
    CaptureCoordinator::shared().perform(*action);
    return {true, {}};
}

HotKeyMap availableHotKeys(const HotKeyMap &all)
{
    HotKeyMap map;
    for (auto it = all.cbegin(); it != all.cend(); ++it) {
        if (CaptureCoordinator::isAvailable(it.key()))
            map.insert(it.key(), it.value());
    }
    return map;
}

void registerHotKeys()
{
    HotKeyCenter::shared().reload(availableHotKeys(AppSettings::shared().hotkeys()),
                                  [](CaptureAction action) {
                                      Trace::mark("hotkey-pressed");
                                      CaptureCoordinator::shared().perform(action);
                                  });
    Trace::mark("hotkeys-registered");
}

int runResident(int argc, char **argv, const Command &command)
{
    memoryTuning::restartWithHugePages(argv);
    const PlatformLoader::Choice backend = PlatformLoader::prepare();
    if (backend.problem) {
        print(stderr, *backend.problem);
        return 1;
    }
    memoryTuning::returnLargeBuffers();
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Zorv"));
    QApplication::setOrganizationName(QStringLiteral("Zorv"));
    QApplication::setApplicationVersion(QStringLiteral(ZORV_VERSION));
    QApplication::setDesktopFileName(QStringLiteral("zorv"));
    QApplication::setQuitOnLastWindowClosed(false);

    QString error;
    InstanceServer server(&handleRequest);
    if (!server.listen(&error)) {
        // Lost a start-up race: hand the request to the winner instead.
        if (const auto reply = InstanceClient::send(
                command.action ? captureAction::rawValue(*command.action) : QString())) {
            if (!reply->message.isEmpty())
                print(reply->ok ? stdout : stderr, reply->message);
            return reply->ok ? 0 : 1;
        }
        print(stderr, QStringLiteral("zorv: ") + error);
        return 1;
    }

    auto platform = PlatformLoader::load(backend);
    if (!platform) {
        print(stderr, platform.error());
        return 1;
    }
    Platform::install(std::move(platform.value()));

    SignalWatcher signals; // SIGTERM, SIGINT, SIGHUP end the instance cleanly
    QObject::connect(&signals, &SignalWatcher::signalled, &app, &QCoreApplication::quit);
    QObject::connect(&app, &QCoreApplication::aboutToQuit, [] {
        HotKeyCenter::shared().unregisterAll();
        HotKeyCenter::shared().clearTables();
    });

    registerHotKeys();
    if (command.action) {
        const auto action = *command.action;
        QMetaObject::invokeMethod(
            &app, [action] { CaptureCoordinator::shared().perform(action); }, Qt::QueuedConnection);
    }
    const int status = QApplication::exec();
    Platform::shutDown();
    return status;
}

// Starts a resident instance in the background and waits until it answers.
bool startResident(const QString &program)
{
    if (!QProcess::startDetached(program, {QStringLiteral("--resident")}))
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

int runClient(int argc, char **argv, const Command &command)
{
    QCoreApplication app(argc, argv);
    const QString request = command.kind == Command::Kind::quit
                                ? QStringLiteral("--quit")
                                : captureAction::rawValue(*command.action);
    auto reply = InstanceClient::send(request);
    if (!reply && command.kind == Command::Kind::quit) {
        print(stderr, QStringLiteral("zorv: Zorv is not running."));
        return 1;
    }
    if (!reply) {
        // Say why before starting a resident that could not work.
        if (const auto problem = PlatformLoader::prepare().problem) {
            print(stderr, *problem);
            return 1;
        }
        if (!startResident(QCoreApplication::applicationFilePath())) {
            print(stderr, QStringLiteral("zorv: could not start Zorv."));
            return 1;
        }
        reply = InstanceClient::send(request);
    }
    if (!reply) {
        print(stderr, QStringLiteral("zorv: Zorv did not answer."));
        return 1;
    }
    if (!reply->message.isEmpty())
        print(reply->ok ? stdout : stderr, reply->message);
    return reply->ok ? 0 : 2;
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
        print(stdout, helpText(CaptureCoordinator::availableActions()));
        return 0;
    case Command::Kind::version:
        print(stdout, QStringLiteral("zorv " ZORV_VERSION));
        return 0;
    case Command::Kind::invalid:
        print(stderr, command.error);
        return 2;
    case Command::Kind::action:
        if (!CaptureCoordinator::isAvailable(*command.action)) {
            print(stderr, QStringLiteral("zorv: %1 is not available yet.")
                              .arg(captureAction::rawValue(*command.action)));
            return 2;
        }
        if (command.detached)
            return runResident(argc, argv, command);
        return runClient(argc, argv, command);
    case Command::Kind::quit:
        return runClient(argc, argv, command);
    case Command::Kind::resident:
        if (!command.detached && InstanceClient::isRunning()) {
            print(stdout, QStringLiteral("Zorv is already running."));
            return 0;
        }
        return runResident(argc, argv, command);
    }
    return 0;
}

} // namespace zorv
