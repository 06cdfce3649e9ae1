#include "recording/VideoWriter.h"
#include "output/encoding/VideoFrames.h"
#include "output/history/Thumbnailer.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QPainter>
#include <QProcess>
#include <QTemporaryDir>
#include <cmath>
#include <csignal>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <vector>

using namespace zorv;

namespace
{

constexpr int bits = 12;
constexpr int block = 16;

// A frame that changes everywhere from one number to the next (a drifting
// gradient and a moving square) and carries its number as a row of blocks.
QImage patternFrame(QSize size, int number)
{
    QImage image(size, QImage::Format_RGB32);
    for (int y = 0; y < size.height(); ++y) {
        auto *row = reinterpret_cast<QRgb *>(image.scanLine(y));
        for (int x = 0; x < size.width(); ++x)
            row[x] = qRgb((x + 2 * number) % 256, (y * 255) / size.height(), 96);
    }
    QPainter painter(&image);
    const int travel = size.width() - 4 * block;
    painter.fillRect((number * 2 * block) % travel, size.height() / 2, 2 * block, 2 * block,
                     QColor(240, 200, 40));
    for (int bit = 0; bit < bits; ++bit)
        painter.fillRect(bit * block, 0, block, block, (number >> bit) & 1 ? Qt::white : Qt::black);
    return image;
}

int frameNumber(const QImage &image)
{
    int number = 0;
    for (int bit = 0; bit < bits; ++bit) {
        if (qGray(image.pixel(bit * block + block / 2, block / 2)) > 128)
            number |= 1 << bit;
    }
    return number;
}

double psnr(const QImage &a, const QImage &b)
{
    double squares = 0;
    for (int y = 0; y < a.height(); ++y) {
        const auto *ra = reinterpret_cast<const QRgb *>(a.constScanLine(y));
        const auto *rb = reinterpret_cast<const QRgb *>(b.constScanLine(y));
        for (int x = 0; x < a.width(); ++x) {
            for (int shift : {0, 8, 16}) {
                const double d = int((ra[x] >> shift) & 0xff) - int((rb[x] >> shift) & 0xff);
                squares += d * d;
            }
        }
    }
    const double mse = squares / (3.0 * a.width() * a.height());
    return mse == 0 ? 99 : 10 * std::log10(255.0 * 255.0 / mse);
}

constexpr int audioRate = 48000;
constexpr int64_t toneStartUs = 1000000;
constexpr int64_t toneEndUs = 1500000;

// A 1 kHz tone between toneStartUs and toneEndUs, silence around it.
std::vector<float> toneChunk(int64_t ptsUs, int frames)
{
    std::vector<float> samples(size_t(2 * frames));
    for (int i = 0; i < frames; ++i) {
        const int64_t t = ptsUs + int64_t(i) * 1000000 / audioRate;
        const float v =
            t >= toneStartUs && t < toneEndUs ? 0.5f * std::sin(2 * M_PI * 1000 * t / 1e6) : 0.f;
        samples[size_t(2 * i)] = samples[size_t(2 * i + 1)] = v;
    }
    return samples;
}

QJsonObject probe(const QString &path)
{
    QProcess ffprobe;
    ffprobe.start(QStringLiteral("ffprobe"),
                  {"-v", "error", "-count_frames", "-show_entries",
                   "stream=codec_type,codec_name,width,height,avg_frame_rate,nb_read_frames,"
                   "color_space,color_range,sample_rate,channels,duration:format=duration",
                   "-of", "json", path});
    if (!ffprobe.waitForFinished(60000))
        return {};
    return QJsonDocument::fromJson(ffprobe.readAllStandardOutput()).object();
}

QJsonObject stream(const QJsonObject &probed, const QString &type)
{
    for (const QJsonValue &s : probed["streams"].toArray()) {
        if (s["codec_type"].toString() == type)
            return s.toObject();
    }
    return {};
}

// The first audio sample louder than the silence around the tone, in
// microseconds, or -1.
int64_t toneOnsetUs(const QString &path)
{
    QProcess ffmpeg;
    ffmpeg.start(QStringLiteral("ffmpeg"), {"-v", "error", "-i", path, "-map", "0:a:0", "-f",
                                            "f32le", "-ac", "1", "-ar", "48000", "-"});
    if (!ffmpeg.waitForFinished(60000))
        return -1;
    const QByteArray bytes = ffmpeg.readAllStandardOutput();
    const auto *samples = reinterpret_cast<const float *>(bytes.constData());
    for (qsizetype i = 0; i < bytes.size() / qsizetype(sizeof(float)); ++i) {
        if (std::abs(samples[i]) > 0.1f)
            return int64_t(i) * 1000000 / audioRate;
    }
    return -1;
}

// The types of the file's top-level boxes in order.
QStringList topLevelBoxes(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    const QByteArray bytes = file.readAll();
    QStringList boxes;
    qsizetype at = 0;
    while (at + 8 <= bytes.size()) {
        const auto *p = reinterpret_cast<const uchar *>(bytes.constData() + at);
        quint64 size = quint64(p[0]) << 24 | p[1] << 16 | p[2] << 8 | p[3];
        if (size == 1 && at + 16 <= bytes.size()) {
            size = 0;
            for (int i = 8; i < 16; ++i)
                size = size << 8 | p[i];
        }
        boxes << QString::fromLatin1(bytes.mid(at + 4, 4));
        if (size < 8)
            break;
        at += qsizetype(size);
    }
    return boxes;
}

struct Decoded {
    int count = 0;
    int firstNumber = -1;
    int lastNumber = -1;
    bool inOrder = true;
    double worstPsnr = 99;
    int64_t worstTimeErrorUs = 0;
};

// Every frame of the file against the frame its blocks name, and its time
// against the time that frame was given.
Decoded decodeAll(const QString &path, QSize size, int fps)
{
    Decoded decoded;
    const std::unique_ptr<VideoFrameReader> reader = VideoFrameReader::open(path);
    if (!reader)
        return decoded;
    while (const std::optional<VideoFrameReader::Frame> frame = reader->next()) {
        const int number = frameNumber(frame->image);
        if (decoded.count > 0 && number <= decoded.lastNumber)
            decoded.inOrder = false;
        if (decoded.count == 0)
            decoded.firstNumber = number;
        decoded.lastNumber = number;
        ++decoded.count;
        decoded.worstPsnr =
            std::min(decoded.worstPsnr, psnr(frame->image, patternFrame(size, number)));
        decoded.worstTimeErrorUs = std::max(
            decoded.worstTimeErrorUs, std::abs(frame->ptsUs - int64_t(number) * 1000000 / fps));
    }
    return decoded;
}

struct Recording {
    QSize size;
    int fps;
    VideoCodec codec;
    int frames;
    bool audio;
    int dropFrom = -1; // frames [dropFrom, dropTo) are never given
    int dropTo = -1;
};

// Frames and, when asked, audio in time order; audio starts late (at 0.3 s).
std::unique_ptr<VideoWriter> record(const QString &path, const Recording &r, int frames = -1)
{
    Expected<std::unique_ptr<VideoWriter>, QString> opened =
        VideoWriter::open({path, r.size, r.fps, r.codec, r.audio});
    EXPECT_TRUE(opened) << (opened ? "" : opened.error().toStdString());
    if (!opened)
        return nullptr;
    std::unique_ptr<VideoWriter> writer = std::move(opened.value());
    constexpr int chunk = 480;
    int64_t audioUs = 300000;
    for (int n = 0; n < (frames < 0 ? r.frames : frames); ++n) {
        const int64_t ptsUs = int64_t(n) * 1000000 / r.fps;
        while (r.audio && audioUs <= ptsUs) {
            const std::vector<float> samples = toneChunk(audioUs, chunk);
            EXPECT_TRUE(writer->writeAudio(samples.data(), chunk, audioUs))
                << writer->error().toStdString();
            audioUs += int64_t(chunk) * 1000000 / audioRate;
        }
        if (n >= r.dropFrom && n < r.dropTo)
            continue;
        if (!writer->writeVideo(patternFrame(r.size, n), ptsUs)) {
            ADD_FAILURE() << "frame " << n << ": " << writer->error().toStdString();
            break;
        }
    }
    return writer;
}

} // namespace

