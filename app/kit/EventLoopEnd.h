#pragma once

class QObject;

// The end of the application's event loop, the moment the program is on
// its way out: after it, windows and stores are being destroyed, and a
// handler that builds a window or expects the application would run into
// half of it.
namespace EventLoopEnd {

// Cuts `object` off as the event loop ends: none of its signals reaches
// anyone afterwards, and it is deleted with the loop's last deferred
// deletions (or with its parent, whichever comes first). For what answers
// on its own time (a process, a D-Bus call, a socket) and calls back.
void cutOff(QObject* object);

} // namespace EventLoopEnd
