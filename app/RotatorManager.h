#pragma once

#include <QObject>

// The process-wide rotator manager. For now a shell that starts no worker.
class RotatorManager : public QObject {
    Q_OBJECT
public:
    // Created on first use (on the main thread) and kept until the process ends.
    static RotatorManager& shared();

private:
    RotatorManager();
};
