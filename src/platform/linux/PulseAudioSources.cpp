#include "platform/linux/PulseAudioSources.h"

#include "common/Modules.h"
#include "common/WhenReady.h"
#include "modules/pulse/PulseModule.h"

#include <QFuture>
#include <QThreadPool>
#include <QtConcurrent/QtConcurrentRun>

namespace zorv
{

namespace
{
constexpr int queryTimeoutMs = 3000;

// Loaded on first use, from the worker thread that asks first.
ZorvPulseListMicrophones listFunction()
{
    static const ZorvPulseListMicrophones loaded = [] {
        const QList<QFunctionPointer> found = loadModule(
            QStringLiteral("libzorv-pulse"), {QStringLiteral("zorv_pulse_list_microphones")},
            QStringLiteral("Microphone listing"));
        return found.isEmpty() ? nullptr : reinterpret_cast<ZorvPulseListMicrophones>(found[0]);
    }();
    return loaded;
}

void addSource(void *userdata, const char *id, const char *name)
{
    static_cast<QList<AudioSource> *>(userdata)->append(
        {QString::fromUtf8(id), QString::fromUtf8(name)});
}
} // namespace

Expected<QList<AudioSource>, QString> PulseAudioSources::query(int timeoutMs)
{
    const ZorvPulseListMicrophones list = listFunction();
    if (!list)
        return QStringLiteral("Zorv's sound server module is not installed");
    QList<AudioSource> sources;
    if (const char *problem = list(timeoutMs, &addSource, &sources))
        return QString::fromUtf8(problem);
    return sources;
}

void PulseAudioSources::listMicrophones(QObject *context, Answer answer)
{
    // A thread of its own: a slow sound server may take seconds to answer, and
    // the shared pool's two threads encode captures meanwhile.
    static QThreadPool *const pool = [] {
        auto *threads = new QThreadPool;
        threads->setMaxThreadCount(1);
        return threads;
    }();
    whenReady(
        QtConcurrent::run(pool, &PulseAudioSources::query, queryTimeoutMs), context,
        [answer](Expected<QList<AudioSource>, QString> result) { answer(std::move(result)); });
}

} // namespace zorv
