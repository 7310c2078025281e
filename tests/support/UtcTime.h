#pragma once

#include <QDateTime>
#include <QTimeZone>

// An instant written as its UTC date and time, as the tests spell the times
// that feeds and calculations give.
inline QDateTime utc(int year, int month, int day, int hour = 0, int minute = 0, int second = 0, int ms = 0)
{
    return QDateTime(QDate(year, month, day), QTime(hour, minute, second, ms), QTimeZone::utc());
}
