#include "app/ShortcutRegistrar.h"

#include "settings/AppSettings.h"
#include "settings/HotKeyCenter.h"

namespace zorv
{

ShortcutRegistrar::ShortcutRegistrar(HotKeyCenter &center, AppSettings &settings,
                                     PlatformCapabilities capabilities, Dispatch dispatch,
                                     ToastFunction toast, QObject *parent)
    : QObject(parent), m_center(center), m_settings(settings), m_capabilities(capabilities),
      m_dispatch(std::move(dispatch)), m_toast(std::move(toast))
{
    connect(&settings, &AppSettings::changed, this, [this](const QString &key) {
        if (key == m_settings.hotkeys.key())
            registerAll();
    });
    // A desktop that binds through its portal answers after the reload.
    connect(&center, &HotKeyCenter::refusedLater, this, &ShortcutRegistrar::tellAboutRefusals);
}

void ShortcutRegistrar::suspend()
{
    m_suspended = true;
    m_center.unregisterAll();
}

void ShortcutRegistrar::resume()
{
    if (!m_suspended)
        return;
    m_suspended = false;
    registerAll();
}

std::optional<QString> ShortcutRegistrar::probe(const KeyCombo &combo)
{
    if (!m_capabilities.globalHotKeys)
        return QStringLiteral("this desktop offers no global shortcuts");
    return m_center.probe(combo);
}

void ShortcutRegistrar::registerAll()
{
    if (m_suspended)
        return;
    HotKeyMap wanted;
    if (m_capabilities.globalHotKeys) {
        const HotKeyMap all = m_settings.hotkeys();
        for (CaptureAction action : captureAction::available(m_capabilities)) {
            if (all.contains(action))
                wanted.insert(action, all.value(action));
        }
    }
    m_center.reload(wanted, m_dispatch);
    tellAboutRefusals();
}

void ShortcutRegistrar::tellAboutRefusals()
{
    QStringList names;
    QStringList reasons;
    for (const HotKeyCenter::Refusal &refusal : m_center.refusals()) {
        const QString key = captureAction::rawValue(refusal.action) + QLatin1Char(' ') +
                            refusal.combo.displayString();
        if (m_told.contains(key))
            continue;
        m_told.insert(key);
        names.append(QStringLiteral("%1 (%2)").arg(captureAction::title(refusal.action),
                                                   refusal.combo.displayString()));
        if (!reasons.contains(refusal.reason))
            reasons.append(refusal.reason);
    }
    if (names.isEmpty())
        return;
    const QString message =
        names.size() == 1
            ? QStringLiteral("No shortcut for %1: %2").arg(names.first())
            : QStringLiteral("No shortcuts for %1: %2").arg(names.join(QStringLiteral(", ")));
    m_toast(message.arg(reasons.join(QStringLiteral("; "))), QStringLiteral("keyboard"),
            noticeSeconds);
}

} // namespace zorv
