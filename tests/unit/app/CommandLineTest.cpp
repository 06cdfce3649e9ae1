#include "app/CommandLine.h"
#include "app/MemoryTuning.h"

#include <QRegularExpression>
#include <gtest/gtest.h>

using namespace zorv;

TEST(CommandLine, ParsesActionsAndOptions)
{
    struct Case {
        QStringList args;
        Command::Kind kind;
        std::optional<CaptureAction> action;
        bool suppressWelcome;
    };
    const Case cases[] = {
        {{}, Command::Kind::resident, std::nullopt, false},
        {{"fullScreen"}, Command::Kind::action, CaptureAction::fullScreen, false},
        {{"repeatLastArea", "--x"}, Command::Kind::action, CaptureAction::repeatLastArea, true},
        {{"--quit"}, Command::Kind::quit, std::nullopt, true},
        {{"--settings"}, Command::Kind::settings, std::nullopt, true},
        {{"--history"}, Command::Kind::history, std::nullopt, true},
        {{"--history", "area"}, Command::Kind::invalid, CaptureAction::area, true},
        {{"area", "--settings"}, Command::Kind::invalid, CaptureAction::area, true},
        {{"--help"}, Command::Kind::help, std::nullopt, true},
        {{"-h"}, Command::Kind::help, std::nullopt, false},
        {{"--version"}, Command::Kind::version, std::nullopt, true},
        {{"--status-title"}, Command::Kind::resident, std::nullopt, true},
        {{"FullScreen"}, Command::Kind::invalid, std::nullopt, false},
        {{"area", "window"}, Command::Kind::invalid, CaptureAction::area, false},
    };
    for (const Case &c : cases) {
        const Command command = parseCommandLine(c.args);
        EXPECT_EQ(std::tuple(command.kind, command.action, command.suppressWelcome),
                  std::tuple(c.kind, c.action, c.suppressWelcome))
            << c.args.join(' ').toStdString();
    }
    EXPECT_TRUE(parseCommandLine({"--resident"}).detached);
    EXPECT_EQ(parseCommandLine({"bogus"}).error,
              "zorv: unknown action 'bogus'. Try 'zorv --help'.");
}

TEST(CommandLine, OutputNamesAFileOrStandardOutputForImageActionsOnly)
{
    struct Case {
        QStringList args;
        std::optional<QString> output;
        std::optional<ImageFormat> format;
        bool valid;
    };
    const Case cases[] = {
        {{"fullScreen", "--output", "shot.png"}, "shot.png", ImageFormat::png, true},
        {{"--output", "a.JPEG", "area"}, "a.JPEG", ImageFormat::jpeg, true},
        {{"window", "-o", "/tmp/w.heic"}, "/tmp/w.heic", ImageFormat::heic, true},
        {{"fullScreen", "--output", "-"}, "-", std::nullopt, true},
        {{"repeatLastArea", "--output", "noext"}, "noext", std::nullopt, true},
        {{"fullScreen", "--output", "a.webp"}, "a.webp", std::nullopt, false},
        {{"fullScreen", "--output"}, std::nullopt, std::nullopt, false},
        {{"pinLast", "--output", "a.png"}, "a.png", ImageFormat::png, false},
        {{"--output", "a.png"}, "a.png", ImageFormat::png, false},
    };
    for (const Case &c : cases) {
        const Command command = parseCommandLine(c.args);
        EXPECT_EQ(std::tuple(command.kind != Command::Kind::invalid, command.error.isEmpty(),
                             command.output, command.outputFormat),
                  std::tuple(c.valid, c.valid, c.output, c.format))
            << c.args.join(' ').toStdString();
    }
}

TEST(CommandLine, HelpListsEveryActionWithTheReasonForThoseThisDesktopCannotDo)
{
    PlatformCapabilities caps;
    caps.windowList = true;
    const QString help = helpText(caps);
    for (CaptureAction action : captureAction::all())
        EXPECT_TRUE(help.contains(captureAction::rawValue(action)));
    EXPECT_TRUE(help.contains(QRegularExpression("fullScreen +Capture Full Screen\n")));
    EXPECT_TRUE(help.contains(QRegularExpression("window +Capture Window \\(this desktop does "
                                                 "not let Zorv capture single windows\\)")));
    EXPECT_TRUE(help.contains("--output FILE"));
}

TEST(MemoryTuning, AddsTheHugePageTunableWithoutOverridingTheUser)
{
    EXPECT_EQ(memoryTuning::withHugePages(""), QByteArray("glibc.malloc.hugetlb=1"));
    // Other tunables are kept, in glibc's colon-separated list.
    EXPECT_EQ(memoryTuning::withHugePages("glibc.malloc.check=3"),
              QByteArray("glibc.malloc.check=3:glibc.malloc.hugetlb=1"));
    // A value already there (also one that turns it off) is the user's choice,
    // and it is what ends the restart: no second restart ever follows.
    EXPECT_EQ(memoryTuning::withHugePages("glibc.malloc.hugetlb=0"), std::nullopt);
    EXPECT_EQ(memoryTuning::withHugePages("glibc.malloc.check=3:glibc.malloc.hugetlb=1"),
              std::nullopt);
}
