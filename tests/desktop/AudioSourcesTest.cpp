#include "DesktopSupport.h"
#include "platform/linux/PulseAudioSources.h"

using namespace zorv;

// The virtual desktop's sound server has one microphone (a sine source) and the
// monitor of its null output, which records system audio and is no microphone.
TEST(PulseAudioSources, ListsMicrophonesWithoutMonitorsAndSaysWhenNoServerAnswers)
{
    if (qEnvironmentVariableIsEmpty("PULSE_SERVER"))
        GTEST_SKIP() << "no sound server: run inside scripts/desktop.sh without --no-audio";
    const auto listed = PulseAudioSources::query(3000);
    ASSERT_TRUE(listed) << listed.error().toStdString();
    QStringList ids;
    for (const AudioSource &source : listed.value())
        ids.append(source.id);
    EXPECT_EQ(ids, QStringList{QStringLiteral("vd_mic")});

    const QByteArray server = qgetenv("PULSE_SERVER");
    qputenv("PULSE_SERVER", "unix:/nonexistent/pulse/native");
    const auto missing = PulseAudioSources::query(3000);
    qputenv("PULSE_SERVER", server);
    ASSERT_FALSE(missing);
    EXPECT_EQ(missing.error(), QStringLiteral("no sound server answers"));
}
