#pragma once

#include <QByteArrayView>
#include <QString>

// The small rules the self-update stands on: the running version, whether a
// released version is newer than it, and the checksum text of a downloaded
// archive. Stateless; any thread.

// The version this build was made as ("0.9.0"); "0" when the build did not
// say.
QString currentAppVersion();

// True only when `candidate` is strictly newer than `current`. Both are
// split at "."; empty pieces are dropped; a piece that is not a whole
// signed decimal integer in 64-bit range counts as 0 and keeps its place;
// missing pieces count as 0. "1.10" is newer than "1.9"; "1.2" equals
// "1.2.0"; "2.0b1" equals "2.0".
bool isNewerVersion(const QString& candidate, const QString& current);

// SHA-256 of the bytes as 64 lower-case hexadecimal digits.
QString sha256Hex(QByteArrayView bytes);
