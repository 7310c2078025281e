#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QUrl>

class HttpPeer;

// The space weather services' answers as they write them, for tests and
// benchmarks that run the real client against a local HttpPeer. The values
// are fixed so a test can expect them.
namespace SpaceWeatherFeeds {

// A full OVATION forecast: every whole-degree node, about 1 MB. The grid's
// value at 67 N 0 E is 72.
QByteArray ovationAurora();
// The last record gives no estimate but Kp 3, at 2026-08-18 11:40 UTC.
QByteArray kp1Minute();
// Three intervals, the last Kp 4.0 with running A 27 at 2026-08-18 00:00 UTC:
// the header-row table form, and the same as a list of objects.
QByteArray kp3HourTable();
QByteArray kp3HourObjects();
// The daily list: 148 at 2026-08-17 20:00 UTC. The summary: 150 at
// 2026-08-18 20:00 UTC.
QByteArray f107();
QByteArray f107Summary();
// The solar wind summaries as timed record lists: Bt 5, Bz -2; speed 355.5.
QByteArray magSummary();
QByteArray windSummary();
// Daily: 118 at 2026-08-17. Monthly: 170.2 for May 2024.
QByteArray sunspotsDaily();
QByteArray sunspotsMonthly();
// A GFZ answer carrying all four indices (the peer serves one body for the
// one path, whatever the query): the last valid values are Kp 3.333, Ap 18,
// SN 97 and Fobs 148.2, each timed 2026-08-17 21:00 UTC.
QByteArray gfz();
// Two usable stations measured ten minutes before `now` (Austin 18.25 MHz,
// Juliusruh 24.3 MHz) and one without a MUF.
QByteArray zelqStations(const QDateTime& now);

// The path under which the peer serves an address.
QByteArray path(const QUrl& url);
// Serves every NOAA product, the GFZ answer (Kp) and the station feed.
void serveAll(HttpPeer& peer);

} // namespace SpaceWeatherFeeds
