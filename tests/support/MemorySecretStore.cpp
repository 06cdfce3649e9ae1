#include "support/MemorySecretStore.h"

#include <QTimer>

namespace zorv::test
{

void MemorySecretStore::read(const QString &account, ReadCallback done)
{
    std::optional<QString> value;
    if (m_values.contains(account))
        value = m_values.value(account);
    // Answer later, like a real keyring, so callers never rely on a synchronous reply.
    QTimer::singleShot(0, this, [value, done = std::move(done)] { done(value); });
}

void MemorySecretStore::write(const QString &account, const QString &value, WriteCallback done)
{
    if (value.isEmpty())
        m_values.remove(account);
    else
        m_values.insert(account, value);
    if (done)
        QTimer::singleShot(0, this, [this, done = std::move(done)] { done(m_persistent); });
}

} // namespace zorv::test
