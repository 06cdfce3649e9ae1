#include "output/OutputService.h"
#include "output/FileWriter.h"
#include "output/encoding/HeicCodec.h"
#include "output/encoding/ImageEncoder.h"
#include "support/Files.h"
#include "support/Images.h"
#include "support/TemporarySettings.h"

#include <QApplication>
#include <QClipboard>
#include <QFileDialog>
#include <QMimeData>
#include <QScopeGuard>
#include <QTest>
#include <QtConcurrent/QtConcurrentRun>
#include <gtest/gtest.h>

#include <csignal>
#include <sys/resource.h>
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
    const QString folder = fixture.dir.filePath("Shots/2026");

    for (const auto &[format, name] : {std::pair{ImageFormat::png, "shot.png"},
                                       {ImageFormat::jpeg, "shot.jpg"},
                                       {ImageFormat::heic, "shot.heic"}}) {
        fixture.settings->imageFormat.set(format);
        const auto result = service.save(test::solidImage(), std::nullopt, "shot.png");
        ASSERT_TRUE(result) << result.error().description().toStdString();
        EXPECT_EQ(result.value().url, QDir(folder).filePath(name));
        const QByteArray bytes = test::readFile(result.value().url);
        EXPECT_EQ(format == ImageFormat::heic ? HeicCodec::decode(bytes)->size()
                                              : QImage::fromData(bytes).size(),
                  QSize(64, 40));
    }
    // Bytes the caller encoded are written as they are, under the caller's name.
    const auto given = service.save(test::solidImage(), QByteArray("encoded"), "x.jpg");
    ASSERT_TRUE(given);
    EXPECT_EQ(test::readFile(given.value().url), QByteArray("encoded"));
    EXPECT_EQ(test::folderEntries(folder).size(), 4);
}

TEST(OutputService, SaveReportsFolderAndEncodingProblemsWritingNothing)
{
    test::TemporarySettings fixture;
    const QString file = fixture.dir.filePath("plain-file");
    ASSERT_TRUE(test::writeFile(file, "x"));
    const QString longName = QStringLiteral("n").repeated(300);
    const struct {
        QString folder;
        QString fileName;
        Reason reason;
        QString inDescription;
    } cases[] = {
        {file, "a.png", Reason::folderIsFile, "is a file"},
        {file + "/sub/deeper", "a.png", Reason::folderIsFile, file},
        {fixture.dir.path(), longName + ".png", Reason::nameTooLong, "too long"},
        {fixture.dir.filePath(longName), "a.png", Reason::nameTooLong, "too long"},
        {fixture.dir.path(), "a.png", Reason::encodingFailed, QString()},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.folder.toStdString());
        fixture.settings->saveDirectoryPath.set(c.folder);
        const QImage image = c.reason == Reason::encodingFailed ? QImage() : test::solidImage();
        const auto result = OutputService(*fixture.settings).save(image, std::nullopt, c.fileName);
        ASSERT_FALSE(result);
        EXPECT_EQ(result.error().reason(), c.reason);
        EXPECT_TRUE(result.error().description().contains(c.inDescription))
            << result.error().description().toStdString();
    }
    EXPECT_EQ(test::folderEntries(fixture.dir.path()), QStringList({"plain-file", "settings.ini"}));
}

TEST(OutputService, SaveIntoAnUnwritableFolderIsAPermissionError)
{
    // What the file system answers maps to what the user is told.
    for (const int error : {EACCES, EPERM, EROFS, ENOSPC}) {
        const FileError mapped = FileError::fromErrno(error, "/locked/a.png", Reason::writeFailed);
        EXPECT_EQ(mapped.reason(), error == ENOSPC ? Reason::writeFailed : Reason::folderUnwritable)
            << error;
        EXPECT_EQ(mapped.path(), error == ENOSPC ? "/locked/a.png" : "/locked") << error;
    }
    if (geteuid() == 0)
        return; // permissions do not stop root: the mapping above is what can be checked
    test::TemporarySettings fixture;
    const QString locked = fixture.dir.filePath("locked");
    ASSERT_TRUE(QDir().mkdir(locked));
    QFile::setPermissions(locked, QFileDevice::ReadOwner | QFileDevice::ExeOwner);
    fixture.settings->saveDirectoryPath.set(locked);
    const auto result =
        OutputService(*fixture.settings).save(test::solidImage(), std::nullopt, "a.png");
    QFile::setPermissions(locked,
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    ASSERT_FALSE(result);
    EXPECT_EQ(result.error().reason(), Reason::folderUnwritable);
}

TEST(FileWriter, FailedWritesLeaveNoPartialFileAndKeepTheOldContent)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("index.json");
    ASSERT_FALSE(FileWriter::replaceFile(path, "old"));
    {
        // Writes past 4 KiB fail with EFBIG instead of a signal.
        std::signal(SIGXFSZ, SIG_IGN);
        rlimit old{};
        getrlimit(RLIMIT_FSIZE, &old);
        const rlimit limit{4096, old.rlim_max};
        setrlimit(RLIMIT_FSIZE, &limit);
        const auto restore = qScopeGuard([&] { setrlimit(RLIMIT_FSIZE, &old); });
        const auto written =
            FileWriter::writeNewFile(dir.path(), "big.png", QByteArray(100000, 'x'));
        ASSERT_FALSE(written);
        EXPECT_EQ(written.error().reason(), Reason::writeFailed);
        EXPECT_TRUE(FileWriter::replaceFile(path, QByteArray(100000, 'x')).has_value());
    }
    EXPECT_EQ(test::folderEntries(dir.path()), QStringList({"index.json"}));
    EXPECT_EQ(test::readFile(path), QByteArray("old"));
    // A write to an exact name never replaces what is there.
    const auto taken = FileWriter::writeNewFileAt(path, "other");
    ASSERT_FALSE(taken);
    EXPECT_EQ(taken.error().errorNumber(), EEXIST);
    EXPECT_EQ(test::readFile(path), QByteArray("old"));
}

