#pragma once

#include <QProcess>

// Hamlib's rotctld with its dummy rotator, listening on 127.0.0.1 for the
// life of the object: at a free port, or at a given one (a daemon coming
// back where an earlier one was).
class RotctldPeer {
public:
    explicit RotctldPeer(int port = 0);
    ~RotctldPeer();
    RotctldPeer(const RotctldPeer&) = delete;
    RotctldPeer& operator=(const RotctldPeer&) = delete;

    // False when the daemon is not installed or never started listening.
    bool isRunning() const { return m_ready; }
    int port() const { return m_port; }

    // A local port that nobody listens on right now.
    static int freePort();

private:
    QProcess m_process;
    int m_port = 0;
    bool m_ready = false;
};
