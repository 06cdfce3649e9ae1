#pragma once

#include "platform/SecretStore.h"

#include <QHash>

namespace zorv::test
{

// Keeps secrets in memory (`persistent` lets tests stand in for a keyring that
// survives the session).
class MemorySecretStore : public SecretStore
{
    Q_OBJECT
  public:
    explicit MemorySecretStore(bool persistent = false, QObject *parent = nullptr)
        : SecretStore(parent), m_persistent(persistent)
    {
    }
    void read(const QString &account, ReadCallback done) override;
    void write(const QString &account, const QString &value, WriteCallback done = {}) override;
    bool isPersistent() const override { return m_persistent; }
    bool contains(const QString &account) const { return m_values.contains(account); }

  private:
    bool m_persistent;
    QHash<QString, QString> m_values;
};

} // namespace zorv::test
