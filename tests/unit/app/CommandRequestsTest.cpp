#include "app/CommandRequests.h"
#include "app/CommandLine.h"
#include "unit/app/AppTestSupport.h"

#include <QGuiApplication>
#include <QScreen>

using namespace zorv;
using namespace zorv::test;

namespace
{
struct CommandRequestsTest : CaptureWorld {
    void SetUp() override
    {
        CaptureWorld::SetUp();
        platform.screen.displayList = {{1, QGuiApplication::primaryScreen()->geometry()}};
        requestsHandler = std::make_unique<CommandRequests>(*coordinator, [this] { ++quits; });
    }

    InstanceReply ask(InstanceRequest request)
    {
        std::optional<InstanceReply> reply;
        requestsHandler->handle(request, [&reply](const InstanceReply &r) { reply = r; });
        EXPECT_TRUE(QTest::qWaitFor([&reply] { return reply.has_value(); }, 5000));
        return reply.value_or(InstanceReply{});
    }

    std::unique_ptr<CommandRequests> requestsHandler;
    int quits = 0;
};
} // namespace

TEST_F(CommandRequestsTest, RefusesWhatThisDesktopCannotDoWithTheReason)
{
    platform.caps.windowCapture = false;
    const struct {
        QString command;
        QString message;
    } cases[] = {
        {"window", "zorv: window is not available: this desktop does not let Zorv capture single "
                   "windows."},
        {"ocr", "zorv: ocr is not available: not available in this version of Zorv yet."},
        {"Window", "zorv: unknown action 'Window'."},
    };
    for (const auto &c : cases) {
        const InstanceReply reply = ask({c.command, false, {}});
        EXPECT_FALSE(reply.ok) << qPrintable(c.command);
        EXPECT_EQ(reply.status, exitStatus::usage) << qPrintable(c.command);
        EXPECT_EQ(reply.message, c.message);
    }
    EXPECT_TRUE(requests.isEmpty());
    EXPECT_EQ(platform.screen.grabCount, 0);
}

TEST_F(CommandRequestsTest, AWaitingCommandGetsTheDeliveredCaptureInItsFormat)
{
    const InstanceReply png = ask({"fullScreen", true, {}});
    ASSERT_TRUE(png.ok) << qPrintable(png.message);
    EXPECT_TRUE(png.data.startsWith("\x89PNG"));
    EXPECT_EQ(QImage::fromData(png.data).size(), QGuiApplication::primaryScreen()->size());
    EXPECT_EQ(history->items().size(), 1); // delivered as usual

    const InstanceReply jpeg = ask({"fullScreen", true, "jpeg"});
    ASSERT_TRUE(jpeg.ok);
    EXPECT_TRUE(jpeg.data.startsWith("\xFF\xD8"));
    EXPECT_EQ(history->items().size(), 2);
}

TEST_F(CommandRequestsTest, CancelledAndFailedCapturesEndWithTheirOwnStatus)
{
    std::optional<InstanceReply> cancelled;
    requestsHandler->handle({"area", true, {}},
                            [&cancelled](const InstanceReply &r) { cancelled = r; });
    ASSERT_EQ(requests.size(), 1);
    EXPECT_FALSE(cancelled); // waits for the overlay
    requests.last().completion(std::nullopt);
    ASSERT_TRUE(QTest::qWaitFor([&] { return cancelled.has_value(); }, 2000));
    EXPECT_EQ(cancelled->status, exitStatus::cancelled);

    platform.screen.failure = CaptureError(CaptureError::Code::noDisplay);
    const InstanceReply failed = ask({"fullScreen", true, {}});
    EXPECT_EQ(failed.status, exitStatus::failed);
    EXPECT_EQ(failed.message, "zorv: No display available to capture.");

    EXPECT_TRUE(ask({"--quit", false, {}}).ok);
    EXPECT_EQ(quits, 1);
}
