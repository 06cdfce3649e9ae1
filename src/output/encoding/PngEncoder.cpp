#include "output/encoding/ImageEncoder.h"

#include <QThread>
#include <QtEndian>

#include <algorithm>
#include <atomic>
#include <thread>
#include <vector>
#include <zlib.h>

// PNG writing tuned for screenshots: no row filters (flat screen content
// compresses better without them), zlib level 6, and the image cut into bands
// of rows that are deflated in parallel. Every band but the last ends on a byte
// boundary (Z_SYNC_FLUSH), so the pieces concatenate into one valid zlib
// stream whose Adler-32 is combined from the bands' own checksums.

namespace zorv::ImageEncoder
{

namespace
{

constexpr int compressionLevel = 6;
constexpr int minimumRowsPerBand = 32;
constexpr int bandsPerThread = 4;
constexpr qsizetype idatChunkSize = 1 << 18;
constexpr uInt windowSize = 32768;

// Produces PNG scanlines (filter byte 0, then RGB or RGBA bytes) from an image
// in RGB32, ARGB32 or ARGB32_Premultiplied.
class ScanlineSource
{
  public:
    ScanlineSource(const QImage &image, bool withAlpha) : m_image(image), m_alpha(withAlpha) {}

    int height() const { return m_image.height(); }
    qsizetype lineBytes() const { return 1 + qsizetype(m_image.width()) * (m_alpha ? 4 : 3); }

    void line(int y, uchar *out) const
    {
        const auto *in = reinterpret_cast<const QRgb *>(m_image.constScanLine(y));
        const int width = m_image.width();
        *out++ = 0;
        if (!m_alpha) {
            for (int x = 0; x < width; ++x) {
                const QRgb p = in[x];
                out[0] = uchar(p >> 16);
                out[1] = uchar(p >> 8);
                out[2] = uchar(p);
                out += 3;
            }
            return;
        }
        const bool premultiplied = m_image.format() == QImage::Format_ARGB32_Premultiplied;
        for (int x = 0; x < width; ++x) {
            const QRgb p = premultiplied ? qUnpremultiply(in[x]) : in[x];
            out[0] = uchar(p >> 16);
            out[1] = uchar(p >> 8);
            out[2] = uchar(p);
            out[3] = uchar(p >> 24);
            out += 4;
        }
    }

  private:
    const QImage &m_image;
    bool m_alpha;
};

struct Band {
    int firstRow = 0;
    int endRow = 0;
    std::vector<uchar> deflated;
    uLong adler = 0;
    qsizetype rawBytes = 0;
    bool ok = false;
};

// Deflates through a small reused buffer so that only the compressed bytes
// are ever stored (no zero-filled, over-sized output to fault in).
class BandDeflater
{
  public:
    explicit BandDeflater(Band &band) : m_band(band) {}

    bool feed(z_stream &stream, const uchar *data, qsizetype size, int flush)
    {
        stream.next_in = const_cast<Bytef *>(data);
        stream.avail_in = uInt(size);
        for (;;) {
            stream.next_out = m_scratch.data();
            stream.avail_out = uInt(m_scratch.size());
            const int result = deflate(&stream, flush);
            if (result == Z_STREAM_ERROR)
                return false;
            m_band.deflated.insert(m_band.deflated.end(), m_scratch.data(), stream.next_out);
            if (flush == Z_FINISH ? result == Z_STREAM_END
                                  : (stream.avail_in == 0 && stream.avail_out != 0))
                return true;
        }
    }

