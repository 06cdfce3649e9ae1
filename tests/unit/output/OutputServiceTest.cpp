#include "output/OutputService.h"
#include "output/FileWriter.h"
#include "support/Files.h"
#include "support/Images.h"
#include "support/TemporarySettings.h"

#include <QApplication>
#include <QClipboard>
#include <QFileDialog>
#include <QFileInfo>
#include <QMimeData>
#include <QScopeGuard>
#include <QTest>
#include <gtest/gtest.h>

#include <latch>
#include <thread>
#include <unistd.h>

using namespace zorv;
using Reason = FileError::Reason;

TEST(OutputService, SaveCreatesTheTildeFolderAndEncodesInTheChosenFormat)
{
    test::TemporarySettings fixture;
    const QByteArray oldHome = qgetenv("HOME");
    qputenv("HOME", fixture.dir.path().toUtf8());
    const auto restoreHome = qScopeGuard([&] { qputenv("HOME", oldHome); });
    fixture.settings->saveDirectoryPath.set("~/Shots/2026");
    const OutputService service(*fixture.settings);
    const QDir folder(fixture.dir.filePath("Shots/2026"));
    // JPEG too: the fullscreen journey's --output checks it.
    for (const auto &[format, name] :
         {std::pair{ImageFormat::png, "shot.png"}, {ImageFormat::heic, "shot.heic"}}) {
        fixture.settings->imageFormat.set(format);
        const QString url = service.save(test::solidImage(), std::nullopt, "shot.png").value().url;
        EXPECT_EQ(url, folder.filePath(name));
        EXPECT_EQ(test::decoded(test::readFile(url)).size(), QSize(64, 40)) << name;
    }
    // Bytes the caller encoded are written as they are.
    const auto given = service.save(test::solidImage(), QByteArray("encoded"), "x.jpg").value();
    EXPECT_EQ(test::readFile(given.url), "encoded");
    EXPECT_EQ(test::folderEntries(folder.path()).size(), 3);
}

TEST(OutputService, SaveReportsFolderPermissionAndEncodingProblemsWritingNothing)
{
    // What the file system answers maps to what the user is told.
    for (const int error : {EACCES, EPERM, EROFS, ENOSPC}) {
        const FileError mapped = FileError::fromErrno(error, "/locked/a.png", Reason::writeFailed);
        EXPECT_EQ(std::pair(mapped.reason(), mapped.path()),
                  error == ENOSPC ? std::pair(Reason::writeFailed, QString("/locked/a.png"))
                                  : std::pair(Reason::folderUnwritable, QString("/locked")));
    }
    test::TemporarySettings fixture;
    const QString file = fixture.dir.filePath("plain-file"),
                  locked = fixture.dir.filePath("locked");
    ASSERT_TRUE(test::writeFile(file, "x") && QDir().mkdir(locked) &&
                QFile::setPermissions(locked, QFileDevice::ReadOwner | QFileDevice::ExeOwner));
    const QString longName = QString(300, 'n');
    const struct {
        QString folder, fileName;
        Reason reason;
        QString inDescription;
    } cases[] = {{file, "a.png", Reason::folderIsFile, "is a file"},
                 {file + "/sub/deeper", "a.png", Reason::folderIsFile, file},
                 {fixture.dir.path(), longName + ".png", Reason::nameTooLong, "too long"},
                 {fixture.dir.filePath(longName), "a.png", Reason::nameTooLong, "too long"},
                 {fixture.dir.path(), "a.png", Reason::encodingFailed, ""},
                 {locked, "a.png", Reason::folderUnwritable, ""}};
    for (const auto &c : cases) {
        if (c.folder == locked && geteuid() == 0)
            continue; // permissions do not stop root: the mapping above is what can be checked
        fixture.settings->saveDirectoryPath.set(c.folder);
        const QImage image = c.reason == Reason::encodingFailed ? QImage() : test::solidImage();
        const FileError error =
            OutputService(*fixture.settings).save(image, std::nullopt, c.fileName).error();
        EXPECT_EQ(error.reason(), c.reason) << c.folder.toStdString();
        EXPECT_TRUE(error.description().contains(c.inDescription))
            << error.description().toStdString();
    }
    EXPECT_EQ(test::folderEntries(fixture.dir.path()),
              QStringList({"locked", "plain-file", "settings.ini"}));
}

TEST(FileWriter, NewFilesNeverReplaceOthersAndFailedWritesLeaveNothing)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("index.json");
    ASSERT_FALSE(FileWriter::replaceFile(path, "old"));
    {
        const test::FileSizeLimit limit(4096);
        const auto written = FileWriter::writeNewFile(dir.path(), "big.png", QByteArray(9000, 'x'));
        EXPECT_EQ(written.error().reason(), Reason::writeFailed);
        EXPECT_TRUE(FileWriter::replaceFile(path, QByteArray(9000, 'x')).has_value());
    }
    EXPECT_EQ(test::folderEntries(dir.path()), QStringList({"index.json"}));
    // A write to an exact name never replaces what is there.
    EXPECT_EQ(FileWriter::writeNewFileAt(path, "other").error().errorNumber(), EEXIST);
    EXPECT_EQ(test::readFile(path), "old");
    // Nor do writers that start together share a name.
    std::latch start(64);
    QList<QString> written(64);
    std::vector<std::jthread> writers;
    for (int i = 0; i < 64; ++i) {
        writers.emplace_back([&, i] {
            start.arrive_and_wait();
            const auto file =
                FileWriter::writeNewFile(dir.path(), "shot.png", QByteArray::number(i));
            written[i] = file ? file.value() : QString();
        });
    }
    writers.clear(); // joins them
    QSet<QByteArray> contents;
    for (const QString &path : written)
        contents.insert(test::readFile(path));
    EXPECT_EQ(contents.size(), 64);
}

