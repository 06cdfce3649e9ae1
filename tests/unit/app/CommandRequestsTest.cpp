#include "app/CommandRequests.h"
#include "app/CommandLine.h"
#include "unit/app/AppTestSupport.h"

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
        {"ocr", "zorv: ocr is not available: not available in this version of Zorv yet."},
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
