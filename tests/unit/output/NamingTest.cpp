#include "output/Naming.h"
#include "output/OutputService.h"
#include "support/Files.h"

#include <QTemporaryDir>
#include <QTimeZone>
#include <gtest/gtest.h>

using namespace zorv;

namespace
{
// 5 March 2026, 14:07:09 local time.
const QDateTime sampleDate(QDate(2026, 3, 5), QTime(14, 7, 9), QTimeZone::systemTimeZone());
} // namespace

TEST(Naming, FillsTheTemplate)
{
    const std::pair<QString, QString> cases[] = {
        {"Zorv {date} at {time}", "Zorv 2026-03-05 at 14.07.09.png"},
        {QString(), "Zorv 2026-03-05 at 14.07.09.png"},
        {"{date} {date}", "2026-03-05 2026-03-05.png"},
        {"{timestamp}", QString::number(sampleDate.toSecsSinceEpoch()) + ".png"},
        {"{other} {Date}", "{other} {Date}.png"},
        {"a//b", "a--b.png"},
        {"x:\\?%*|\"<>y", "x---------y.png"},
        {"a\nb\tc\001d\037\177\u0085e", "a-b-c-d---e.png"},
        {".", "-.png"},
        {"..", "--.png"},
        {".hidden", "-hidden.png"},
        {"..{date}", "--2026-03-05.png"},
        {"a.b .c", "a.b .c.png"}};
    for (const auto &[nameTemplate, expected] : cases)
        EXPECT_EQ(Naming::fileName(nameTemplate, sampleDate, "png"), expected);
}

TEST(Naming, ShortensLongNamesInOnePassKeepingTheExtension)
{
    const QString templates[] = {
        QStringLiteral("a").repeated(400) + " {date}",
        QStringLiteral("é").repeated(400) + " {date}",
        QStringLiteral("😀").repeated(400) + " {date}",
        // Shortening by re-encoding the name per removed character would take hours here.
        QStringLiteral("é😀").repeated(3'500'000) + "{date}"};
    for (const QString &nameTemplate : templates) {
        const QString name = Naming::fileName(nameTemplate, sampleDate, "heic");
        SCOPED_TRACE(name.left(8).toStdString());
        EXPECT_TRUE(name.endsWith(".heic") && name.startsWith(nameTemplate.left(4)));
        // Room is left for the " 2", " 3", … of a unique name.
        EXPECT_LE((name + " 99").toUtf8().size(), Naming::maxFileNameBytes);
        EXPECT_EQ(QString::fromUtf8(name.toUtf8()), name); // no half surrogate pair
    }
}

TEST(OutputService, UniqueURLCountsUpFromTwo)
{
    const struct {
        QStringList present; // "@name": a link to nothing
        QString name;
        QString expected;
    } cases[] = {{{}, "shot.png", "shot.png"},
                 {{"shot.png"}, "shot.png", "shot 2.png"},
                 {{"shot.png", "shot 2.png"}, "shot.png", "shot 3.png"},
                 {{"shot 2.png"}, "shot.png", "shot.png"},
                 {{"a.b.png"}, "a.b.png", "a.b 2.png"},
                 {{"notes"}, "notes", "notes 2"},
                 {{"@shot.png"}, "shot.png", "shot 2.png"}};
    for (const auto &c : cases) {
        QTemporaryDir dir;
        for (const QString &name : c.present) {
            ASSERT_TRUE(name.startsWith('@')
                            ? QFile::link(dir.filePath("gone"), dir.filePath(name.mid(1)))
                            : test::writeFile(dir.filePath(name), "x"));
        }
        EXPECT_EQ(OutputService::uniqueURL(dir.path(), c.name), dir.filePath(c.expected))
            << c.present.join(QLatin1Char(',')).toStdString();
    }
}
