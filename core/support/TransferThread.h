#pragma once

#include <QThread>

#include <chrono>
#include <functional>

class CurlMulti;

// The thread every download's transfer runs on, with its curl multi handle
// (`CurlMulti`). Reading, decoding and counting an answer's bytes happen
// here, so that a large, compressed or hostile answer never holds up the
// thread that asked for it (the window's, mostly); each `Download` stays
// on its caller's thread and hears from its transfer there.
//
// One for the program, started by the first download and kept while the
// application object lives: no download waits for it to start or to end,
// whatever its transfers are doing. It closes as the application object
// goes: every transfer still under way stops at curl's next call into it
// (`closing()`), even inside one long curl call, then the thread ends and
// deletes its `CurlMulti` there. The caller waits for that at most
// `closeWithin`; a thread not done by then is left to the process's exit.
class TransferThread : private QThread {
public:
    static constexpr std::chrono::milliseconds closeWithin { 1000 };

    // Runs `work` on the transfer thread, after everything posted before
    // it; once the thread closed, nothing.
    static void post(std::function<void(CurlMulti&)> work);
    // Whether the thread closes: a transfer's callbacks end it.
    static bool closing();

private:
    TransferThread();
    void run() override;
    static void close();

    CurlMulti* m_multi;
};
