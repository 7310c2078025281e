#include "support/TransferThread.h"

#include "support/CurlMulti.h"

#include <mutex>

std::shared_ptr<TransferThread> TransferThread::shared()
{
    static std::mutex lock;
    static std::weak_ptr<TransferThread> current;
    const std::lock_guard hold(lock);
    std::shared_ptr<TransferThread> thread = current.lock();
    if (!thread) {
        thread = std::shared_ptr<TransferThread>(new TransferThread);
        current = thread;
    }
    return thread;
}

TransferThread::TransferThread()
    : m_multi(new CurlMulti)
{
    m_thread.setObjectName(QStringLiteral("Transfers"));
    m_multi->moveToThread(&m_thread);
    m_thread.start();
}

TransferThread::~TransferThread()
{
    // What was posted before (the last downloads' drops) runs first; then,
    // with the thread gone, whatever transfer is left is closed and freed.
    QMetaObject::invokeMethod(m_multi, [] {}, Qt::BlockingQueuedConnection);
    m_thread.quit();
    m_thread.wait();
    delete m_multi;
}

void TransferThread::post(std::function<void(CurlMulti&)> work)
{
    QMetaObject::invokeMethod(m_multi, [multi = m_multi, work = std::move(work)] { work(*multi); },
                              Qt::QueuedConnection);
}
