#include "app/settingswindow/SettingsLayout.h"
#include "app/settingswindow/SettingsPages.h"
#include "app/settingswindow/SettingsServices.h"
#include "settings/AppSettings.h"
#include "settings/ShortcutRecorder.h"

#include <QFontDatabase>
#include <QGridLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace zorv::settingsPages
{

using namespace settingsLayout;

namespace
{
// Why `combo` cannot become `action`'s shortcut; nullopt when it can.
std::optional<QString> refusal(const SettingsServices &services, CaptureAction action,
                               const KeyCombo &combo)
{
    const HotKeyMap map = services.settings->hotkeys();
    for (auto it = map.cbegin(); it != map.cend(); ++it) {
        if (it.key() != action && it.value() == combo)
            return QStringLiteral("%1 is already the shortcut for %2.")
                .arg(combo.displayString(), captureAction::title(it.key()));
    }
    if (services.probeShortcut) {
        if (const auto reason = services.probeShortcut(combo))
            return QStringLiteral("%1 is taken by another program (%2).")
                .arg(combo.displayString(), *reason);
    }
    return std::nullopt;
}

// Where the desktop binds no shortcuts for applications: the commands to bind in its own
// keyboard settings, one per action this desktop can carry out.
QWidget *desktopCommands(const SettingsServices &services)
{
    auto *page = new QWidget;
    auto *layout = new QVBoxLayout(page);
    addSectionTitle(layout, QStringLiteral("Global Shortcuts"),
                    QStringLiteral("This desktop does not let applications set global shortcuts."));
    layout->addWidget(note(
        QStringLiteral("Bind these commands to keys in the desktop's own keyboard settings (custom "
                       "shortcuts). Each one starts Zorv first if it is not running.")));
    QBoxLayout *group = addGroup(layout);
    for (CaptureAction action : captureAction::available(services.capabilities)) {
        auto *command = new QLabel(QStringLiteral("zorv ") + captureAction::rawValue(action));
        command->setObjectName(QStringLiteral("command/") + captureAction::rawValue(action));
        command->setTextInteractionFlags(Qt::TextSelectableByMouse);
        command->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
        addRow(group, captureAction::title(action), command, {}, captureAction::symbol(action));
    }
    layout->addStretch(1);
    return page;
}
} // namespace

QWidget *shortcuts(const SettingsServices &services)
{
    if (!services.capabilities.globalHotKeys)
        return desktopCommands(services);
    AppSettings &settings = *services.settings;
    auto *page = new QWidget;
    auto *layout = new QVBoxLayout(page);
    addSectionTitle(layout, QStringLiteral("Global Shortcuts"),
                    QStringLiteral("Click a shortcut and press a new key combination."));

    QBoxLayout *group = addGroup(layout);
    auto *message = note({});
    message->setObjectName(QStringLiteral("shortcutMessage"));
    message->setForegroundRole(QPalette::Text);
    message->hide();
    QList<std::pair<CaptureAction, ShortcutRecorder *>> fields;
    for (CaptureAction action : captureAction::all()) {
        auto *field = new ShortcutRecorder;
        field->setObjectName(QStringLiteral("hotkeys/") + captureAction::rawValue(action));
        addRow(group, captureAction::title(action), field, {}, captureAction::symbol(action));
        fields.append({action, field});
        QObject::connect(field, &ShortcutRecorder::recordingChanged, page,
                         [services, message](bool recording) {
                             if (recording) {
                                 message->hide();
                                 if (services.suspendShortcuts)
                                     services.suspendShortcuts();
                             } else if (services.resumeShortcuts) {
                                 services.resumeShortcuts();
                             }
                         });
        QObject::connect(field, &ShortcutRecorder::recorded, page,
                         [services, action, message](const KeyCombo &combo) {
                             AppSettings &s = *services.settings;
                             if (s.hotkeys().value(action) == combo)
                                 return;
                             if (const auto why = refusal(services, action, combo)) {
                                 message->setText(QStringLiteral("⚠ ") + *why);
                                 message->show();
                                 return;
                             }
                             HotKeyMap map = s.hotkeys();
                             map.insert(action, combo);
                             s.hotkeys.set(map);
                         });
    }
    group->addWidget(message);

    auto *reset = new QPushButton(QStringLiteral("Reset to Defaults"));
    reset->setObjectName(QStringLiteral("resetShortcuts"));
    layout->addWidget(reset, 0, Qt::AlignLeft);
    QObject::connect(reset, &QPushButton::clicked, page, [&settings, message] {
        message->hide();
        settings.hotkeys.set(KeyCombo::defaults());
    });
    layout->addWidget(note(QStringLiteral("Shortcuts work while Zorv is running in the system "
                                          "tray.")));
    layout->addStretch(1);

    const auto show = [&settings, fields] {
        const HotKeyMap map = settings.hotkeys();
        for (const auto &[action, field] : fields) {
            field->setCombo(map.contains(action) ? std::optional(map.value(action)) : std::nullopt);
        }
    };
    show();
    QObject::connect(&settings, &AppSettings::changed, page, [show, &settings](const QString &key) {
        if (key == settings.hotkeys.key())
            show();
    });
    return page;
}

} // namespace zorv::settingsPages
