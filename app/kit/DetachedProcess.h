#pragma once

#include <QString>
#include <QStringList>

#include <functional>

// A program started for the user that this one never ends: in a session of
// its own, it goes on after Corvanta quits or ends any other way, as a file
// manager that xdg-open runs until its window is closed must. How it ended
// is told only while the event loop runs; once that has ended, nothing of
// it calls back into the program.
namespace DetachedProcess {

// Starts `program` (a path) with `arguments`, its standard input and
// output on /dev/null. Once it exits, `ended` is called with whether its
// status was 0, and it leaves no zombie behind (a kernel without pidfds
// leaves it unwatched: `ended` is never called). False where it could not
// be started; `ended` is then never called.
bool start(const QString& program, const QStringList& arguments, std::function<void(bool succeeded)> ended);

} // namespace DetachedProcess
