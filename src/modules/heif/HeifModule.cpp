// HEIC encoding and decoding through libheif, built as a module of its own
// that Zorv loads on first use: libheif brings its codecs (x265, de265, aom,
// dav1d), whose loading and start-up would otherwise cost every launch.
#include "modules/heif/HeifModule.h"

#include <QByteArray>
#include <QImage>
#include <optional>

#include <cmath>
#include <cstring>
#include <libheif/heif.h>
#include <memory>
#include <mutex>

namespace
{

namespace
{

void initialiseOnce()
{
    static std::once_flag once;
    std::call_once(once, [] { heif_init(nullptr); });
}

struct ContextDeleter {
    void operator()(heif_context *context) const { heif_context_free(context); }
};
struct ImageDeleter {
    void operator()(heif_image *image) const { heif_image_release(image); }
};
struct HandleDeleter {
    void operator()(heif_image_handle *handle) const { heif_image_handle_release(handle); }
};
struct EncoderDeleter {
    void operator()(heif_encoder *encoder) const { heif_encoder_release(encoder); }
};
using Context = std::unique_ptr<heif_context, ContextDeleter>;
using Image = std::unique_ptr<heif_image, ImageDeleter>;
using Handle = std::unique_ptr<heif_image_handle, HandleDeleter>;
using Encoder = std::unique_ptr<heif_encoder, EncoderDeleter>;

heif_error appendToByteArray(heif_context *, const void *data, size_t size, void *userdata)
{
    static_cast<QByteArray *>(userdata)->append(static_cast<const char *>(data), qsizetype(size));
    return heif_error{heif_error_Ok, heif_suberror_Unspecified, "ok"};
}

// The image as interleaved 8-bit RGB or RGBA (not premultiplied) for libheif.
Image toHeifImage(const QImage &image, bool alpha)
{
    const QImage pixels =
        image.convertToFormat(alpha ? QImage::Format_RGBA8888 : QImage::Format_RGB888);
    heif_image *raw = nullptr;
    if (heif_image_create(pixels.width(), pixels.height(), heif_colorspace_RGB,
                          alpha ? heif_chroma_interleaved_RGBA : heif_chroma_interleaved_RGB, &raw)
            .code != heif_error_Ok)
        return nullptr;
    Image result(raw);
    if (heif_image_add_plane(raw, heif_channel_interleaved, pixels.width(), pixels.height(), 8)
            .code != heif_error_Ok)
        return nullptr;
    int stride = 0;
    uint8_t *plane = heif_image_get_plane(raw, heif_channel_interleaved, &stride);
    if (!plane)
        return nullptr;
    const size_t rowBytes = size_t(pixels.width()) * (alpha ? 4 : 3);
    for (int y = 0; y < pixels.height(); ++y)
        std::memcpy(plane + qsizetype(y) * stride, pixels.constScanLine(y), rowBytes);
    return result;
}

} // namespace

std::optional<QByteArray> encode(const QImage &image, bool withAlpha, double quality)
{
    if (image.isNull())
        return std::nullopt;
    initialiseOnce();
    Image heifImage = toHeifImage(image, withAlpha);
    if (!heifImage)
        return std::nullopt;

    Context context(heif_context_alloc());
    heif_encoder *rawEncoder = nullptr;
    if (!context ||
        heif_context_get_encoder_for_format(context.get(), heif_compression_HEVC, &rawEncoder)
                .code != heif_error_Ok)
        return std::nullopt;
    Encoder encoder(rawEncoder);
    // x265's default preset ("slow") takes twice as long on a 4K screenshot for
    // files only about 4 % smaller; a capture waits for this encoder.
    heif_encoder_set_parameter_string(encoder.get(), "preset", "veryfast");
    const int lossyQuality = int(std::lround(std::clamp(quality, 0.0, 1.0) * 100));
    if (heif_encoder_set_lossy_quality(encoder.get(), lossyQuality).code != heif_error_Ok)
        return std::nullopt;
    if (heif_context_encode_image(context.get(), heifImage.get(), encoder.get(), nullptr, nullptr)
            .code != heif_error_Ok)
        return std::nullopt;

    QByteArray bytes;
    heif_writer writer{1, appendToByteArray};
    if (heif_context_write(context.get(), &writer, &bytes).code != heif_error_Ok || bytes.isEmpty())
        return std::nullopt;
    return bytes;
}

std::optional<QImage> decode(const QByteArray &bytes)
{
    initialiseOnce();
    Context context(heif_context_alloc());
    if (!context || heif_context_read_from_memory_without_copy(context.get(), bytes.constData(),
                                                               size_t(bytes.size()), nullptr)
                            .code != heif_error_Ok)
        return std::nullopt;
    heif_image_handle *rawHandle = nullptr;
    if (heif_context_get_primary_image_handle(context.get(), &rawHandle).code != heif_error_Ok)
        return std::nullopt;
    Handle handle(rawHandle);
    heif_image *rawImage = nullptr;
    if (heif_decode_image(handle.get(), &rawImage, heif_colorspace_RGB,
                          heif_chroma_interleaved_RGBA, nullptr)
            .code != heif_error_Ok)
        return std::nullopt;
    Image decoded(rawImage);
    const int width = heif_image_get_width(rawImage, heif_channel_interleaved);
    const int height = heif_image_get_height(rawImage, heif_channel_interleaved);
    int stride = 0;
    const uint8_t *plane =
        heif_image_get_plane_readonly(rawImage, heif_channel_interleaved, &stride);
    if (!plane || width <= 0 || height <= 0)
        return std::nullopt;
    QImage image(width, height, QImage::Format_RGBA8888);
    if (image.isNull())
        return std::nullopt;
    for (int y = 0; y < height; ++y)
        std::memcpy(image.scanLine(y), plane + qsizetype(y) * stride, size_t(width) * 4);
    return image;
}

} // namespace

extern "C" {

ZORV_HEIF_EXPORT bool zorv_heic_encode(const QImage *image, bool withAlpha, double quality,
                                       QByteArray *out)
{
    std::optional<QByteArray> bytes = encode(*image, withAlpha, quality);
    if (bytes)
        *out = std::move(*bytes);
    return bytes.has_value();
}

ZORV_HEIF_EXPORT bool zorv_heic_decode(const QByteArray *bytes, QImage *out)
{
    std::optional<QImage> image = decode(*bytes);
    if (image)
        *out = std::move(*image);
    return image.has_value();
}

} // extern "C"
