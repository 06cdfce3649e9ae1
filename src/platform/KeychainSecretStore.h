#pragma once

#include "platform/SecretStore.h"

#include <QTimer>

namespace zorv
{

// The desktop keyring through QtKeychain (Secret Service or KWallet), never
// falling back to a plain file.
class KeychainSecretStore : public SecretStore
{
    Q_OBJECT
  public:
    explicit KeychainSecretStore(QString service, QObject *parent = nullptr);
    void read(const QString &account, ReadCallback done) override;
    void write(const QString &account, const QString &value, WriteCallback done = {}) override;
    bool isPersistent() const override { return m_persistent; }

  private:
    void jobStarted();
    void jobFinished();

    QString m_service;
    // Turns GLib's default context while jobs are pending (see the .cpp).
    QTimer m_glibPump;
    int m_pending = 0;
    bool m_persistent = true;
};

} // namespace zorv