TEST(FileWriter, RemovesOnlyItsOwnStaleTemporaryFiles)
{
    QTemporaryDir dir, outside;
    QStringList kept = {".zorv-xyz.tmp",
                        "zorv-0123456789abcdef.tmp",
                        ".zorv-0123456789abcdef.tmp.keep",
                        ".zorv-0123456789ABCDEF.tmp",
                        ".zorv-0123456789abcdef0.tmp",
                        "x.zorv-0123456789abcdef.tmp"};
    for (const QString &name : kept + QStringList{".zorv-0123456789abcdef.tmp"})
        ASSERT_TRUE(test::writeFile(dir.filePath(name), "x"));
    // Nor a link, whose target must not be lost, or a folder.
    kept += {".zorv-1111111111111111.tmp", ".zorv-2222222222222222.tmp"};
    ASSERT_TRUE(test::writeFile(outside.filePath("target"), "keep") &&
                QFile::link(outside.filePath("target"), dir.filePath(kept[6])) &&
                QDir(dir.path()).mkdir(kept[7]));
    EXPECT_EQ(FileWriter::removeStaleTemporaryFiles(dir.path()), 1);
    kept.sort();
    EXPECT_EQ(test::folderEntries(dir.path()), kept);
    EXPECT_EQ(test::readFile(outside.filePath("target")), "keep");
}

TEST(OutputService, ClipboardHoldsOnlyAPngOfThePixelSize)
{
    QImage image = test::solidImage({60, 40});
    image.setDevicePixelRatio(2.0);
    OutputService::copy(image);
    const QMimeData *data = QGuiApplication::clipboard()->mimeData();
    EXPECT_EQ(data->formats(), QStringList({"image/png"}));
    const QImage pasted = QImage::fromData(data->data("image/png"), "png");
    EXPECT_EQ(pasted.size(), QSize(60, 40));
    EXPECT_EQ(pasted.pixel(5, 5), image.pixel(5, 5));
}

TEST(OutputService, SaveWithPanelWritesTheChosenFileInTheBackground)
{
    test::TemporarySettings fixture;
    fixture.settings->imageFormat.set(ImageFormat::jpeg);
    const OutputService service(*fixture.settings);
    QGuiApplication::clipboard()->clear();
    const QString chosen = fixture.dir.filePath("chosen.jpg");
    for (const bool accept : {false, true}) {
        std::optional<std::optional<QString>> answer;
        service.saveWithPanel(test::solidImage({50, 20}), "pick.jpg",
                              [&](std::optional<QString> url) { answer = url; });
        QFileDialog *dialog = nullptr;
        for (QWidget *widget : QApplication::topLevelWidgets()) {
            if (auto *d = qobject_cast<QFileDialog *>(widget); d && d->isVisible())
                dialog = d;
        }
        ASSERT_NE(dialog, nullptr);
        dialog->selectFile(chosen);
        accept ? static_cast<QDialog *>(dialog)->accept() : dialog->reject();
        ASSERT_TRUE(QTest::qWaitFor([&] { return answer.has_value(); }, 10000));
        EXPECT_EQ(*answer, accept ? std::optional(chosen) : std::nullopt);
        const QMimeData *clipboard = QGuiApplication::clipboard()->mimeData();
        EXPECT_EQ(clipboard && clipboard->hasFormat("image/png"), accept);
    }
    EXPECT_EQ(QImage::fromData(test::readFile(chosen), "jpeg").size(), QSize(50, 20));

    // A name typed with another format's extension is written in that format;
    // one with an extension nothing here encodes gets the configured format's
    // appended, beside a file already holding that name.
    ASSERT_TRUE(test::writeFile(fixture.dir.filePath("typed.webp.jpg"), "keep"));
    const struct {
        const char *typed;
        const char *written;
        const char *magic;
    } rows[] = {{"typed.png", "typed.png", "\x89PNG"},
                {"typed.webp", "typed.webp 2.jpg", "\xff\xd8\xff"}};
    for (const auto &row : rows) {
        SCOPED_TRACE(row.typed);
        std::optional<std::optional<QString>> written;
        service.saveWithPanel(test::solidImage({50, 20}), "pick.jpg",
                              [&](std::optional<QString> url) { written = url; });
        for (QWidget *widget : QApplication::topLevelWidgets()) {
            if (auto *d = qobject_cast<QFileDialog *>(widget); d && d->isVisible()) {
                d->selectFile(fixture.dir.filePath(row.typed));
                static_cast<QDialog *>(d)->accept();
            }
        }
        ASSERT_TRUE(QTest::qWaitFor([&] { return written.has_value(); }, 10000));
        const QString path = fixture.dir.filePath(row.written);
        EXPECT_EQ(*written, std::optional(path));
        EXPECT_TRUE(test::readFile(path).startsWith(row.magic));
    }
    EXPECT_FALSE(QFileInfo::exists(fixture.dir.filePath("typed.webp")));
    EXPECT_EQ(test::readFile(fixture.dir.filePath("typed.webp.jpg")), "keep");
}