TEST(FileWriter, RemovesOnlyItsOwnStaleTemporaryFiles)
{
    QTemporaryDir dir;
    QStringList kept = {
        ".zorv-xyz.tmp",
        "zorv-0123456789abcdef.tmp",
        ".zorv-0123456789abcdef.tmp.keep",
        ".zorv-0123456789ABCDEF.tmp",
        ".zorv-0123456789abcdef0.tmp",
        "x.zorv-0123456789abcdef.tmp",
        ".zorv-1111111111111111.tmp", // a link: its target must not be lost
        ".zorv-2222222222222222.tmp", // a folder
    };
    for (const QString &name : kept.mid(0, 6) + QStringList{".zorv-0123456789abcdef.tmp"})
        ASSERT_TRUE(test::writeFile(dir.filePath(name), "x"));
    QTemporaryDir outside;
    ASSERT_TRUE(test::writeFile(outside.filePath("target"), "keep"));
    ASSERT_TRUE(QFile::link(outside.filePath("target"), dir.filePath(kept[6])));
    ASSERT_TRUE(QDir(dir.path()).mkdir(kept[7]));

    EXPECT_EQ(FileWriter::removeStaleTemporaryFiles(dir.path()), 1);
    kept.sort();
    EXPECT_EQ(test::folderEntries(dir.path()), kept);
    EXPECT_EQ(test::readFile(outside.filePath("target")), QByteArray("keep"));
}

TEST(FileWriter, SimultaneousWritersNeverShareAName)
{
    QTemporaryDir dir;
    QList<QFuture<FileResult<QString>>> futures;
    for (int i = 0; i < 16; ++i) {
        futures.append(QtConcurrent::run([&dir, i] {
            return FileWriter::writeNewFile(dir.path(), "shot.png", QByteArray::number(i));
        }));
    }
    QSet<QByteArray> contents;
    for (auto &future : futures) {
        const FileResult<QString> result = future.result();
        ASSERT_TRUE(result);
        contents.insert(test::readFile(result.value()));
    }
    EXPECT_EQ(contents.size(), 16); // nothing was overwritten
}

TEST(OutputService, ClipboardHoldsAPngOfThePixelSizeAndTakesOnlyItsOwnBytes)
{
    QImage image = test::solidImage({2880, 1800});
    image.setDevicePixelRatio(2.0);
    OutputService::copy(image);
    // Bytes for another image (a newer copy happened meanwhile) or no bytes at
    // all are not offered: the paste still encodes this image.
    OutputService::offerClipboardPng(test::solidImage({40, 30}), QByteArray("not this one"));
    OutputService::offerClipboardPng(image, QByteArray());
    const QMimeData *data = QGuiApplication::clipboard()->mimeData();
    ASSERT_NE(data, nullptr);
    EXPECT_EQ(data->formats(), QStringList({"image/png"}));
    const QImage pasted = QImage::fromData(data->data("image/png"), "png");
    EXPECT_EQ(pasted.size(), QSize(2880, 1800));
    EXPECT_EQ(pasted.pixel(5, 5), image.pixel(5, 5));

    const QImage second = test::solidImage({20, 10});
    OutputService::copy(second);
    const QByteArray encoded = ImageEncoder::pngData(second).value();
    OutputService::offerClipboardPng(second, encoded);
    EXPECT_EQ(QGuiApplication::clipboard()->mimeData()->data("image/png"), encoded);
}

TEST(OutputService, SaveWithPanelWritesTheChosenFileInTheBackground)
{
    test::TemporarySettings fixture;
    fixture.settings->imageFormat.set(ImageFormat::jpeg);
    fixture.settings->saveDirectoryPath.set(fixture.dir.path());
    const OutputService service(*fixture.settings);
    QGuiApplication::clipboard()->clear();
    std::optional<std::optional<QString>> answer;
    const auto open = [&]() -> QFileDialog * {
        answer.reset();
        service.saveWithPanel(test::solidImage({50, 20}), "pick.jpg",
                              [&](std::optional<QString> url) { answer = url; });
        for (QWidget *widget : QApplication::topLevelWidgets()) {
            if (auto *dialog = qobject_cast<QFileDialog *>(widget); dialog && dialog->isVisible())
                return dialog;
        }
        return nullptr;
    };

    QFileDialog *dialog = open();
    ASSERT_NE(dialog, nullptr);
    const QString chosen = fixture.dir.filePath("chosen.jpg");
    dialog->selectFile(chosen);
    static_cast<QDialog *>(dialog)->accept();
    ASSERT_TRUE(QTest::qWaitFor([&] { return answer.has_value(); }, 10000));
    ASSERT_EQ(*answer, chosen);
    EXPECT_EQ(QImage::fromData(test::readFile(chosen), "jpeg").size(), QSize(50, 20));
    EXPECT_TRUE(QGuiApplication::clipboard()->mimeData()->hasFormat("image/png"));

    dialog = open();
    ASSERT_NE(dialog, nullptr);
    dialog->reject();
    ASSERT_TRUE(QTest::qWaitFor([&] { return answer.has_value(); }, 10000));
    EXPECT_EQ(*answer, std::nullopt);
}
