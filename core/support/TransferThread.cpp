#include "support/TransferThread.h"

#include "support/CurlMulti.h"
#include "support/DownloadTry.h"

#include <QCoreApplication>

#include <atomic>
#include <mutex>
#include <utility>

namespace {

struct Shared {
    std::mutex lock;
    TransferThread* thread = nullptr; // under the lock
    bool closed = false;              // under the lock
    std::atomic<bool> closing = false;
};

Shared& shared()
{
    static Shared state;
    return state;
}

} // namespace

TransferThread::TransferThread()
    : m_multi(new CurlMulti)
{
    setObjectName(QStringLiteral("Transfers"));
    m_multi->moveToThread(this);
    start();
}

void TransferThread::run()
{
    exec();
    // On this thread, where they live: the tries whose downloads outlived
    // the program's end, then every transfer left, its notifiers and timer.
    qDeleteAll(m_multi->findChildren<DownloadTry*>(Qt::FindDirectChildrenOnly));
    delete m_multi;
}

void TransferThread::post(std::function<void(CurlMulti&)> work)
{
    Shared& state = shared();
    const std::lock_guard hold(state.lock);
    if (state.closed)
        return;
    if (!state.thread) {
        state.thread = new TransferThread;
        qAddPostRoutine(&TransferThread::close);
    }
    CurlMulti* multi = state.thread->m_multi;
    QMetaObject::invokeMethod(multi, [multi, work = std::move(work)] { work(*multi); }, Qt::QueuedConnection);
}

bool TransferThread::closing() { return shared().closing.load(std::memory_order_relaxed); }

void TransferThread::close()
{
    Shared& state = shared();
    TransferThread* thread = nullptr;
    {
        const std::lock_guard hold(state.lock);
        state.closed = true;
        thread = std::exchange(state.thread, nullptr);
    }
    if (!thread)
        return;
    state.closing = true;
    // After what was posted before (the last downloads' drops).
    QMetaObject::invokeMethod(thread->m_multi, [thread] { thread->quit(); }, Qt::QueuedConnection);
    if (thread->wait(QDeadlineTimer(closeWithin)))
        delete thread;
}
