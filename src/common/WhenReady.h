#pragma once

#include <QFuture>
#include <QFutureWatcher>
#include <QObject>
#include <utility>

namespace zorv
{

// Calls `use` with the future's result in `context`'s thread once it is ready,
// unless `context` is gone by then; a future that ends without a result calls
// nothing. Qt 6.4's QFuture::then(context, …) asserts when its context dies
// first, which a window closed while its work runs easily does.
template <typename T, typename Use> void whenReady(QFuture<T> future, QObject *context, Use use)
{
    auto *watcher = new QFutureWatcher<T>(context);
    QObject::connect(watcher, &QFutureWatcherBase::finished, watcher,
                     [watcher, use = std::move(use)]() mutable {
                         watcher->deleteLater();
                         const QFuture<T> done = watcher->future();
                         if (done.resultCount() > 0)
                             use(done.result());
                     });
    watcher->setFuture(std::move(future));
}

} // namespace zorv
