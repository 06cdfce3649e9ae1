#pragma once

#include "common/CaptureKind.h"
#include "output/history/HistoryItem.h"
#include "settings/Options.h"

#include <QByteArray>
#include <QDateTime>
#include <QImage>
#include <QObject>
#include <functional>
#include <optional>

namespace zorv
{

class AppSettings;
class HistoryStore;
class SoundPlayer;

using ToastFunction =
    std::function<void(const QString &message, const QString &symbol, double seconds)>;

// One still capture on its way through delivery; each step adds to it.
struct Delivery {
    QImage image;
    CaptureKind kind = CaptureKind::screenshot;
    QString fileName;
    ImageFormat format = ImageFormat::png;
    double quality = 0.9;
    std::optional<QByteArray> data; // the encoded file; none when the encoder failed
    std::optional<HistoryItem> historyItem;
    std::optional<QString> savedPath; // the automatic save
};

// What delivery works with; the application wires the real ones.
struct DeliveryServices {
    AppSettings *settings = nullptr;
    // Opened on first use: a store reads its folder when it opens.
    std::function<HistoryStore &()> history;
    SoundPlayer *sound = nullptr;
    std::function<void(const QImage &)> copy;
    // Hands the encoded PNG to the clipboard that holds the image.
    std::function<void(const QImage &, const QByteArray &)> offerPng;
    std::function<void()> beep;
    ToastFunction toast;
    std::function<QDateTime()> now;
};

// Runs every still capture, whatever produced it, through the same steps in
// the same order: clipboard, sound, file name, encoding (off the GUI thread),
// the encoded PNG for pastes, history copy, automatic save. Each step is
// callable alone.
class DeliveryPipeline : public QObject
{
    Q_OBJECT
  public:
    using Finished = std::function<void(const Delivery &)>;
    static constexpr double toastSeconds = 1.9;

    explicit DeliveryPipeline(DeliveryServices services, QObject *parent = nullptr);

    // `finished` runs on the GUI thread after the last step.
    void deliver(const QImage &image, CaptureKind kind, Finished finished = {});

    // The steps, in order.
    void copyToClipboard(const Delivery &delivery) const;
    void announce() const;
    void name(Delivery &delivery) const;
    static std::optional<QByteArray> encode(const QImage &image, ImageFormat format,
                                            double quality);
    void offerEncodedToClipboard(const Delivery &delivery) const;
    void keepInHistory(Delivery &delivery) const;
    void saveAutomatically(Delivery &delivery) const;

  private:
    DeliveryServices m_services;
};

} // namespace zorv
