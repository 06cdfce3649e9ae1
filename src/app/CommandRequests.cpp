#include "app/CommandRequests.h"

#include "app/CaptureCoordinator.h"
#include "app/CommandLine.h"
#include "common/WhenReady.h"
#include "output/encoding/ImageEncoder.h"

#include <QFuture>
#include <QPointer>
#include <QtConcurrent/QtConcurrentRun>

namespace zorv
{

namespace
{
InstanceReply refusal(const QString &message, int status)
{
    return {false, QStringLiteral("zorv: ") + message, status, {}};
}

// The delivered capture in the format asked for: the bytes the delivery made
// when they are in that format, else encoded again off the GUI thread.
void answerWithImage(const Delivery &delivery, const QString &formatName, QObject *context,
                     const InstanceServer::Respond &respond)
{
    const ImageFormat format = imageFormat::fromRawValue(formatName).value_or(delivery.format);
    if (delivery.data && format == delivery.format) {
        respond({true, {}, exitStatus::done, *delivery.data});
        return;
    }
    whenReady(QtConcurrent::run(&ImageEncoder::encode, delivery.image, format, delivery.quality),
              context, [respond](std::optional<QByteArray> bytes) {
                  if (bytes)
                      respond({true, {}, exitStatus::done, *bytes});
                  else
                      respond(refusal(QStringLiteral("the image couldn't be encoded."),
                                      exitStatus::failed));
              });
}
} // namespace

CommandRequests::CommandRequests(CaptureCoordinator &coordinator, std::function<void()> quit,
                                 std::function<void()> openSettings,
                                 std::function<void()> showHistory, QObject *parent)
    : QObject(parent), m_coordinator(coordinator), m_quit(std::move(quit)),
      m_openSettings(std::move(openSettings)), m_showHistory(std::move(showHistory))
{
}

void CommandRequests::handle(const InstanceRequest &request, const InstanceServer::Respond &respond)
{
    if (request.command == QLatin1String("--quit")) {
        respond({true, {}, exitStatus::done, {}});
        m_quit();
        return;
    }
    const std::pair<QLatin1String, const std::function<void()> *> windows[] = {
        {QLatin1String("--settings"), &m_openSettings},
        {QLatin1String("--history"), &m_showHistory},
    };
    for (const auto &[option, open] : windows) {
        if (request.command != option)
            continue;
        if (!*open) {
            respond(refusal(QStringLiteral("this Zorv has no window for %1.").arg(option),
                            exitStatus::failed));
            return;
        }
        (*open)(); // shown before the answer, so a script finds it when zorv returns
        respond({true, {}, exitStatus::done, {}});
        return;
    }
    if (request.command.isEmpty()) {
        respond({true, QStringLiteral("Zorv is already running."), exitStatus::done, {}});
        return;
    }
    const auto action = captureAction::fromRawValue(request.command);
    if (!action) {
        respond(refusal(QStringLiteral("unknown action '%1'.").arg(request.command),
                        exitStatus::usage));
        return;
    }
    if (const auto reason = m_coordinator.unavailableReason(*action)) {
        respond(refusal(QStringLiteral("%1 is not available: %2.").arg(request.command, *reason),
                        exitStatus::usage));
        return;
    }
    if (!request.wantsImage) {
        m_coordinator.perform(*action);
        respond({true, {}, exitStatus::done, {}});
        return;
    }
    QPointer<CommandRequests> self(this);
    m_coordinator.perform(
        *action, [self, respond, format = request.format](const CommandResult &result) {
            switch (result.status) {
            case CommandResult::Status::cancelled:
                respond(refusal(QStringLiteral("cancelled."), exitStatus::cancelled));
                return;
            case CommandResult::Status::failed:
                respond(refusal(result.message, exitStatus::failed));
                return;
            case CommandResult::Status::done:
                if (result.delivery && self)
                    answerWithImage(*result.delivery, format, self, respond);
                else
                    respond(refusal(QStringLiteral("nothing was captured."), exitStatus::failed));
                return;
            }
        });
}

} // namespace zorv
