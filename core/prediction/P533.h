#pragma once

#include "geo/GeoMath.h"
#include "prediction/PropagationPredictor.h"

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringView>

#include <expected>
#include <optional>

// The text interface to the external ITU-R P.533 engine (ITURHFProp): the
// request of one run, the input file the engine reads, and the reader of the
// report it writes. No input or output happens here; the runner writes the
// files and hands the report's text back.
namespace P533 {

// One engine run: the transmitting station with its setup, the receiving
// antenna's gain, the month and hours, the frequencies, the sunspot number
// and a rectangular receive area with its grid steps. A point-to-point
// request is an area of one point (north == south, west == east).
struct Request {
    GeoCoordinate tx;
    StationSetup setup;
    double rxGainDBi = 0; // the receiving antenna's gain (isotropic plus this)
    int year = 0;
    int month = 0;
    QList<int> hoursUTC;
    QList<double> frequenciesMHz;
    double sunspotNumber = 0;
    double north = 0;
    double south = 0;
    double west = 0;
    double east = 0;
    double latStep = 0;
    double lonStep = 0;
    bool longPath = false; // set after construction for the long-path twin

    Request(const GeoCoordinate& tx, StationSetup setup, double rxGainDBi, int year, int month, QList<int> hoursUTC,
            QList<double> frequenciesMHz, double sunspotNumber, double north, double south, double west, double east,
            double latStep, double lonStep);

    // From `from` to the single point `to`, for the UTC month of `date`,
    // steps of 1 degree, short path.
    static Request path(const GeoCoordinate& from, const GeoCoordinate& to, const StationSetup& setup, double rxGainDBi,
                        const QDateTime& date, const QList<int>& hoursUTC, const QList<double>& frequenciesMHz,
                        double sunspotNumber);

    // The receive point of a point-to-point request; none for an area.
    std::optional<GeoCoordinate> onePoint() const;

    friend bool operator==(const Request&, const Request&) = default;
};

// One result of the engine.
struct Row {
    int month = 0;
    int hourUTC = 0; // 0 … 23: the report's hour h (1 … 24) stands for h − 1
    double frequencyMHz = 0;
    double latitude = 0;
    double longitude = 0;
    double reliability = 0; // basic circuit reliability, 0 … 1

    friend bool operator==(const Row&, const Row&) = default;
};

struct YearMonth {
    int year = 2026;
    int month = 1;
    friend bool operator==(const YearMonth&, const YearMonth&) = default;
};

// The year and month of the date in UTC; an invalid date gives 2026 and 1.
YearMonth yearMonth(const QDateTime& date);

// The sunspot number the engine is given: rounded half away from zero and
// held to 1 … 311 (not a number gives 1, infinities the nearer end). Caches
// key their results by this value, since it is all the engine sees.
int sentSunspotNumber(double sunspotNumber);

// The engine refuses a transmit power under 1 W; requests below it are
// sent with 1 W.
inline constexpr double minimumPowerW = 1.0;

// The engine's hour for a UTC hour: its hour h covers h − 1:00 to h − 1:59
// UTC, so UTC hour 0 is its 1 and UTC hour 23 its 24.
int engineHour(int hourUTC);

// A number with a fixed count of decimals and a point, whatever the locale.
QString fmt(double value, int decimals);

// The engine reads each line of its input into 256 bytes, which hold the
// line feed and a terminating zero too: a longer line overruns them.
inline constexpr qsizetype maxInputLineBytes = 254;
// It copies the data folder into 256 bytes as well and appends the name of
// a data file to it, the longest "P1239-3 Decile Factors.txt" (26 bytes),
// and a terminating zero: the folder's line ("DataFilePath", a space and the
// folder in quotes) holds at most 244 bytes.
inline constexpr qsizetype maxDataFolderLineBytes = 256 - 26 - 1 + 15;

// The engine's input file, in UTF-8 as it is written: one "key value" line
// per setting, text values in double quotes. `dataPath` is the folder of the
// monthly data files, `antennaPath` the transmit antenna file of this run. A
// path holding a double quote or a line break cannot be written into that
// text without changing its meaning, and a line longer than
// maxInputLineBytes, or the data folder's longer than maxDataFolderLineBytes
// (a long path), would crash the engine, so either gives an error message
// instead.
std::expected<QByteArray, QString> inputFile(const Request& request, const QString& dataPath,
                                             const QString& antennaPath);

// The rows of a report, in the order of its lines: the comma-separated lines
// between a line holding "Calculated Parameters" and one holding that and
// "End". Which column holds what comes from the report's column legend
// ("Column 6: BCR - …" lines) when it has one, every value from the column
// it names, and is month, hour, frequency, latitude, longitude and
// reliability otherwise. A legend without a month, hour, frequency or BCR
// column gives an error: such a report cannot be read without misreading
// it. So does one without the receiver's latitude and longitude, unless the
// request had one receive point (`onePoint`), which the rows then carry.
// Lines that do not read as numbers there, or whose hour is not 1 … 24, are
// skipped; a text with no such block gives no rows.
std::expected<QList<Row>, QString> parse(QStringView report,
                                         const std::optional<GeoCoordinate>& onePoint = std::nullopt);

} // namespace P533
