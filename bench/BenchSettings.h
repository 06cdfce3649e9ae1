#pragma once

#include "platform/SecretStore.h"
#include "settings/AppSettings.h"

#include <QSettings>
#include <QTemporaryDir>

namespace zorv::bench
{

// Settings of their own on a temporary folder, without a keyring, so that a
// benchmark never reads or changes the user's.
class NoKeyring : public SecretStore
{
  public:
    void read(const QString &, ReadCallback done) override { done(std::nullopt); }
    void write(const QString &, const QString &, WriteCallback done) override
    {
        if (done)
            done(false);
    }
    bool isPersistent() const override { return false; }
};

struct BenchSettings {
    QTemporaryDir dir;
    NoKeyring secrets;
    AppSettings settings{std::make_unique<QSettings>(dir.filePath(QStringLiteral("settings.ini")),
                                                     QSettings::IniFormat),
                         &secrets, SettingsLocations{dir.path(), dir.path(), dir.path(), {}}};
};

} // namespace zorv::bench
