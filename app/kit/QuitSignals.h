#pragma once

#include <QString>

#include <functional>

class QObject;

// SIGTERM, SIGINT and SIGHUP end the application the way its Quit command
// does, so the stores are destroyed (engine runs killed, their work folders
// removed) and the settings written, instead of the process dying where it
// stands. The handler only writes the signal's number into a socket pair;
// the quit itself runs from the event loop. A second such signal, while the
// quit is under way, ends the process at once as the signal would have.
namespace QuitSignals {

// Once per process; later calls do nothing. `quit` runs on the thread of
// `context` with the signal's number.
void install(QObject* context, std::function<void(int signal)> quit);

// "SIGTERM", "SIGINT", "SIGHUP", or "signal N".
QString name(int signal);

} // namespace QuitSignals
