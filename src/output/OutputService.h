#pragma once

#include "output/FileWriter.h"

#include <QByteArray>
#include <QImage>
#include <QString>
#include <functional>
#include <optional>

namespace zorv
{

class AppSettings;

// Turns captures into files and clipboard contents. Paths are local file paths.
class OutputService
{
  public:
    struct SaveResult {
        QString url; // the file that was written
    };

    static OutputService &shared();
    explicit OutputService(AppSettings &settings);

    // The first of "name.ext", "name 2.ext", "name 3.ext", … that does not exist
    // in `directory`. Nothing is reserved; writers take the name with
    // FileWriter, which moves on when a name was taken in between.
    static QString uniqueURL(const QString &directory, const QString &fileName);

    // Puts the image on the clipboard as image/png at its pixel size.
    static void copy(const QImage &image);
    // Hands the PNG bytes of an image just copied to the clipboard, if the
    // clipboard still holds that image.
    static void offerClipboardPng(const QImage &image, const QByteArray &png);

    // Writes the capture into the save folder (created when missing). `data` is
    // the already encoded file; without it the image is encoded in the chosen
    // format and the extension of `fileName` follows that format.
    FileResult<SaveResult> save(const QImage &image, const std::optional<QByteArray> &data,
                                const QString &fileName) const;

    // Asks for a destination with a file dialog that does not block; the image
    // is encoded and written in the background, in the format the chosen
    // name's extension asks for. A name with another extension, or none, gets
    // the configured format's appended ("shot.webp" -> "shot.webp.png").
    // `completion` gets the written path, or nothing when cancelled or when
    // writing failed (after a beep).
    void saveWithPanel(const QImage &image, const QString &suggestedName,
                       std::function<void(std::optional<QString>)> completion = {}) const;

    // The save folder with a leading "~" expanded.
    QString saveDirectory() const;
    static QString expandTilde(const QString &path);

  private:
    AppSettings &m_settings;
};

} // namespace zorv
