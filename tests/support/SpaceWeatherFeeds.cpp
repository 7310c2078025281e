#include "support/SpaceWeatherFeeds.h"

#include "spaceweather/GFZ.h"
#include "spaceweather/Ionosonde.h"
#include "spaceweather/SWPCFeeds.h"
#include "support/HttpPeer.h"

#include <cmath>

namespace SpaceWeatherFeeds {

QByteArray ovationAurora()
{
    QByteArray body = R"({"Observation Time": "2026-08-18T11:50:00Z", "Forecast Time": "2026-08-18T12:35:00Z", )"
                      R"("Data Format": "[Longitude, Latitude, Aurora]", "coordinates": [)";
    body.reserve(1100000);
    bool first = true;
    for (int lon = 0; lon < 360; ++lon) {
        for (int lat = -90; lat <= 90; ++lat) {
            const int oval = std::abs(std::abs(lat) - 67);
            const int value = oval < 8 ? (8 - oval) * 9 + lon % 7 : 0;
            if (!first)
                body += ", ";
            first = false;
            body += '[' + QByteArray::number(lon) + ", " + QByteArray::number(lat) + ", " + QByteArray::number(value)
                + ']';
        }
    }
    body += "]}";
    return body;
}

QByteArray kp1Minute()
{
    return R"([
      {"time_tag": "2026-08-18T11:38:00", "kp_index": 2, "estimated_kp": 2.33, "kp": "2P"},
      {"time_tag": "2026-08-18T11:39:00", "kp_index": 3, "estimated_kp": 2.67, "kp": "3M"},
      {"time_tag": "2026-08-18T11:40:00", "kp_index": 3, "estimated_kp": null, "kp": "3M"}
    ])";
}

QByteArray kp3HourTable()
{
    return R"([
      ["time_tag", "Kp", "a_running", "station_count"],
      ["2026-08-17 18:00:00.000", "2.67", "12", "8"],
      ["2026-08-17 21:00:00.000", "3.33", "18", "8"],
      ["2026-08-18 00:00:00.000", "4.00", "27", "8"]
    ])";
}

QByteArray kp3HourObjects()
{
    return R"([
      {"time_tag": "2026-08-17T18:00:00", "Kp": 2.67, "a_running": 12, "station_count": 8},
      {"time_tag": "2026-08-17T21:00:00", "Kp": 3.33, "a_running": 18, "station_count": 8},
      {"time_tag": "2026-08-18T00:00:00", "Kp": 4.0, "a_running": 27, "station_count": 8}
    ])";
}

QByteArray f107()
{
    return R"([
      {"time_tag": "2026-08-16T20:00:00", "frequency": 2800, "flux": 139, "reporting_schedule": "Afternoon"},
      {"time_tag": "2026-08-17T20:00:00", "frequency": 2800, "flux": 148, "reporting_schedule": "Afternoon"}
    ])";
}

QByteArray f107Summary() { return R"({"Flux": "150", "TimeStamp": "2026-08-18 20:00:00"})"; }

QByteArray magSummary()
{
    return R"([
      {"time_tag": "2026-08-18T11:50:00Z", "bt": 4, "bx_gsm": 1.2, "by_gsm": -0.8, "bz_gsm": 1},
      {"time_tag": "2026-08-18T11:52:00Z", "bt": 5, "bx_gsm": 2.1, "by_gsm": 1.5, "bz_gsm": -2}
    ])";
}

QByteArray windSummary()
{
    return R"([
      {"time_tag": "2026-08-18T11:51:00Z", "proton_speed": 340},
      {"time_tag": "2026-08-18T11:52:00Z", "proton_speed": 355.5}
    ])";
}

QByteArray sunspotsDaily()
{
    return R"([
      {"Obsdate": "2026-08-16T00:00:00", "swpc_ssn": 131},
      {"Obsdate": "2026-08-17T00:00:00", "swpc_ssn": 118},
      {"Obsdate": "2026-08-18T00:00:00", "swpc_ssn": -1}
    ])";
}

QByteArray sunspotsMonthly()
{
    return R"([
      {"time-tag": "2024-04", "ssn": 136.5, "smoothed_ssn": 152.9, "observed_swpc_ssn": 153.4, "f10.7": 178.6},
      {"time-tag": "2024-05", "ssn": 170.2, "smoothed_ssn": -1, "observed_swpc_ssn": 180.1, "f10.7": 199.1}
    ])";
}

QByteArray gfz()
{
    return R"({
      "meta": {"source": "GFZ Potsdam", "license": "CC BY 4.0"},
      "datetime": ["2026-08-17T18:00:00Z", "2026-08-17T21:00:00Z", "2026-08-18T00:00:00Z"],
      "Kp": [2.0, 3.333, -1],
      "Ap": [12, 18, null],
      "SN": [101, "97", -1],
      "Fobs": [139.5, 148.2, -1],
      "status": ["def", "nowcast", "nowcast"]
    })";
}

QByteArray zelqStations(const QDateTime& now)
{
    const QByteArray time = now.addSecs(-600).toUTC().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")).toLatin1();
    return R"([
      {"cs": 100, "fof2": 6.125, "mufd": 18.25, "time": ")"
        + time + R"(", "source": "giro",
       "station": {"code": "AU930", "name": "Austin", "latitude": "30.4", "longitude": "262.3"}},
      {"cs": 72, "fof2": "5.4", "mufd": null, "time": ")"
        + time + R"(",
       "station": {"code": "BC840", "name": "Boulder", "latitude": "40.0", "longitude": "254.7"}},
      {"cs": 90, "fof2": 7.8, "mufd": "24.3", "time": ")"
        + time + R"(",
       "station": {"code": "JR055", "name": "Juliusruh", "latitude": "54.6", "longitude": "13.4"}}
    ])";
}

QByteArray path(const QUrl& url) { return url.path().toLatin1(); }

void serveAll(HttpPeer& peer)
{
    peer.serve(path(SWPCEndpoint::ovationAurora()), 200, ovationAurora());
    peer.serve(path(SWPCEndpoint::kp1Minute()), 200, kp1Minute());
    peer.serve(path(SWPCEndpoint::kp3Hour()), 200, kp3HourTable());
    peer.serve(path(SWPCEndpoint::f107()), 200, f107());
    peer.serve(path(SWPCEndpoint::f107Summary()), 200, f107Summary());
    peer.serve(path(SWPCEndpoint::magSummary()), 200, magSummary());
    peer.serve(path(SWPCEndpoint::windSummary()), 200, windSummary());
    peer.serve(path(SWPCEndpoint::sunspotsDaily()), 200, sunspotsDaily());
    peer.serve(path(SWPCEndpoint::sunspotsMonthly()), 200, sunspotsMonthly());
    peer.serve(path(QUrl(GFZ::base())), 200, gfz());
    peer.serve(path(Zelq::stationsURL()), 200, zelqStations(QDateTime::currentDateTimeUtc()));
}

} // namespace SpaceWeatherFeeds
