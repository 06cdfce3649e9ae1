#include "output/pins/PinWindowController.h"

#include "output/Naming.h"
#include "output/pins/PinContentView.h"
#include "output/pins/PinGeometry.h"
#include "platform/WindowSystem.h"

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
} // namespace

PinWindowController *PinWindowController::pin(const QImage &image, WindowSystem &windowSystem,
                                              PinActions actions)
{
    if (image.isNull())
        return nullptr;
    auto *controller = new PinWindowController(image, windowSystem, std::move(actions));
    openPins().append(controller);
    PinContentView *window = controller->window();
    window->show();
    window->raise();
    windowSystem.setOnAllWorkspaces(window->windowHandle());
    return controller;
}

const QList<PinWindowController *> &PinWindowController::pins()
{
    return openPins();
}

PinWindowController::PinWindowController(QImage image, WindowSystem &windowSystem,
                                         PinActions actions)
    : m_windowSystem(windowSystem), m_image(std::move(image)), m_actions(std::move(actions)),
      m_aspect(PinGeometry::aspect(m_image.size()))
{
    // Without a compositor the rounded corners come from the window's shape.
    const bool shaped = !windowSystem.compositingActive();
    m_window = std::make_unique<PinContentView>(*this, m_image, shaped);
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

bool PinWindowController::handOverMove()
{
    return m_windowSystem.startSystemMove(m_window->windowHandle());
}

void PinWindowController::copyImage()
{
    if (m_actions.copy)
        m_actions.copy(m_image);
    if (m_actions.toast)
        m_actions.toast(QStringLiteral("Copied to Clipboard"), QStringLiteral("doc.on.doc.fill"),
                        toastSeconds);
}

void PinWindowController::saveToDisk()
{
    const auto [nameTemplate, format] = m_actions.naming
                                            ? m_actions.naming()
                                            : std::pair(QStringLiteral("{date}"), ImageFormat::png);
    const QString name = suggestedFileName(nameTemplate, format, QDateTime::currentDateTime());
    if (m_actions.saveWithPanel)
        m_actions.saveWithPanel(m_image, name);
    if (m_actions.toast)
        m_actions.toast(QStringLiteral("Choose where to save…"),
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
