#include "output/OutputService.h"

#include "output/encoding/ImageEncoder.h"
#include "settings/AppSettings.h"

#include "platform/Platform.h"
#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QFuture>
#include <QGuiApplication>
#include <QMimeData>
#include <QMimeDatabase>
#include <QtConcurrent/QtConcurrentRun>

namespace zorv
{

namespace
{

const QString pngMimeType = QStringLiteral("image/png");

// Splits "name.ext" at its last dot; a leading dot starts no extension.
std::pair<QString, QString> splitExtension(const QString &fileName)
{
    const qsizetype dot = fileName.lastIndexOf(QLatin1Char('.'));
    if (dot <= 0)
        return {fileName, QString()};
    return {fileName.left(dot), fileName.mid(dot + 1)};
}

// Offers only image/png and encodes on the first paste, so that copying a
// capture costs nothing until someone asks for it.
class PngMimeData : public QMimeData
{
  public:
    PngMimeData(QImage image, qint64 sourceKey) : m_image(std::move(image)), m_imageKey(sourceKey)
    {
    }

    QStringList formats() const override { return {pngMimeType}; }
    bool hasFormat(const QString &mimeType) const override { return mimeType == pngMimeType; }

  protected:
    QVariant retrieveData(const QString &mimeType, QMetaType) const override
    {
        if (mimeType != pngMimeType)
            return {};
        if (m_png.isEmpty()) {
            m_png = ImageEncoder::pngData(m_image).value_or(QByteArray());
            if (!m_png.isEmpty())
                m_image = QImage();
        }
        return m_png;
    }

  public:
    // Takes bytes the capture pipeline already encoded, so a paste is served at
    // once instead of encoding again on the GUI thread.
    void offer(const QImage &image, const QByteArray &png)
    {
        if (m_png.isEmpty() && !png.isEmpty() && image.cacheKey() == m_imageKey) {
            m_png = png;
            m_image = QImage(); // the bytes are all a paste needs from now on
        }
    }

