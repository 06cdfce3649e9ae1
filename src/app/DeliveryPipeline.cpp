#include "app/DeliveryPipeline.h"

#include "common/Trace.h"
#include "common/WhenReady.h"
#include "output/Naming.h"
#include "output/OutputService.h"
#include "output/encoding/ImageEncoder.h"
#include "output/history/HistoryStore.h"
#include "platform/Platform.h"
#include "settings/AppSettings.h"

#include <QFuture>
#include <QtConcurrent/QtConcurrentRun>

namespace zorv
{

namespace
{
const QString warningSymbol = QStringLiteral("exclamationmark.triangle.fill");
} // namespace

DeliveryPipeline::DeliveryPipeline(DeliveryServices services, QObject *parent)
    : QObject(parent), m_services(std::move(services))
{
}

void DeliveryPipeline::deliver(const QImage &image, CaptureKind kind, Finished finished)
{
    Delivery delivery;
    delivery.image = image;
    delivery.kind = kind;
    copyToClipboard(delivery);
    announce();
    name(delivery);
    auto encoding =
        QtConcurrent::run([image, format = delivery.format, quality = delivery.quality] {
            Trace::mark("encode-start");
            std::optional<QByteArray> data = encode(image, format, quality);
            Trace::mark("encode-end");
            return data;
        });
    whenReady(std::move(encoding), this,
              [this, delivery = std::move(delivery),
               finished = std::move(finished)](std::optional<QByteArray> data) mutable {
                  delivery.data = std::move(data);
                  offerEncodedToClipboard(delivery);
                  keepInHistory(delivery);
                  saveAutomatically(delivery);
                  if (finished)
                      finished(delivery);
              });
}

void DeliveryPipeline::copyToClipboard(const Delivery &delivery) const
{
    if (!m_services.settings->copyToClipboard())
        return;
    m_services.copy(delivery.image);
    Trace::mark("clipboard-set");
}

void DeliveryPipeline::announce() const
{
    if (m_services.settings->playSound() && !m_services.sound->playCaptureSound())
        m_services.beep();
}

void DeliveryPipeline::name(Delivery &delivery) const
{
    const AppSettings &settings = *m_services.settings;
    delivery.format = settings.imageFormat();
    delivery.quality = settings.jpegQuality();
    delivery.fileName = Naming::fileName(settings.nameTemplate(), m_services.now(),
                                         imageFormat::fileExtension(delivery.format));
}

std::optional<QByteArray> DeliveryPipeline::encode(const QImage &image, ImageFormat format,
                                                   double quality)
{
    return ImageEncoder::encode(image, format, quality);
}

void DeliveryPipeline::offerEncodedToClipboard(const Delivery &delivery) const
{
    // A paste from now on is served from these bytes instead of encoding again.
    if (delivery.data && delivery.format == ImageFormat::png &&
        m_services.settings->copyToClipboard())
        m_services.offerPng(delivery.image, *delivery.data);
}

void DeliveryPipeline::keepInHistory(Delivery &delivery) const
{
    const FileResult<HistoryItem> item = m_services.history().recordImage(
        delivery.image, delivery.data, delivery.kind, delivery.fileName);
    Trace::mark("history-written");
    if (item) {
        delivery.historyItem = item.value();
        return;
    }
    // The history is where every capture is kept: losing one (a full disk) must
    // not go unnoticed. The store has logged it too.
    m_services.toast(QStringLiteral("Couldn't keep the capture in the history: ") +
                         item.error().description(),
                     warningSymbol, toastSeconds);
}

void DeliveryPipeline::saveAutomatically(Delivery &delivery) const
{
    AppSettings &settings = *m_services.settings;
    if (!settings.saveScreenshotsAutomatically())
        return;
    const auto saved =
        OutputService(settings).save(delivery.image, delivery.data, delivery.fileName);
    if (saved)
        delivery.savedPath = saved.value().url;
    else
        m_services.toast(QStringLiteral("Couldn't save: ") + saved.error().description(),
                         warningSymbol, toastSeconds);
}

} // namespace zorv