// What was written comes back: codec, size, rate, duration, every frame at its
// time and close to its source, the tone where it was played, the index first.
TEST(VideoWriter, FileHoldsWhatWasWritten)
{
    const Recording cases[] = {
        {{256, 144}, 30, VideoCodec::h264, 60, true},
        {{256, 144}, 30, VideoCodec::h264, 60, false, 20, 30}, // a second of frames dropped
        {{256, 144}, 60, VideoCodec::h264, 30, false},
        {{256, 144}, 30, VideoCodec::hevc, 15, true},
        {{1920, 1080}, 30, VideoCodec::h264, 6, false},
    };
    QTemporaryDir folder;
    QTemporaryDir other;
    QFile reference(other.filePath("reference"));
    ASSERT_TRUE(reference.open(QIODevice::WriteOnly));
    const QFile::Permissions newFilePermissions = reference.permissions();
    int index = 0;
    for (const Recording &r : cases) {
        const QString path = folder.filePath(QStringLiteral("video%1.mp4").arg(index++));
        SCOPED_TRACE(path.toStdString());
        {
            std::unique_ptr<VideoWriter> writer = record(path, r);
            ASSERT_TRUE(writer);
            ASSERT_TRUE(writer->finish()) << writer->error().toStdString();
        }
        EXPECT_EQ(QDir(folder.path()).entryList(QDir::Files | QDir::Hidden).size(), index)
            << "the rewrite leaves no temporary file";
        EXPECT_EQ(QFileInfo(path).permissions(), newFilePermissions)
            << "made with the mode of any new file";

        const QJsonObject probed = probe(path);
        const QJsonObject video = stream(probed, "video");
        EXPECT_EQ(video["codec_name"].toString(), r.codec == VideoCodec::hevc ? "hevc" : "h264");
        EXPECT_EQ(video["width"].toInt(), r.size.width());
        EXPECT_EQ(video["height"].toInt(), r.size.height());
        EXPECT_EQ(video["color_space"].toString(), "bt709");
        EXPECT_EQ(video["color_range"].toString(), "tv");
        const int given = r.frames - std::max(0, r.dropTo - r.dropFrom);
        EXPECT_EQ(video["nb_read_frames"].toString().toInt(), given);
        if (r.dropFrom < 0) {
            EXPECT_EQ(video["avg_frame_rate"].toString(), QStringLiteral("%1/1").arg(r.fps));
        }
        const double seconds = double(r.frames) / r.fps;
        EXPECT_NEAR(probed["format"]["duration"].toString().toDouble(), seconds, 1.0 / r.fps);

        const QStringList boxes = topLevelBoxes(path);
        EXPECT_LT(boxes.indexOf("moov"), boxes.indexOf("mdat")) << boxes.join(' ').toStdString();
        EXPECT_FALSE(boxes.contains("moof")) << "no fragments after finish";

        const Decoded decoded = decodeAll(path, r.size, r.fps);
        EXPECT_EQ(decoded.count, given);
        EXPECT_EQ(decoded.firstNumber, 0);
        EXPECT_EQ(decoded.lastNumber, r.frames - 1);
        EXPECT_TRUE(decoded.inOrder);
        EXPECT_GE(decoded.worstPsnr, 35.0);
        EXPECT_LE(decoded.worstTimeErrorUs, 1000) << "frames keep the time they were given";

        if (r.audio) {
            const QJsonObject audio = stream(probed, "audio");
            EXPECT_EQ(audio["codec_name"].toString(), "aac");
            EXPECT_EQ(audio["sample_rate"].toString(), "48000");
            EXPECT_EQ(audio["channels"].toInt(), 2);
            EXPECT_NEAR(audio["duration"].toString().toDouble(), seconds, 1.0 / r.fps);
            const int64_t onset = toneOnsetUs(path);
            if (r.frames / r.fps > toneStartUs / 1000000)
                EXPECT_NEAR(double(onset), double(toneStartUs), 1e6 / r.fps);
            else
                EXPECT_EQ(onset, -1);
        }
    }
}