  private:
    mutable QImage m_image; // until the PNG bytes exist
    qint64 m_imageKey;      // the caller's image, before any change of pixel ratio
    mutable QByteArray m_png;
};

QString panelMimeType(ImageFormat format)
{
    switch (format) {
    case ImageFormat::png:
        return pngMimeType;
    case ImageFormat::jpeg:
        return QStringLiteral("image/jpeg");
    case ImageFormat::heic:
        if (QMimeDatabase().mimeTypeForName(QStringLiteral("image/heic")).isValid())
            return QStringLiteral("image/heic");
        return pngMimeType;
    }
    return pngMimeType;
}

// The format a chosen file name asks for by its extension; none when the
// extension names none of the formats written here.
std::optional<ImageFormat> formatForPath(const QString &path)
{
    const QString suffix = QFileInfo(path).suffix().toLower();
    if (suffix == QLatin1String("png"))
        return ImageFormat::png;
    if (suffix == QLatin1String("jpg") || suffix == QLatin1String("jpeg"))
        return ImageFormat::jpeg;
    if (suffix == QLatin1String("heic") || suffix == QLatin1String("heif"))
        return ImageFormat::heic;
    return std::nullopt;
}

struct PanelTarget {
    QString path;
    ImageFormat format;
    bool replaces = true; // the panel asked before a file there is replaced
};

// Where a name chosen in the panel is written, and how. A name whose extension
// is another kind of image ("shot.webp") or none keeps what was typed and gets
// the configured format's extension, so the bytes never contradict the name;
// a file already there under that longer name is not replaced unasked (the
// name is made unique instead).
PanelTarget panelTarget(const QString &chosen, ImageFormat configured)
{
    if (const std::optional<ImageFormat> format = formatForPath(chosen))
        return {chosen, *format};
    const QFileInfo info(chosen);
    const QString name =
        info.fileName() + QLatin1Char('.') + imageFormat::fileExtension(configured);
    return {QDir(info.path()).filePath(name), configured, false};
}

} // namespace

OutputService &OutputService::shared()
{
    static OutputService service(AppSettings::shared());
    return service;
}

OutputService::OutputService(AppSettings &settings) : m_settings(settings) {}

QString OutputService::uniqueURL(const QString &directory, const QString &fileName)
{
    const QDir dir(directory);
    const QString first = dir.filePath(fileName);
    if (!QFileInfo::exists(first) && !QFileInfo(first).isSymLink())
        return first;
    const auto [base, ext] = splitExtension(fileName);
    for (int n = 2;; ++n) {
        QString name = base + QLatin1Char(' ') + QString::number(n);
        if (!ext.isEmpty())
            name += QLatin1Char('.') + ext;
        const QString candidate = dir.filePath(name);
        // A dangling symbolic link still occupies the name.
        if (!QFileInfo::exists(candidate) && !QFileInfo(candidate).isSymLink())
            return candidate;
    }
}

void OutputService::copy(const QImage &image)
{
    QImage pixels = image;
    pixels.setDevicePixelRatio(1.0);
    Platform::shared().clipboard().setMimeData(
        new PngMimeData(std::move(pixels), image.cacheKey()));
}

void OutputService::offerClipboardPng(const QImage &image, const QByteArray &png)
{
    const QMimeData *owned = Platform::shared().clipboard().ownedMimeData();
    // Still ours and still this capture: another copy since would not match.
    if (auto *mime = dynamic_cast<PngMimeData *>(const_cast<QMimeData *>(owned)))
        mime->offer(image, png);
}

QString OutputService::expandTilde(const QString &path)
{
    if (path == QLatin1String("~"))
        return QDir::homePath();
    if (path.startsWith(QLatin1String("~/")))
        return QDir::homePath() + path.mid(1);
    return path;
}

QString OutputService::saveDirectory() const
{
    return expandTilde(m_settings.saveDirectoryPath());
}

FileResult<OutputService::SaveResult> OutputService::save(const QImage &image,
                                                          const std::optional<QByteArray> &data,
                                                          const QString &fileName) const
{
    const QString directory = saveDirectory();
    if (const auto error = FileWriter::ensureDirectory(directory))
        return *error;

    const ImageFormat format = m_settings.imageFormat();
    QString name = fileName;
    if (!data)
        name =
            splitExtension(fileName).first + QLatin1Char('.') + imageFormat::fileExtension(format);

    const std::optional<QByteArray> bytes =
        data ? data : ImageEncoder::encode(image, format, m_settings.jpegQuality());
    if (!bytes)
        return FileError(FileError::Reason::encodingFailed, QDir(directory).filePath(name));

    const FileResult<QString> written = FileWriter::writeNewFile(directory, name, *bytes);
    if (!written)
        return written.error();
    return SaveResult{written.value()};
}

void OutputService::saveWithPanel(const QImage &image, const QString &suggestedName,
                                  std::function<void(std::optional<QString>)> completion) const
{
    const ImageFormat format = m_settings.imageFormat();
    auto *dialog = new QFileDialog(nullptr, QString(), saveDirectory());
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->setAcceptMode(QFileDialog::AcceptSave);
    dialog->setFileMode(QFileDialog::AnyFile);
    dialog->setMimeTypeFilters({panelMimeType(format)});
    dialog->setDefaultSuffix(imageFormat::fileExtension(format));
    dialog->selectFile(suggestedName);

    const AppSettings *settings = &m_settings;
    QObject::connect(dialog, &QFileDialog::finished, dialog, [=](int result) {
        const QStringList files = dialog->selectedFiles();
        if (result != QDialog::Accepted || files.isEmpty()) {
            if (completion)
                completion(std::nullopt);
            return;
        }
        const QString chosen = files.first();
        const double quality = settings->jpegQuality();
        // A name typed with another extension gets that format, so the file
        // is what its name says.
        QtConcurrent::run([image, format, quality, chosen]() -> std::optional<QString> {
            const PanelTarget target = panelTarget(chosen, format);
            const std::optional<QByteArray> bytes =
                ImageEncoder::encode(image, target.format, quality);
            if (!bytes)
                return std::nullopt;
            if (!target.replaces) {
                const QFileInfo info(target.path);
                const FileResult<QString> written =
                    FileWriter::writeNewFile(info.path(), info.fileName(), *bytes);
                return written ? std::optional(written.value()) : std::nullopt;
            }
            if (FileWriter::replaceFile(target.path, *bytes))
                return std::nullopt;
            return target.path;
        }).then(qApp, [image, completion, settings](const std::optional<QString> &path) {
            if (!path) {
                QApplication::beep();
                if (completion)
                    completion(std::nullopt);
                return;
            }
            if (settings->copyToClipboard())
                copy(image);
            if (completion)
                completion(*path);
        });
    });
    dialog->show();
}

} // namespace zorv
