#include "app/EditorLaunch.h"
#include "unit/app/AppTestSupport.h"

#include <QTemporaryDir>

using namespace zorv;

TEST(EditorLaunch, HistoryPicturesOpenInTheEditorAndUnreadableOnesAreTold)
{
    QTemporaryDir dir;
    const QImage picture = test::solidImage({30, 20});
    ASSERT_TRUE(picture.save(dir.filePath("shot.png")));
    ASSERT_TRUE(test::writeFile(dir.filePath("broken.png"), "not a picture"));
    struct Case {
        QString fileName;
        CaptureKind kind;
        QString toast; // empty: the editor opens
    };
    const Case cases[] = {
        {"shot.png", CaptureKind::scrolling, ""},
        {"broken.png", CaptureKind::screenshot,
         "Couldn't open broken.png: the file is not a readable picture"},
        {"gone.png", CaptureKind::screenshot,
         "Couldn't open gone.png: the file is no longer there"},
    };
    for (const Case &c : cases) {
        const HistoryItem item{QUuid::createUuid(),      c.fileName,  c.kind, {}, 30, 20,
                               dir.filePath(c.fileName), std::nullopt};
        std::optional<test::OpenedEditor> opened;
        QStringList toasts;
        QObject context;
        testing::internal::CaptureStderr();
        openHistoryImage(
            item, &context,
            [&](const QImage &image, CaptureKind kind, std::optional<QString> name,
                std::optional<QUuid> id) {
                opened = test::OpenedEditor{image, kind, name, id};
            },
            [&](const QString &message, const QString &, double) { toasts << message; });
        EXPECT_TRUE(QTest::qWaitFor([&] { return opened || !toasts.isEmpty(); }, 5000));
        testing::internal::GetCapturedStderr();
        EXPECT_EQ(toasts.join(""), c.toast) << c.fileName.toStdString();
        if (c.toast.isEmpty()) {
            ASSERT_TRUE(opened);
            EXPECT_EQ(opened->image.convertToFormat(picture.format()), picture);
            EXPECT_EQ(std::tuple(opened->kind, opened->fileName, opened->historyItemID),
                      std::tuple(c.kind, std::optional(c.fileName), std::optional(item.id)));
        }
    }
}