namespace
{

// Files bigger than `bytes` cannot be written while it lives, as on a full disk.
class FileSizeLimit
{
  public:
    explicit FileSizeLimit(rlim_t bytes)
    {
        getrlimit(RLIMIT_FSIZE, &m_saved);
        m_handler = std::signal(SIGXFSZ, SIG_IGN); // a failed write, not a killed process
        rlimit limit = m_saved;
        limit.rlim_cur = bytes;
        setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~FileSizeLimit()
    {
        setrlimit(RLIMIT_FSIZE, &m_saved);
        std::signal(SIGXFSZ, m_handler);
    }

  private:
    rlimit m_saved{};
    void (*m_handler)(int) = nullptr;
};

qint64 fileSize(const QString &path)
{
    return QFileInfo(path).size();
}

} // namespace

// A recording cut short (a crash, a full disk) plays up to its last complete
// fragment, and a writer dropped without finish leaves a playable file.
TEST(VideoWriter, CutShortPlaysToItsLastFragment)
{
    const Recording r{{256, 144}, 10, VideoCodec::h264, 29, false};
    QTemporaryDir folder;
    const QString path = folder.filePath("cut.mp4");
    std::unique_ptr<VideoWriter> writer = record(path, r);
    ASSERT_TRUE(writer);

    // What a crash now would leave: fragments of frames 0-9 and 10-19 are out
    // (the encoder holds the last few frames back).
    const QString crashed = folder.filePath("crashed.mp4");
    ASSERT_TRUE(QFile::copy(path, crashed));
    Decoded decoded = decodeAll(crashed, r.size, r.fps);
    EXPECT_GE(decoded.count, 2 * r.fps);
    EXPECT_EQ(decoded.firstNumber, 0);
    EXPECT_TRUE(decoded.inOrder);
    EXPECT_GE(decoded.worstPsnr, 35.0);

    // Torn inside the second fragment: the first still plays.
    ASSERT_TRUE(QFile::resize(crashed, fileSize(crashed) - 1000));
    decoded = decodeAll(crashed, r.size, r.fps);
    EXPECT_GE(decoded.count, r.fps);
    EXPECT_EQ(decoded.firstNumber, 0);
    EXPECT_TRUE(decoded.inOrder);

    writer.reset();
    decoded = decodeAll(path, r.size, r.fps);
    EXPECT_GE(decoded.count, 2 * r.fps);
    EXPECT_EQ(decoded.firstNumber, 0);
    EXPECT_TRUE(decoded.inOrder);
}

// The disk fills while recording: the write that fails says why, finish
// reports it too, and what reached the disk plays.
TEST(VideoWriter, FullDiskWhileRecordingKeepsWhatWasWritten)
{
    const Recording r{{256, 144}, 30, VideoCodec::h264, 300, true};
    QTemporaryDir folder;
    const QString path = folder.filePath("full.mp4");
    Expected<std::unique_ptr<VideoWriter>, QString> opened =
        VideoWriter::open({path, r.size, r.fps, r.codec, r.audio});
    ASSERT_TRUE(opened);
    VideoWriter &writer = *opened.value();
    int given = 0;
    {
        const FileSizeLimit limit(48 * 1024);
        while (given < r.frames &&
               writer.writeVideo(patternFrame(r.size, given), int64_t(given) * 1000000 / r.fps))
            ++given;
        ASSERT_LT(given, r.frames) << "the limit was never reached";
        EXPECT_TRUE(writer.error().contains("too large")) << writer.error().toStdString();
        EXPECT_FALSE(writer.writeVideo(patternFrame(r.size, given), 10'000'000));
        EXPECT_FALSE(writer.finish());
        EXPECT_TRUE(writer.error().contains("too large")) << writer.error().toStdString();
    }
    const Decoded decoded = decodeAll(path, r.size, r.fps);
    EXPECT_GE(decoded.count, r.fps);
    EXPECT_LE(decoded.count, given);
    EXPECT_EQ(decoded.firstNumber, 0);
    EXPECT_TRUE(decoded.inOrder);
    EXPECT_GE(decoded.worstPsnr, 35.0);
}

// The disk fills while finish rewrites the file with its index first: the
// fragmented file stays, whole and playable, and no temporary file is left.
TEST(VideoWriter, FailedRewriteKeepsTheFragmentedFile)
{
    const Recording r{{256, 144}, 30, VideoCodec::h264, 45, true};
    QTemporaryDir folder;
    const QString rehearsal = folder.filePath("rehearsal.mp4");
    {
        std::unique_ptr<VideoWriter> writer = record(rehearsal, r);
        ASSERT_TRUE(writer && writer->finish());
    }
    // The rewritten file outgrows the fragmented one (its index holds a row per
    // sample), so a limit just below its size stops the rewrite alone.
    const QString path = folder.filePath("kept.mp4");
    std::unique_ptr<VideoWriter> writer = record(path, r);
    ASSERT_TRUE(writer);
    {
        const FileSizeLimit limit(rlim_t(fileSize(rehearsal) - 1));
        EXPECT_FALSE(writer->finish());
    }
    EXPECT_TRUE(writer->error().contains("too large")) << writer->error().toStdString();
    writer.reset();
    EXPECT_EQ(QDir(folder.path()).entryList(QDir::Files | QDir::Hidden).size(), 2);
    EXPECT_TRUE(topLevelBoxes(path).contains("moof"));
    const Decoded decoded = decodeAll(path, r.size, r.fps);
    EXPECT_EQ(decoded.count, r.frames);
    EXPECT_TRUE(decoded.inOrder);
    EXPECT_NEAR(double(toneOnsetUs(path)), double(toneStartUs), 1e6 / r.fps);
}

// A writer that cannot start says why and leaves no file; an existing file is
// never replaced.
TEST(VideoWriter, OpenFailuresLeaveNoFile)
{
    QTemporaryDir folder;
    const QString taken = folder.filePath("taken.mp4");
    {
        QFile file(taken);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("mine");
    }
    const struct {
        QString path;
        QSize size;
        int fps;
    } cases[] = {
        {taken, {256, 144}, 30},
        {folder.filePath("missing/a.mp4"), {256, 144}, 30},
        {folder.filePath("odd-width.mp4"), {255, 144}, 30},
        {folder.filePath("odd-height.mp4"), {256, 143}, 30},
        {folder.filePath("no-rate.mp4"), {256, 144}, 0},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.path.toStdString());
        const Expected<std::unique_ptr<VideoWriter>, QString> opened =
            VideoWriter::open({c.path, c.size, c.fps, VideoCodec::h264, true});
        ASSERT_FALSE(opened);
        EXPECT_FALSE(opened.error().isEmpty());
    }
    EXPECT_EQ(QDir(folder.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
              QStringList{"taken.mp4"});
    QFile file(taken);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), "mine");

    // A frame of another size is refused with the reason; the recording goes on.
    Expected<std::unique_ptr<VideoWriter>, QString> opened =
        VideoWriter::open({folder.filePath("sizes.mp4"), {256, 144}, 30, VideoCodec::h264, false});
    ASSERT_TRUE(opened);
    VideoWriter &writer = *opened.value();
    EXPECT_FALSE(writer.writeVideo(patternFrame({258, 144}, 0), 0));
    EXPECT_TRUE(writer.error().contains("258 × 144")) << writer.error().toStdString();
    EXPECT_TRUE(writer.writeVideo(patternFrame({256, 144}, 0), 0));
    EXPECT_TRUE(writer.finish()) << writer.error().toStdString();
}

