#pragma once

#include "support/VectorState.h"

#include <QFutureWatcher>
#include <QObject>
#include <QPromise>
#include <QThreadPool>

#include <memory>
#include <type_traits>
#include <utility>

// One job on the global thread pool whose result comes back to the thread
// of a context object, which never waits for it: reading a downloaded body,
// building a map image. The job must own everything it reads (copies of
// its inputs); it never touches the context.
namespace PoolJob {

// Runs work() on the pool and hands its value to done(value) on the
// context's thread; nothing arrives once the context is gone (the job still
// runs to its end).
template <typename Work, typename Done>
void run(QObject* context, Work work, Done done)
{
    using Value = std::invoke_result_t<Work&>;
    auto promise = std::make_shared<QPromise<Value>>();
    auto* watcher = new QFutureWatcher<Value>(context);
    QObject::connect(watcher, &QFutureWatcherBase::finished, context, [watcher, done = std::move(done)]() mutable {
        const QFuture<Value> future = watcher->future();
        watcher->deleteLater();
        done(future.resultCount() > 0 ? future.result() : Value());
    });
    watcher->setFuture(promise->future());
    promise->start();
    QThreadPool::globalInstance()->start([promise, work = std::move(work)]() mutable {
        VectorState::clean(); // whatever the pool thread ran before
        promise->addResult(work());
        promise->finish();
    });
}

} // namespace PoolJob
