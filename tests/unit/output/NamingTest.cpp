#include "output/Naming.h"
#include "OutputTestSupport.h"
#include "output/OutputService.h"

#include <QTimeZone>
#include <gtest/gtest.h>

using namespace zorv;

namespace
{

// 5 March 2026, 14:07:09 local time.
QDateTime sampleDate()
{
    return QDateTime(QDate(2026, 3, 5), QTime(14, 7, 9), QTimeZone::systemTimeZone());
}

} // namespace

TEST(Naming, FillsTheTemplate)
{
    const QString timestamp = QString::number(sampleDate().toSecsSinceEpoch());
    const struct {
        QString nameTemplate;
        QString expected;
    } cases[] = {
        {QStringLiteral("Zorv {date} at {time}"),
         QStringLiteral("Zorv 2026-03-05 at 14.07.09.png")},
        {QStringLiteral("{date}"), QStringLiteral("2026-03-05.png")},
        {QString(), QStringLiteral("Zorv 2026-03-05 at 14.07.09.png")},
        {QStringLiteral("{date} {date}"), QStringLiteral("2026-03-05 2026-03-05.png")},
        {QStringLiteral("{timestamp}"), timestamp + QStringLiteral(".png")},
        {QStringLiteral("{other} {Date}"), QStringLiteral("{other} {Date}.png")},
        {QStringLiteral("a//b"), QStringLiteral("a--b.png")},
        {QStringLiteral("x:\\?%*|\"<>y"), QStringLiteral("x---------y.png")},
        {QStringLiteral("  spaced  "), QStringLiteral("  spaced  .png")},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.nameTemplate.toStdString());
        EXPECT_EQ(Naming::fileName(c.nameTemplate, sampleDate(), QStringLiteral("png")),
                  c.expected);
    }
}

TEST(Naming, ShortensLongNamesKeepingTheExtension)
{
    for (const QString &unit : {QStringLiteral("a"), QStringLiteral("é"), QStringLiteral("😀")}) {
        const QString name = Naming::fileName(unit.repeated(400) + QStringLiteral(" {date}"),
                                              sampleDate(), QStringLiteral("heic"));
        SCOPED_TRACE(name.toStdString());
        EXPECT_TRUE(name.endsWith(QStringLiteral(".heic")));
        EXPECT_TRUE(name.startsWith(unit));
        // Room is left for the " 2", " 3", … of a unique name.
        EXPECT_LE((name + QStringLiteral(" 99")).toUtf8().size(), Naming::maxFileNameBytes);
        EXPECT_FALSE(name.contains(QChar::ReplacementCharacter));
    }
}

TEST(OutputService, UniqueURLCountsUpFromTwo)
{
    const struct {
        QStringList present;
        QString name;
        QString expected;
    } cases[] = {
        {{}, QStringLiteral("shot.png"), QStringLiteral("shot.png")},
        {{QStringLiteral("shot.png")}, QStringLiteral("shot.png"), QStringLiteral("shot 2.png")},
        {{QStringLiteral("shot.png"), QStringLiteral("shot 2.png")},
         QStringLiteral("shot.png"),
         QStringLiteral("shot 3.png")},
        {{QStringLiteral("shot 2.png")}, QStringLiteral("shot.png"), QStringLiteral("shot.png")},
        {{QStringLiteral("a.b.png")}, QStringLiteral("a.b.png"), QStringLiteral("a.b 2.png")},
        {{QStringLiteral("notes")}, QStringLiteral("notes"), QStringLiteral("notes 2")},
    };
    for (const auto &c : cases) {
        QTemporaryDir dir;
        for (const QString &name : c.present)
            ASSERT_TRUE(test::writeFile(dir.filePath(name), "x"));
        EXPECT_EQ(OutputService::uniqueURL(dir.path(), c.name), dir.filePath(c.expected))
            << c.present.join(QLatin1Char(',')).toStdString();
    }
}

TEST(OutputService, UniqueURLTreatsADanglingLinkAsTaken)
{
    QTemporaryDir dir;
    ASSERT_TRUE(QFile::link(dir.filePath(QStringLiteral("gone")),
                            dir.filePath(QStringLiteral("shot.png"))));
    EXPECT_EQ(OutputService::uniqueURL(dir.path(), QStringLiteral("shot.png")),
              dir.filePath(QStringLiteral("shot 2.png")));
}
