#pragma once

#include <QString>
#include <QStringList>

// Starts the test helper program "test_child" (built next to the tests) with
// one mode argument and waits for it to end, killing it after a time-out.
namespace TestChild {

struct End {
    bool finished = false;  // false: still running at the time-out (then killed)
    bool signalled = false; // ended by a signal
    int code = 0;           // exit status, or the signal number
};

// `environment` holds "NAME=value" entries that replace or add to the
// test's own environment.
End run(const QString& mode, const QStringList& environment = {}, int timeoutSeconds = 20);

} // namespace TestChild
