#include "platform/x11/PulseAudioSources.h"

#include "common/WhenReady.h"

#include <QElapsedTimer>
#include <QFuture>
#include <QtConcurrent/QtConcurrentRun>
#include <memory>
#include <pulse/context.h>
#include <pulse/introspect.h>
#include <pulse/mainloop.h>
#include <pulse/proplist.h>

namespace zorv
{

namespace
{
constexpr int queryTimeoutMs = 3000;

struct Query {
    QList<AudioSource> sources;
    bool listed = false;
};

void addSource(pa_context *, const pa_source_info *info, int eol, void *userdata)
{
    auto *query = static_cast<Query *>(userdata);
    if (eol != 0) {
        query->listed = true;
        return;
    }
    // A monitor records what an output plays: system audio, not a microphone.
    if (!info || info->monitor_of_sink != PA_INVALID_INDEX)
        return;
    const QString id = QString::fromUtf8(info->name);
    const QString name = info->description ? QString::fromUtf8(info->description) : id;
    query->sources.append({id, name});
}
} // namespace

Expected<QList<AudioSource>, QString> PulseAudioSources::query(int timeoutMs)
{
    std::unique_ptr<pa_mainloop, decltype(&pa_mainloop_free)> loop(pa_mainloop_new(),
                                                                   &pa_mainloop_free);
    if (!loop)
        return QStringLiteral("the sound server could not be asked");
    pa_proplist *props = pa_proplist_new();
    pa_proplist_sets(props, PA_PROP_APPLICATION_NAME, "Zorv");
    std::unique_ptr<pa_context, decltype(&pa_context_unref)> context(
        pa_context_new_with_proplist(pa_mainloop_get_api(loop.get()), "Zorv", props),
        &pa_context_unref);
    pa_proplist_free(props);
    if (!context || pa_context_connect(context.get(), nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) < 0)
        return QStringLiteral("no sound server answers");

    Query query;
    pa_operation *operation = nullptr;
    QElapsedTimer clock;
    clock.start();
    QString problem;
    while (!query.listed) {
        if (clock.elapsed() > timeoutMs) {
            problem = QStringLiteral("the sound server did not answer in time");
            break;
        }
        const pa_context_state_t state = pa_context_get_state(context.get());
        if (!PA_CONTEXT_IS_GOOD(state)) {
            problem = QStringLiteral("no sound server answers");
            break;
        }
        if (state == PA_CONTEXT_READY && !operation) {
            operation = pa_context_get_source_info_list(context.get(), &addSource, &query);
            if (!operation) {
                problem = QStringLiteral("the sound server refused to list its inputs");
                break;
            }
        }
        // Blocks at most 100 ms, so the deadline above is kept.
        pa_mainloop_prepare(loop.get(), 100 * 1000);
        pa_mainloop_poll(loop.get());
        pa_mainloop_dispatch(loop.get());
    }
    if (operation) {
        pa_operation_cancel(operation);
        pa_operation_unref(operation);
    }
    pa_context_disconnect(context.get());
    if (!problem.isEmpty())
        return problem;
    return query.sources;
}

void PulseAudioSources::listMicrophones(QObject *context, Answer answer)
{
    whenReady(
        QtConcurrent::run(&PulseAudioSources::query, queryTimeoutMs), context,
        [answer](Expected<QList<AudioSource>, QString> result) { answer(std::move(result)); });
}

} // namespace zorv