  private:
    Band &m_band;
    std::vector<uchar> m_scratch = std::vector<uchar>(1 << 17);
};

void compressBand(const ScanlineSource &source, Band &band, bool last)
{
    z_stream stream{};
    if (deflateInit2(&stream, compressionLevel, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY) != Z_OK)
        return;
    const qsizetype lineBytes = source.lineBytes();
    std::vector<uchar> line(static_cast<size_t>(lineBytes));

    // Prime the window with the rows just above the band so that matches
    // reach across the cut as they would in a single stream.
    if (band.firstRow > 0) {
        const int rows =
            std::min<int>(band.firstRow, int((windowSize + lineBytes - 1) / lineBytes));
        std::vector<uchar> history(size_t(rows * lineBytes));
        for (int i = 0; i < rows; ++i)
            source.line(band.firstRow - rows + i, history.data() + i * lineBytes);
        const size_t keep = std::min<size_t>(history.size(), windowSize);
        deflateSetDictionary(&stream, history.data() + history.size() - keep, uInt(keep));
    }

    // Screen content typically shrinks twenty-fold or more.
    band.deflated.reserve(size_t(lineBytes * (band.endRow - band.firstRow) / 16));
    BandDeflater deflater(band);
    band.adler = adler32(0, nullptr, 0);
    bool ok = true;
    for (int y = band.firstRow; ok && y < band.endRow; ++y) {
        source.line(y, line.data());
        band.adler = adler32(band.adler, line.data(), uInt(lineBytes));
        const int flush = y + 1 < band.endRow ? Z_NO_FLUSH : (last ? Z_FINISH : Z_SYNC_FLUSH);
        ok = deflater.feed(stream, line.data(), lineBytes, flush);
    }
    band.rawBytes = lineBytes * (band.endRow - band.firstRow);
    band.ok = ok;
    deflateEnd(&stream);
}

std::vector<Band> compressBands(const ScanlineSource &source)
{
    const int threads = std::max(1, QThread::idealThreadCount());
    const int bandCount =
        std::clamp(source.height() / minimumRowsPerBand, 1, threads * bandsPerThread);
    std::vector<Band> bands(static_cast<size_t>(bandCount));
    for (int i = 0; i < bandCount; ++i) {
        bands[size_t(i)].firstRow = int(qint64(source.height()) * i / bandCount);
        bands[size_t(i)].endRow = int(qint64(source.height()) * (i + 1) / bandCount);
    }

    std::atomic<int> next{0};
    auto work = [&] {
        for (int i = next++; i < bandCount; i = next++)
            compressBand(source, bands[size_t(i)], i + 1 == bandCount);
    };
    std::vector<std::thread> helpers;
    for (int t = 1; t < std::min(threads, bandCount); ++t)
        helpers.emplace_back(work);
    work();
    for (std::thread &helper : helpers)
        helper.join();
    return bands;
}

void appendChunk(QByteArray &png, const char type[4], const uchar *data, qsizetype size)
{
    uchar length[4];
    qToBigEndian(quint32(size), length);
    png.append(reinterpret_cast<const char *>(length), 4);
    const qsizetype typeAt = png.size();
    png.append(type, 4);
    if (size > 0)
        png.append(reinterpret_cast<const char *>(data), size);
    const uLong crc =
        crc32(0, reinterpret_cast<const Bytef *>(png.constData() + typeAt), uInt(size + 4));
    uchar crcBytes[4];
    qToBigEndian(quint32(crc), crcBytes);
    png.append(reinterpret_cast<const char *>(crcBytes), 4);
}

QImage inSupportedFormat(const QImage &image)
{
    switch (image.format()) {
    case QImage::Format_RGB32:
    case QImage::Format_ARGB32:
    case QImage::Format_ARGB32_Premultiplied:
        return image;
    default:
        return image.convertToFormat(image.hasAlphaChannel() ? QImage::Format_ARGB32
                                                             : QImage::Format_RGB32);
    }
}

} // namespace

std::optional<QByteArray> pngData(const QImage &image)
{
    if (image.isNull())
        return std::nullopt;
    const QImage pixels = inSupportedFormat(image);
    const bool alpha = hasTransparency(pixels);
    const ScanlineSource source(pixels, alpha);
    const std::vector<Band> bands = compressBands(source);

    qsizetype deflatedBytes = 0;
    for (const Band &band : bands) {
        if (!band.ok)
            return std::nullopt;
        deflatedBytes += qsizetype(band.deflated.size());
    }

    // zlib stream: header for a 32 KiB window at the default level, the
    // concatenated bands, the Adler-32 of all scanlines.
    std::vector<uchar> zlibStream;
    zlibStream.reserve(size_t(deflatedBytes + 6));
    zlibStream.push_back(0x78);
    zlibStream.push_back(0x9C);
    uLong adler = bands.front().adler;
    for (size_t i = 0; i < bands.size(); ++i) {
        zlibStream.insert(zlibStream.end(), bands[i].deflated.begin(), bands[i].deflated.end());
        if (i > 0)
            adler = adler32_combine(adler, bands[i].adler, z_off_t(bands[i].rawBytes));
    }
    uchar adlerBytes[4];
    qToBigEndian(quint32(adler), adlerBytes);
    zlibStream.insert(zlibStream.end(), adlerBytes, adlerBytes + 4);

    QByteArray png;
    png.reserve(qsizetype(zlibStream.size()) + 128);
    png.append("\x89PNG\r\n\x1a\n", 8);
    uchar header[13];
    qToBigEndian(quint32(pixels.width()), header);
    qToBigEndian(quint32(pixels.height()), header + 4);
    header[8] = 8;             // bits per channel
    header[9] = alpha ? 6 : 2; // RGBA : RGB
    header[10] = 0;            // deflate
    header[11] = 0;            // adaptive filtering (every row uses "none")
    header[12] = 0;            // not interlaced
    appendChunk(png, "IHDR", header, 13);
    for (qsizetype at = 0; at < qsizetype(zlibStream.size()); at += idatChunkSize) {
        const qsizetype size = std::min(idatChunkSize, qsizetype(zlibStream.size()) - at);
        appendChunk(png, "IDAT", zlibStream.data() + at, size);
    }
    appendChunk(png, "IEND", nullptr, 0);
    return png;
}

} // namespace zorv::ImageEncoder
