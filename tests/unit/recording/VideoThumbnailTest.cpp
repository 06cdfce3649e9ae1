#include "recording/VideoThumbnail.h"
#include "recording/VideoWriter.h"
#include "support/Files.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace zorv;

namespace
{

bool writeVideo(const QString &path, QSize size)
{
    auto writer = VideoWriter::open({path, size, 30, VideoCodec::h264, false});
    if (!writer)
        return false;
    QImage frame(size, QImage::Format_RGB32);
    frame.fill(QColor(30, 120, 200));
    for (int i = 0; i < 3; ++i)
        if (!writer.value()->writeVideo(frame, i * 33'333))
            return false;
    return writer.value()->finish();
}

TEST(VideoThumbnail, FirstFrameAtMost600AndPlayableSize)
{
    QTemporaryDir dir;
    const struct {
        const char *name;
        QSize size;    // empty: not a video
        QSize picture; // empty: none
    } cases[] = {
        {"wide.mp4", {1280, 720}, {600, 338}},
        {"small.mp4", {320, 240}, {320, 240}},
        {"junk.mp4", {}, {}},
        {"tall.gif", {400, 1200}, {200, 600}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        const QString path = dir.filePath(QString::fromLatin1(c.name));
        if (path.endsWith(QLatin1String(".gif"))) {
            QImage gif(c.size, QImage::Format_RGB32);
            gif.fill(Qt::green);
            // Qt writes no GIF; the reader goes by the content, the choice by the name.
            ASSERT_TRUE(gif.save(path, "PNG"));
        } else if (c.size.isEmpty()) {
            ASSERT_TRUE(zorv::test::writeFile(path, "not a video"));
        } else {
            ASSERT_TRUE(writeVideo(path, c.size));
        }
        const std::optional<QImage> picture = VideoThumbnail::make(path).result();
        EXPECT_EQ(picture ? picture->size() : QSize(), c.picture);
        if (!path.endsWith(QLatin1String(".gif"))) {
            EXPECT_EQ(VideoThumbnail::playableFrameSize(path).value_or(QSize()), c.size);
        }
    }
}

} // namespace
