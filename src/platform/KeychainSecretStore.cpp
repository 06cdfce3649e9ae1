#include "platform/KeychainSecretStore.h"

#include <QTimer>
#include <qt6keychain/keychain.h>

namespace zorv
{

KeychainSecretStore::KeychainSecretStore(QString service, QObject *parent)
    : SecretStore(parent), m_service(std::move(service))
{
}

void KeychainSecretStore::read(const QString &account, ReadCallback done)
{
    auto *job = new QKeychain::ReadPasswordJob(m_service, this);
    job->setKey(account);
    job->setInsecureFallback(false);
    connect(job, &QKeychain::Job::finished, this, [this, job, done = std::move(done)] {
        if (job->error() == QKeychain::NoError) {
            done(job->textData());
            return;
        }
        if (job->error() != QKeychain::EntryNotFound)
            m_persistent = false;
        done(std::nullopt);
    });
    job->start();
}

void KeychainSecretStore::write(const QString &account, const QString &value, WriteCallback done)
{
    QKeychain::Job *job = nullptr;
    if (value.isEmpty()) {
        auto *remove = new QKeychain::DeletePasswordJob(m_service, this);
        remove->setKey(account);
        job = remove;
    } else {
        auto *store = new QKeychain::WritePasswordJob(m_service, this);
        store->setKey(account);
        store->setTextData(value);
        job = store;
    }
    job->setInsecureFallback(false);
    connect(job, &QKeychain::Job::finished, this, [this, job, done = std::move(done)] {
        const bool stored =
            job->error() == QKeychain::NoError || job->error() == QKeychain::EntryNotFound;
        if (!stored)
            m_persistent = false;
        if (done)
            done(stored);
    });
    job->start();
}

} // namespace zorv
