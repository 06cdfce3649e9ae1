#pragma once

#include "settings/AppSettings.h"
#include "support/MemorySecretStore.h"

#include <QSettings>
#include <QTemporaryDir>
#include <memory>

namespace zorv::test
{

// Fresh settings on a temporary folder, so no test sees another's options.
struct TemporarySettings {
    QTemporaryDir dir;
    MemorySecretStore secrets;
    std::unique_ptr<AppSettings> settings;

    TemporarySettings()
    {
        SettingsLocations locations;
        locations.homeDirectory = dir.path();
        locations.picturesDirectory = dir.filePath(QStringLiteral("Pictures"));
        locations.autostartDirectory = dir.filePath(QStringLiteral("autostart"));
        settings = std::make_unique<AppSettings>(
            std::make_unique<QSettings>(dir.filePath(QStringLiteral("settings.ini")),
                                        QSettings::IniFormat),
            &secrets, locations);
    }
};

} // namespace zorv::test
