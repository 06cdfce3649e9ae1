#include "platform/KeychainSecretStore.h"

#include <QAbstractEventDispatcher>
#include <glib.h>
#include <qt6keychain/keychain.h>

namespace zorv
{

KeychainSecretStore::KeychainSecretStore(QString service, QObject *parent)
    : SecretStore(parent), m_service(std::move(service))
{
    // The Secret Service answers through libsecret on GLib's default main
    // context. Zorv runs Qt's own event dispatcher, which never turns that
    // context, so without this no job would ever finish. Only GLib's sources
    // are dispatched here, and only while a job waits.
    m_glibPump.setInterval(10);
    // A bounded number of rounds per tick: a source that keeps re-arming must
    // not hold the GUI thread.
    connect(&m_glibPump, &QTimer::timeout, this, [] {
        for (int round = 0; round < 50 && g_main_context_iteration(nullptr, FALSE); ++round) {
        }
    });
}

void KeychainSecretStore::jobStarted()
{
    const auto *dispatcher = QAbstractEventDispatcher::instance();
    const bool glibLoop = dispatcher && dispatcher->inherits("QEventDispatcherGlib");
    if (m_pending++ == 0 && !glibLoop)
        m_glibPump.start();
}

void KeychainSecretStore::jobFinished()
{
    if (--m_pending == 0)
        m_glibPump.stop();
}

void KeychainSecretStore::read(const QString &account, ReadCallback done)
{
    auto *job = new QKeychain::ReadPasswordJob(m_service, this);
    job->setKey(account);
    job->setInsecureFallback(false);
    connect(job, &QKeychain::Job::finished, this, [this, job, done = std::move(done)] {
        jobFinished();
        if (job->error() == QKeychain::NoError) {
            done(job->textData());
            return;
        }
        if (job->error() != QKeychain::EntryNotFound)
            m_persistent = false;
        done(std::nullopt);
    });
    jobStarted();
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
        jobFinished();
        const bool stored =
            job->error() == QKeychain::NoError || job->error() == QKeychain::EntryNotFound;
        if (!stored)
            m_persistent = false;
        if (done)
            done(stored);
    });
    jobStarted();
    job->start();
}

} // namespace zorv
