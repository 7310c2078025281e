#pragma once

#include <QString>

#include <cstddef>
#include <ctime>

// Last lines for the two ways the process can die abruptly: an uncaught C++
// exception (through std::set_terminate) and a fatal signal (SIGSEGV, SIGBUS,
// SIGILL, SIGFPE, SIGABRT, SIGTRAP). Signal lines are written straight to a
// descriptor held open on the log file, with async-signal-safe calls only.
namespace CrashLog {

inline constexpr std::size_t bufferSize = 96;

// Opens the crash descriptor on `path` (append, create, 0644) and installs
// the terminate handler and the six signal handlers. When the open fails the
// descriptor stays -1 and signal lines are skipped.
void install(const QString& path);

// The crash descriptor, -1 when none is open.
int descriptor();

// Points the crash descriptor at the file now at `path` (the log rotates
// away from under it), keeping its number. Opens one when none is open.
void repoint(const QString& path);

// Builds "2024-03-01T12:00:00Z Crash: fatal signal 11\n" for a time in
// seconds since 1970 into `buffer`; returns its length. Async-signal-safe.
std::size_t formatSignalLine(char (&buffer)[bufferSize], std::time_t seconds, int signal);

// Writes the signal line for the current time to the descriptor in one
// write call. Async-signal-safe.
void writeSignalLine(int signal);

// "Crash: uncaught exception " + type name + ": " + reason.
QString exceptionLine(const QString& name, const QString& reason);

} // namespace CrashLog