// The first frame of a recording, fitted to the size asked without enlarging,
// for the quick-access panel and the history; nothing for a file without video.
TEST(VideoWriter, FirstFrameThumbnails)
{
    QTemporaryDir folder;
    const struct {
        QSize size;
        int maxPixel;
        QSize expected;
    } cases[] = {
        {{1280, 720}, 600, {600, 338}},
        {{256, 144}, 600, {256, 144}},
        {{144, 256}, 100, {56, 100}},
    };
    for (const auto &c : cases) {
        const QString path =
            folder.filePath(QStringLiteral("%1x%2.mp4").arg(c.size.width()).arg(c.size.height()));
        SCOPED_TRACE(path.toStdString());
        {
            std::unique_ptr<VideoWriter> writer =
                record(path, {c.size, 30, VideoCodec::h264, 3, false});
            ASSERT_TRUE(writer && writer->finish());
        }
        const std::optional<QImage> first = VideoFrames::firstFrame(path, c.maxPixel);
        ASSERT_TRUE(first);
        EXPECT_EQ(first->size(), c.expected);
        const QImage source = patternFrame(c.size, 0).scaled(c.expected, Qt::IgnoreAspectRatio,
                                                             Qt::SmoothTransformation);
        EXPECT_GE(psnr(*first, source), 30.0);

        HistoryItem item;
        item.kind = CaptureKind::recording;
        item.filePath = path;
        const std::optional<QImage> thumbnail = makeThumbnail(item, c.maxPixel);
        ASSERT_TRUE(thumbnail);
        EXPECT_EQ(thumbnail->size(), c.expected);
    }
    const QString notVideo = folder.filePath("not-video.mp4");
    {
        QFile file(notVideo);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(QByteArray(4096, 'x'));
    }
    EXPECT_FALSE(VideoFrames::firstFrame(notVideo));
    EXPECT_FALSE(VideoFrames::firstFrame(folder.filePath("absent.mp4")));
}
