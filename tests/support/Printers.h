#pragma once

// Qt's values, and the project's own that tests compare, as text when an
// expectation fails, not the raw bytes the test framework prints for types
// it does not know. Every test file is compiled with this header
// (tests/CMakeLists.txt).

#include "cluster/Logbook.h"
#include "prediction/P533.h"
#include "support/Download.h"

#include <QDateTime>
#include <QPoint>
#include <QPointF>
#include <QSize>
#include <QString>

#include <ostream>

inline void PrintTo(const QDateTime& date, std::ostream* out)
{
    *out << (date.isValid() ? date.toString(Qt::ISODateWithMs).toStdString() : "(invalid date)");
}
inline void PrintTo(const QPoint& point, std::ostream* out) { *out << '(' << point.x() << ", " << point.y() << ')'; }
inline void PrintTo(const QPointF& point, std::ostream* out) { *out << '(' << point.x() << ", " << point.y() << ')'; }
inline void PrintTo(const QSize& size, std::ostream* out) { *out << size.width() << " × " << size.height(); }
inline void PrintTo(const QString& text, std::ostream* out) { *out << '"' << text.toStdString() << '"'; }
// The stored logbook as the JSON it is saved as.
inline void PrintTo(const StoredLogbook& logbook, std::ostream* out) { *out << logbook.encode().toStdString(); }

inline void PrintTo(Download::Stop stop, std::ostream* out)
{
    static constexpr const char* names[] = { "none",       "idle",        "unanswered", "overall",
                                             "tooLarge",   "headTooLarge", "refusedHop",  "tooManyHops", "noAnswer",
                                             "unreachable", "sink",       "cancelled" };
    *out << "Stop::" << names[int(stop)];
}

namespace P533 {
inline void PrintTo(const Row& row, std::ostream* out)
{
    *out << "{month " << row.month << ", " << row.hourUTC << " h UTC, " << row.frequencyMHz << " MHz at ("
         << row.latitude << ", " << row.longitude << "), reliability " << row.reliability << '}';
}
} // namespace P533
