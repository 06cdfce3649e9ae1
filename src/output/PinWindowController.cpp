#include "output/PinWindowController.h"

#include "output/Naming.h"
#include "output/PinContentView.h"
#include "output/PinGeometry.h"
#include "platform/Platform.h"

#include <QGuiApplication>
#include <QScreen>

namespace zorv
{

namespace
{
constexpr double toastSeconds = 1.9;

QList<PinWindowController *> &openPins()
{
    static QList<PinWindowController *> list;
    return list;
}

PinActions &actions()
{
    static PinActions current = PinActions::standard();
    return current;
}
} // namespace

PinWindowController *PinWindowController::pin(const QImage &image)
{
    if (image.isNull())
        return nullptr;
    auto *controller = new PinWindowController(image);
    openPins().append(controller);
    PinContentView *window = controller->window();
    window->show();
    window->raise();
    Platform::shared().windowSystem().setOnAllWorkspaces(window->windowHandle());
    return controller;
}

const QList<PinWindowController *> &PinWindowController::pins()
{
    return openPins();
}

void PinWindowController::setActions(PinActions replacement)
{
    actions() = std::move(replacement);
}

PinWindowController::PinWindowController(QImage image)
    : m_image(std::move(image)), m_aspect(PinGeometry::aspect(m_image.size()))
{
    m_window = std::make_unique<PinContentView>(*this, m_image);
    const QSizeF size = PinGeometry::windowSize(PinGeometry::initialImageSize(m_image.size()));
    m_window->resize(size.toSize());
    QScreen *screen = QGuiApplication::primaryScreen();
    if (!screen && !QGuiApplication::screens().isEmpty())
        screen = QGuiApplication::screens().constFirst();
    if (screen) {
        const QPointF topLeft =
            PinGeometry::initialTopLeft(QRectF(screen->availableGeometry()), size);
        m_window->move(topLeft.toPoint());
    }
}

PinWindowController::~PinWindowController() = default;

void PinWindowController::copyImage()
{
    if (actions().copy)
        actions().copy(m_image);
    if (actions().toast)
        actions().toast(QStringLiteral("Copied to Clipboard"), QStringLiteral("doc.on.doc.fill"),
                        toastSeconds);
}

void PinWindowController::saveToDisk()
{
    const auto [nameTemplate, format] = actions().naming
                                            ? actions().naming()
                                            : std::pair(QStringLiteral("{date}"), ImageFormat::png);
    const QString name = suggestedFileName(nameTemplate, format, QDateTime::currentDateTime());
    if (actions().saveWithPanel)
        actions().saveWithPanel(m_image, name);
    if (actions().toast)
        actions().toast(QStringLiteral("Choose where to save…"),
                        QStringLiteral("square.and.arrow.down"), toastSeconds);
}

void PinWindowController::close()
{
    m_window->close();
}

void PinWindowController::windowClosed()
{
    if (openPins().removeAll(this) > 0)
        deleteLater();
}

QString PinWindowController::suggestedFileName(const QString &nameTemplate, ImageFormat format,
                                               const QDateTime &date)
{
    return Naming::fileName(nameTemplate, date, imageFormat::fileExtension(format));
}

} // namespace zorv
