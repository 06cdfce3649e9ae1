#include "platform/wayland/WaylandClipboard.h"

#include "common/Log.h"
#include "common/Modules.h"
#include "modules/wlclip/WlClipModule.h"

#include <QEvent>
#include <QGuiApplication>
#include <QMimeData>
#include <QPointer>
#include <QWindow>
#include <vector>

namespace zorv
{

namespace
{

struct Module {
    ZorvWlClipOpen open = nullptr;
    ZorvWlClipSet set = nullptr;
    ZorvWlClipSupply supply = nullptr;
    ZorvWlClipOwned owned = nullptr;
    ZorvWlClipClose close = nullptr;
};

const Module &module()
{
    static const Module loaded = [] {
        const QList<QFunctionPointer> found =
            loadModule(QStringLiteral("libzorv-wlclip"),
                       {QStringLiteral("zorv_wlclip_open"), QStringLiteral("zorv_wlclip_set"),
                        QStringLiteral("zorv_wlclip_supply"), QStringLiteral("zorv_wlclip_owned"),
                        QStringLiteral("zorv_wlclip_close")},
                       QStringLiteral("Clipboard without focus"));
        if (found.isEmpty())
            return Module{};
        return Module{reinterpret_cast<ZorvWlClipOpen>(found[0]),
                      reinterpret_cast<ZorvWlClipSet>(found[1]),
                      reinterpret_cast<ZorvWlClipSupply>(found[2]),
                      reinterpret_cast<ZorvWlClipOwned>(found[3]),
                      reinterpret_cast<ZorvWlClipClose>(found[4])};
    }();
    return loaded;
}

const QString plainText = QStringLiteral("text/plain");

// Names under which programs ask for plain text, besides text/plain itself.
const QStringList &textAliases()
{
    static const QStringList aliases{QStringLiteral("text/plain;charset=utf-8"),
                                     QStringLiteral("UTF8_STRING"), QStringLiteral("STRING"),
                                     QStringLiteral("TEXT")};
    return aliases;
}

// Runs on the module's thread: the bytes are made on the main thread.
void requested(void *userdata, int generation, const char *type)
{
    auto *clipboard = static_cast<WaylandClipboard *>(userdata);
    QMetaObject::invokeMethod(
        clipboard,
        [clipboard, generation, type = QString::fromUtf8(type)] {
            clipboard->supply(generation, type);
        },
        Qt::QueuedConnection);
}

} // namespace

WaylandClipboard::WaylandClipboard(int focusWaitMs, QObject *parent) : QObject(parent)
{
    m_giveUp.setSingleShot(true);
    m_giveUp.setInterval(focusWaitMs);
    connect(&m_giveUp, &QTimer::timeout, this, [this] {
        if (!m_waiting)
            return;
        m_waiting.reset();
        logLine(QStringLiteral("a copy did not reach the clipboard: no Zorv window had the "
                               "focus and the compositor offers no data-control protocol"));
        if (!m_told && m_notice) {
            m_told = true;
            m_notice(QStringLiteral("Not copied: this desktop lets Zorv reach the clipboard only "
                                    "while one of its windows is in use. Copy from the "
                                    "quick-access panel or the history instead."));
        }
    });
    qGuiApp->installEventFilter(this);
    connect(qGuiApp, &QGuiApplication::focusWindowChanged, this, [this](QWindow *window) {
        if (window && m_waiting)
            deliverWaiting();
    });
}

WaylandClipboard::~WaylandClipboard()
{
    if (m_clip)
        module().close(m_clip);
}

void WaylandClipboard::setNotice(std::function<void(const QString &)> notice)
{
    m_notice = std::move(notice);
}

bool WaylandClipboard::openDataControl()
{
    if (m_tried)
        return m_clip;
    m_tried = true;
    const Module &m = module();
    if (!m.open)
        return false;
    char error[256] = {};
    m_clip = m.open(&requested, this, error, sizeof error);
    if (!m_clip)
        logLine(QStringLiteral("copies go through the focused window: %1")
                    .arg(QString::fromUtf8(error)));
    return m_clip;
}

void WaylandClipboard::setMimeData(QMimeData *data)
{
    std::unique_ptr<QMimeData> owned(data);
    if (openDataControl()) {
        QStringList types = owned->formats();
        if (types.contains(plainText)) {
            for (const QString &alias : textAliases()) {
                if (!types.contains(alias))
                    types.append(alias);
            }
        }
        std::vector<QByteArray> names;
        std::vector<const char *> pointers;
        for (const QString &type : types)
            names.push_back(type.toUtf8());
        for (const QByteArray &name : names)
            pointers.push_back(name.constData());
        // Every type deferred: an image is encoded only when pasted, as on X11.
        const int generation =
            module().set(m_clip, int(pointers.size()), pointers.data(), nullptr, nullptr);
        if (generation > 0) {
            m_generation = generation;
            m_data = std::move(owned);
            m_waiting.reset();
            return;
        }
        // The connection broke: this and later copies use the focused window.
        logLine(QStringLiteral("the data-control connection is gone; copies go through the "
                               "focused window"));
        module().close(m_clip);
        m_clip = nullptr;
        m_data.reset();
    }
    const bool recentInput = m_sinceInput.isValid() && m_sinceInput.elapsed() < recentInputMs;
    if (QGuiApplication::focusWindow() || recentInput) {
        m_qt.setMimeData(owned.release());
        return;
    }
    m_waiting = std::move(owned);
    m_giveUp.start();
}

bool WaylandClipboard::eventFilter(QObject *watched, QEvent *event)
{
    switch (event->type()) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::KeyPress:
        if (qobject_cast<QWindow *>(watched))
            m_sinceInput.start();
        break;
    case QEvent::Expose:
        // A Zorv window appearing while a copy waits asks for the focus.
        if (auto *window = qobject_cast<QWindow *>(watched);
            window && m_waiting && window->isExposed() && !QGuiApplication::focusWindow())
            window->requestActivate();
        break;
    default:
        break;
    }
    return false;
}

void WaylandClipboard::deliverWaiting()
{
    m_giveUp.stop();
    m_qt.setMimeData(m_waiting.release());
}

void WaylandClipboard::supply(int generation, const QString &type)
{
    if (!m_clip)
        return;
    QByteArray bytes;
    const bool current = generation == m_generation && m_data;
    if (current)
        bytes = m_data->data(textAliases().contains(type) ? plainText : type);
    module().supply(m_clip, generation, type.toUtf8().constData(),
                    current ? bytes.constData() : nullptr, size_t(bytes.size()));
}

const QMimeData *WaylandClipboard::ownedMimeData()
{
    if (m_clip)
        return m_data && module().owned(m_clip) ? m_data.get() : nullptr;
    if (m_waiting)
        return m_waiting.get();
    return m_qt.ownedMimeData();
}

} // namespace zorv
