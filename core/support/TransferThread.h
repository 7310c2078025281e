#pragma once

#include <QThread>

#include <functional>
#include <memory>

class CurlMulti;

// The thread every download's transfer runs on, with its curl multi handle
// (`CurlMulti`). Reading, decoding and counting an answer's bytes happen
// here, so that a large, compressed or hostile answer never holds up the
// thread that asked for it (the window's, mostly); each `Download` stays
// on its caller's thread and hears from its transfer there.
//
// Made for the first download and shared by all; it ends, its transfers
// closed, when the last download that holds it is gone.
class TransferThread {
public:
    static std::shared_ptr<TransferThread> shared();
    ~TransferThread();
    TransferThread(const TransferThread&) = delete;
    TransferThread& operator=(const TransferThread&) = delete;

    // Runs `work` on the transfer thread, after everything posted before it.
    void post(std::function<void(CurlMulti&)> work);

private:
    TransferThread();
    QThread m_thread;
    CurlMulti* m_multi;
};
