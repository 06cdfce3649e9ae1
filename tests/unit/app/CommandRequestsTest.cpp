#include "app/CommandRequests.h"
#include "app/CommandLine.h"
#include "unit/app/AppTestSupport.h"

#include <QTemporaryDir>
#include <future>

using namespace zorv;
using namespace zorv::test;

namespace
{
struct CommandRequestsTest : CaptureWorld {
    void SetUp() override
    {
        CaptureWorld::SetUp();
        handler = std::make_unique<CommandRequests>(
            *coordinator, [this] { ++quits; }, [this] { ++settingsOpened; },
            [this] { ++historyShown; });
    }

    InstanceReply ask(InstanceRequest request)
    {
        reply.reset();
        handler->handle(request, [this](const InstanceReply &r) { reply = r; });
        EXPECT_TRUE(QTest::qWaitFor([this] { return reply.has_value(); }, 5000));
        return reply.value_or(InstanceReply{});
    }

    std::unique_ptr<CommandRequests> handler;
    std::optional<InstanceReply> reply;
    int quits = 0;
    int settingsOpened = 0;
    int historyShown = 0;
};
} // namespace

TEST_F(CommandRequestsTest, RefusesWhatThisDesktopCannotDoWithTheReason)
{
    platform.caps.windowCapture = false;
    const std::pair<QString, QString> cases[] = {
        {"window", "zorv: window is not available: this desktop does not let Zorv capture single "
                   "windows."},
        {"Window", "zorv: unknown action 'Window'."}};
    for (const auto &[command, message] : cases) {
        const InstanceReply refused = ask({command, false, {}});
        EXPECT_EQ(std::tuple(refused.ok, refused.status, refused.message),
                  std::tuple(false, exitStatus::usage, message));
    }
    EXPECT_TRUE(requests.isEmpty());
    EXPECT_EQ(platform.screen.grabCount, 0);
}

TEST_F(CommandRequestsTest, CancelledAndFailedCapturesEndWithTheirOwnStatus)
{
    handler->handle({"area", true, {}}, [this](const InstanceReply &r) { reply = r; });
    ASSERT_EQ(requests.size(), 1);
    EXPECT_FALSE(reply); // waits for the overlay
    requests.last().completion(std::nullopt);
    ASSERT_TRUE(QTest::qWaitFor([&] { return reply.has_value(); }, 2000));
    EXPECT_EQ(reply->status, exitStatus::cancelled);

    platform.screen.failure = CaptureError(CaptureError::Code::noDisplay);
    const InstanceReply failed = ask({"fullScreen", true, {}});
    EXPECT_EQ(failed.status, exitStatus::failed);
    EXPECT_EQ(failed.message, "zorv: No display available to capture.");

    EXPECT_TRUE(ask({"--settings", false, {}}).ok);
    EXPECT_EQ(settingsOpened, 1);
    EXPECT_TRUE(ask({"--history", false, {}}).ok);
    EXPECT_EQ(historyShown, 1);
    EXPECT_TRUE(ask({"--quit", false, {}}).ok);
    EXPECT_EQ(quits, 1);
}

// The channel end to end: the command blocks in a thread of its own while this
// thread's event loop serves it.
TEST(InstanceChannelTest, CarriesLargeRepliesDropsGoneCommandsAndReportsNoInstance)
{
    QTemporaryDir runtime;
    const QByteArray savedRuntime = qgetenv("XDG_RUNTIME_DIR");
    qputenv("XDG_RUNTIME_DIR", runtime.path().toLocal8Bit());
    const auto send = [](const InstanceRequest &request, int timeoutMs) {
        auto sent = std::async(std::launch::async,
                               [=] { return InstanceClient::send(request, timeoutMs); });
        EXPECT_TRUE(QTest::qWaitFor(
            [&] { return sent.wait_for(std::chrono::seconds(0)) == std::future_status::ready; },
            10000));
        return sent.get();
    };

    // A socket file left by an instance that was killed does not stop the next one.
    QFile stale(instanceSocketPath());
    ASSERT_TRUE(stale.open(QIODevice::WriteOnly));
    stale.close();
    EXPECT_EQ(send({"--quit", false, {}}, 1000).error(), InstanceClient::Failure::notRunning);

    std::vector<InstanceRequest> received;
    InstanceServer::Respond held;
    QByteArray image(9 * 1024 * 1024, Qt::Uninitialized);
    for (qsizetype i = 0; i < image.size(); ++i)
        image[i] = char(i * 7 / 3);
    auto server = std::make_unique<InstanceServer>(
        [&](const InstanceRequest &request, InstanceServer::Respond respond) {
            received.push_back(request);
            if (request.command == "area")
                held = std::move(respond); // the user is still choosing
            else
                respond({true, "done", 4, request.wantsImage ? image : QByteArray()});
        });
    QString error;
    ASSERT_TRUE(server->listen(&error)) << error.toStdString();
    EXPECT_TRUE(std::async(std::launch::async, InstanceClient::isRunning).get());

    const auto large = send({"fullScreen", true, "jpeg"}, 5000);
    ASSERT_TRUE(large);
    EXPECT_EQ(std::tuple(large.value().ok, large.value().message, large.value().status),
              std::tuple(true, QString("done"), 4));
    EXPECT_TRUE(large.value().data == image);
    ASSERT_EQ(received.size(), 1u);
    EXPECT_EQ(std::tuple(received[0].command, received[0].wantsImage, received[0].format),
              std::tuple(QString("fullScreen"), true, QString("jpeg")));

    // A command that gave up while this instance was busy (no event loop) must
    // not run later; one that gave up on a pending answer is not written to.
    auto gaveUp = std::async(std::launch::async, [] {
        return InstanceClient::send({"--quit", false, {}}, 300);
    });
    EXPECT_EQ(gaveUp.get().error(), InstanceClient::Failure::noAnswer);
    auto waiting = std::async(std::launch::async, [] {
        return InstanceClient::send({"area", false, {}}, 300);
    });
    ASSERT_TRUE(QTest::qWaitFor([&] { return bool(held); }, 5000));
    EXPECT_EQ(waiting.get().error(), InstanceClient::Failure::noAnswer);
    held({true, "late", 0, image});
    EXPECT_TRUE(send({"--settings", false, {}}, 5000));

    server.reset();
    EXPECT_EQ(send({"--quit", false, {}}, 1000).error(), InstanceClient::Failure::notRunning);
    EXPECT_EQ(received.size(), 3u);
    qputenv("XDG_RUNTIME_DIR", savedRuntime);
}
