#include "recording/gif/GIFEncoder.h"
#include "recording/VideoWriter.h"
#include "support/Files.h"

#include <QColor>
#include <QFile>
#include <QFileInfo>
#include <QPainter>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTransform>
#include <cmath>
#include <cstring>
#include <gif_lib.h>
#include <gtest/gtest.h>
#include <vector>

using namespace zorv;

namespace
{

// Frames told apart at a glance: a flat colour of their own, a gradient and
// their number as text.
QImage sourceFrame(QSize size, int number)
{
    QImage image(size, QImage::Format_RGB32);
    image.fill(QColor::fromHsv((number * 47) % 360, 200, 220));
    QPainter painter(&image);
    QLinearGradient gradient(0, 0, size.width(), 0);
    gradient.setColorAt(0, Qt::black);
    gradient.setColorAt(1, QColor(255, 240, 200));
    painter.fillRect(0, size.height() * 2 / 3, size.width(), size.height() / 3, gradient);
    QFont font = painter.font();
    font.setPixelSize(size.height() / 6);
    painter.setFont(font);
    painter.setPen(Qt::black);
    painter.drawText(QRect(QPoint(), size / 2), Qt::AlignCenter, QString::number(number));
    return image;
}

// Records `frames` frames at `fps` into `path`; with `finish` false the file is
// left as a crash leaves it (fragmented, no final index).
bool recordVideo(const QString &path, QSize size, int fps, int frames, bool finish = true)
{
    Expected<std::unique_ptr<VideoWriter>, QString> opened =
        VideoWriter::open({path, size, fps, VideoCodec::h264, false});
    if (!opened)
        return false;
    VideoWriter &writer = *opened.value();
    for (int i = 0; i < frames; ++i) {
        if (!writer.writeVideo(sourceFrame(size, i), int64_t(i) * 1'000'000 / fps))
            return false;
    }
    return !finish || writer.finish();
}

// The same frames as a file that does not say how long it is: a live
// Matroska stream, or a raw H.264 stream that has no times at all.
bool remux(const QString &from, const QString &to, const QStringList &options)
{
    QProcess ffmpeg;
    ffmpeg.start("ffmpeg",
                 QStringList{"-v", "error", "-i", from, "-c", "copy"} + options + QStringList{to});
    return ffmpeg.waitForFinished(30'000) && ffmpeg.exitCode() == 0;
}

double psnr(const QImage &a, const QImage &b)
{
    double squares = 0;
    for (int y = 0; y < a.height(); ++y) {
        for (int x = 0; x < a.width(); ++x) {
            const QRgb p = a.pixel(x, y), q = b.pixel(x, y);
            for (const int d : {qRed(p) - qRed(q), qGreen(p) - qGreen(q), qBlue(p) - qBlue(q)})
                squares += d * d;
        }
    }
    const double mse = squares / (3.0 * a.width() * a.height());
    return mse == 0 ? 99 : 10 * std::log10(255.0 * 255.0 / mse);
}

struct DecodedGIF {
    QSize size;
    int loopCount = -1; // -1: no loop block
    std::vector<int> delaysCs;
    std::vector<QImage> pictures; // the canvas after each frame
};

DecodedGIF decodeGIF(const QString &path)
{
    DecodedGIF decoded;
    int error = 0;
    GifFileType *gif = DGifOpenFileName(QFile::encodeName(path).constData(), &error);
    if (!gif)
        return decoded;
    if (DGifSlurp(gif) == GIF_OK) {
        decoded.size = QSize(gif->SWidth, gif->SHeight);
        QImage canvas(decoded.size, QImage::Format_RGB32);
        canvas.fill(Qt::black);
        for (int i = 0; i < gif->ImageCount; ++i) {
            const SavedImage &image = gif->SavedImages[i];
            for (int b = 0; b + 1 < image.ExtensionBlockCount; ++b) {
                const ExtensionBlock &block = image.ExtensionBlocks[b];
                const ExtensionBlock &data = image.ExtensionBlocks[b + 1];
                if (block.Function == APPLICATION_EXT_FUNC_CODE && block.ByteCount == 11 &&
                    std::memcmp(block.Bytes, "NETSCAPE2.0", 11) == 0 && data.ByteCount == 3)
                    decoded.loopCount = data.Bytes[1] | data.Bytes[2] << 8;
            }
            GraphicsControlBlock control{};
            DGifSavedExtensionToGCB(gif, i, &control);
            decoded.delaysCs.push_back(control.DelayTime);
            const GifImageDesc &desc = image.ImageDesc;
            const ColorMapObject *map = desc.ColorMap ? desc.ColorMap : gif->SColorMap;
            for (int y = 0; y < desc.Height; ++y) {
                for (int x = 0; x < desc.Width; ++x) {
                    const int index = image.RasterBits[y * desc.Width + x];
                    if (index == control.TransparentColor || !map || index >= map->ColorCount)
                        continue;
                    const GifColorType &c = map->Colors[index];
                    canvas.setPixel(desc.Left + x, desc.Top + y, qRgb(c.Red, c.Green, c.Blue));
                }
            }
            decoded.pictures.push_back(canvas.copy());
        }
    }
    DGifCloseFile(gif, &error);
    return decoded;
}

enum class Form { finished, cutShort, withoutLength, turned };

// The GIF shows the source frame of its time, at the fitted size, with whole
// hundredths that add up to the time played; it loops forever.
TEST(GIFEncoder, ConvertsKnownFrames)
{
    const std::vector<int> everyThird = {0, 3, 6, 9, 12, 15, 18, 21, 24, 27, 30, 33, 36, 39, 42};
    struct Case {
        const char *name;
        Form form;
        QSize videoSize;
        int videoFps, videoFrames, gifFps, maxWidth;
        QSize canvas;
        std::vector<int> sources; // source frame of each GIF frame (cut short: the first ones)
        int totalCs;              // -1: not known
    };
    // clang-format off
    const Case cases[] = {
        {"landscape", Form::finished, {320, 180}, 30, 45, 10, 160, {160, 90}, everyThird, 150},
        {"portrait", Form::finished, {180, 320}, 30, 45, 15, 128, {72, 128},
         {0, 2, 4, 6, 8, 10, 12, 14, 16, 18, 20, 22, 24, 26, 28, 30, 32, 34, 36, 38, 40, 42}, 147},
        {"past the end takes the last frame", Form::finished, {160, 96}, 30, 2, 10, 900,
         {160, 96}, {0, 1}, 20},
        // The disk filled while recording: the file lost its end mid-fragment.
        {"cut short", Form::cutShort, {320, 180}, 30, 75, 10, 160, {160, 90},
         {0, 3, 6, 9, 12, 15, 18, 21, 24, 27}, -1},
        {"length told by the frames", Form::withoutLength, {320, 180}, 30, 45, 10, 160,
         {160, 90}, everyThird, 150},
        // Players turn it a quarter counter-clockwise, and so does the GIF.
        {"turned", Form::turned, {320, 180}, 30, 45, 10, 160, {90, 160}, everyThird, 150},
    };
    // clang-format on
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        QTemporaryDir folder;
        QString video = folder.filePath("video.mp4");
        ASSERT_TRUE(
            recordVideo(video, c.videoSize, c.videoFps, c.videoFrames, c.form != Form::cutShort));
        if (c.form == Form::cutShort) {
            ASSERT_TRUE(QFile::resize(video, QFileInfo(video).size() - 20'000));
        } else if (c.form == Form::withoutLength) {
            ASSERT_TRUE(remux(video, folder.filePath("live.mkv"), {"-live", "1"}));
            video = folder.filePath("live.mkv");
        } else if (c.form == Form::turned) {
            ASSERT_TRUE(
                remux(video, folder.filePath("turned.mp4"), {"-metadata:s:v:0", "rotate=90"}));
            video = folder.filePath("turned.mp4");
        }
        std::vector<std::pair<int, int>> reported;
        const Expected<QString, GIFFailure> made =
            GIFEncoder::makeGIF(video, c.gifFps, c.maxWidth, folder.path(),
                                [&](int done, int total) { reported.emplace_back(done, total); });
        ASSERT_TRUE(made) << made.error().description.toStdString();
        EXPECT_TRUE(QFileInfo(made.value())
                        .fileName()
                        .contains(QRegularExpression("^zorv-[0-9A-F-]{36}\\.gif$")));
        const DecodedGIF gif = decodeGIF(made.value());
        const int count = int(gif.pictures.size());
        EXPECT_EQ(gif.size, c.canvas);
        EXPECT_EQ(gif.loopCount, 0);
        if (c.form == Form::cutShort) {
            ASSERT_GE(count, int(c.sources.size()));
        } else {
            ASSERT_EQ(count, int(c.sources.size()));
        }
        ASSERT_EQ(int(reported.size()), count);
        EXPECT_EQ(reported.back(), std::make_pair(count, count));
        int total = 0;
        for (int i = 0; i < count; ++i) {
            SCOPED_TRACE(i);
            const int delay = gif.delaysCs[std::size_t(i)];
            EXPECT_LE(std::abs(delay * c.gifFps - 100), c.gifFps);
            total += delay;
            if (i >= int(c.sources.size()))
                continue;
            QImage source = sourceFrame(c.videoSize, c.sources[std::size_t(i)]);
            if (c.form == Form::turned)
                source = source.transformed(QTransform().rotate(-90));
            source = source.scaled(c.canvas, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
            EXPECT_GE(psnr(gif.pictures[std::size_t(i)], source), 30.0);
        }
        if (c.totalCs >= 0) {
            EXPECT_EQ(total, c.totalCs);
        }
    }
}

// Every failure says what went wrong and leaves no GIF behind; the video stays.
TEST(GIFEncoder, FailuresLeaveNoFile)
{
    QTemporaryDir folder;
    const QString video = folder.filePath("video.mp4");
    ASSERT_TRUE(recordVideo(video, {320, 180}, 30, 45));
    const QString blink = folder.filePath("blink.mp4");
    ASSERT_TRUE(recordVideo(blink, {320, 180}, 20, 1));
    const QString text = folder.filePath("notes.mp4");
    ASSERT_TRUE(test::writeFile(text, "not a video"));
    const QString timeless = folder.filePath("timeless.h264");
    ASSERT_TRUE(remux(video, timeless, {"-bsf:v", "h264_mp4toannexb"}));
    const QStringList videos = test::folderEntries(folder.path());

    QTemporaryDir output;
    const QString notAFolder = output.filePath("file");
    ASSERT_TRUE(test::writeFile(notAFolder, "x"));
    std::atomic<bool> cancel = false;
    int framesDone = 0;
    const GIFEncoder::Progress cancelAfterThree = [&](int done, int) {
        framesDone = done;
        if (done == 3)
            cancel = true;
    };
    const struct {
        const char *name;
        QString video;
        QString destination;
        GIFError error;
        rlim_t fileLimit = RLIM_INFINITY;
        bool cancels = false;
    } cases[] = {
        {"0.05 s", blink, output.path(), GIFError::noFrames},
        {"missing video", folder.filePath("gone.mp4"), output.path(), GIFError::unreadable},
        {"not a video", text, output.path(), GIFError::unreadable},
        {"frames without times", timeless, output.path(), GIFError::unreadable},
        {"folder cannot be written", video, notAFolder + "/sub", GIFError::destinationFailed},
        {"disk full", video, output.path(), GIFError::destinationFailed, 4096},
        {"cancel after frame 3", video, output.path(), GIFError::cancelled, RLIM_INFINITY, true},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        cancel = false;
        framesDone = 0;
        Expected<QString, GIFFailure> made = QString();
        {
            const test::FileSizeLimit limit(c.fileLimit);
            made =
                GIFEncoder::makeGIF(c.video, 10, 160, c.destination,
                                    c.cancels ? cancelAfterThree : GIFEncoder::Progress(), &cancel);
        }
        ASSERT_FALSE(made);
        EXPECT_EQ(made.error().error, c.error);
        EXPECT_FALSE(made.error().description.isEmpty());
        EXPECT_EQ(framesDone, c.cancels ? 3 : 0);
        EXPECT_EQ(test::folderEntries(output.path()), QStringList{"file"});
    }
    EXPECT_EQ(test::folderEntries(folder.path()), videos);
}

} // namespace
