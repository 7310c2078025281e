#include "prediction/P533.h"

#include <QTimeZone>

#include <array>
#include <charconv>

#include <cmath>

namespace P533 {

namespace {

const QString calculatedMarker = QStringLiteral("Calculated Parameters");

bool isLineBreak(QChar c)
{
    const char16_t u = c.unicode();
    return u == u'\n' || u == u'\v' || u == u'\f' || u == u'\r' || u == 0x85 || u == 0x2028 || u == 0x2029;
}

// Blanks, tabs and the other horizontal spaces; line breaks never reach here.
QStringView trimmed(QStringView text)
{
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && text[begin].isSpace())
        ++begin;
    while (end > begin && text[end - 1].isSpace())
        --end;
    return text.sliced(begin, end - begin);
}

QString quoted(const QString& text) { return QLatin1Char('"') + text + QLatin1Char('"'); }

// A path that would end or break its quoted value in the input file.
bool unquotable(const QString& path)
{
    for (const QChar c : path)
        if (c == u'"' || isLineBreak(c))
            return true;
    return false;
}

QString hoursText(const QList<int>& hours)
{
    QStringList parts;
    parts.reserve(hours.size());
    for (const int hour : hours)
        parts.append(QString::number(hour == 0 ? 24 : hour));
    return parts.join(QLatin1Char(','));
}

QString frequenciesText(const QList<double>& frequencies)
{
    QStringList parts;
    parts.reserve(frequencies.size());
    for (const double mhz : frequencies)
        parts.append(fmt(mhz, 3));
    return parts.join(QLatin1Char(','));
}

QString noiseWord(NoiseEnvironment noise)
{
    switch (noise) {
    case NoiseEnvironment::quietRural:
        return QStringLiteral("QUIETRURAL");
    case NoiseEnvironment::rural:
        return QStringLiteral("RURAL");
    case NoiseEnvironment::residential:
        break;
    case NoiseEnvironment::city:
        return QStringLiteral("CITY");
    }
    return QStringLiteral("RESIDENTIAL");
}

// dB relative to 1 kW; below a milliwatt (or no number) counts as one.
double transmitPowerDBkW(double watts) { return 10.0 * std::log10((watts > 0.001 ? watts : 0.001) / 1000.0); }

// Up to six non-empty comma-separated pieces of a line, trimmed. Fewer
// than six gives false.
bool sixPieces(QStringView line, std::array<QStringView, 6>& pieces)
{
    int count = 0;
    qsizetype start = 0;
    while (count < 6 && start <= line.size()) {
        qsizetype comma = line.indexOf(u',', start);
        if (comma < 0)
            comma = line.size();
        const QStringView piece = trimmed(line.sliced(start, comma - start));
        // Only the piece between two commas is dropped when empty; one of
        // blanks alone is a piece that fails to read as a number.
        if (comma > start)
            pieces[count++] = piece;
        start = comma + 1;
    }
    return count == 6;
}

// The report's numbers, read without allocating: a report holds tens of
// thousands of them. An optional sign, then what from_chars reads whole;
// only digits, points, signs and exponents pass, so no "inf" or "nan".
template <typename T>
std::optional<T> number(QStringView text)
{
    char ascii[64];
    const qsizetype size = text.size();
    if (size == 0 || size >= qsizetype(sizeof ascii))
        return std::nullopt;
    bool digit = false;
    for (qsizetype i = 0; i < size; ++i) {
        const char16_t c = text[i].unicode();
        const bool isDigit = c >= u'0' && c <= u'9';
        if (!isDigit && c != u'+' && c != u'-' && c != u'.' && c != u'e' && c != u'E')
            return std::nullopt;
        digit = digit || isDigit;
        ascii[i] = char(c);
    }
    if (!digit)
        return std::nullopt;
    const char* begin = ascii;
    const char* end = ascii + size;
    if (*begin == '+' && ++begin < end && *begin == '-')
        return std::nullopt;
    T value {};
    const auto [last, error] = std::from_chars(begin, end, value);
    if (error != std::errc() || last != end)
        return std::nullopt;
    return value;
}

std::optional<Row> dataRow(QStringView line)
{
    std::array<QStringView, 6> pieces;
    if (!sixPieces(line, pieces))
        return std::nullopt;
    const auto month = number<int>(pieces[0]);
    const auto hour = number<int>(pieces[1]);
    const auto mhz = number<double>(pieces[2]);
    const auto latitude = number<double>(pieces[3]);
    const auto longitude = number<double>(pieces[4]);
    const auto percent = number<double>(pieces[5]);
    // The engine writes hours 1 … 24; a negative one is no hour of the day.
    if (!month || !hour || *hour < 0 || !mhz || !latitude || !longitude || !percent)
        return std::nullopt;
    const double reliability = std::min(*percent / 100.0, 1.0);
    return Row { *month, *hour % 24, *mhz, *latitude, *longitude, reliability < 0 ? 0.0 : reliability };
}

} // namespace

Request::Request(const GeoCoordinate& tx, StationSetup setup, double rxGainDBi, int year, int month,
                 QList<int> hoursUTC, QList<double> frequenciesMHz, double sunspotNumber, double north, double south,
                 double west, double east, double latStep, double lonStep)
    : tx(tx)
    , setup(std::move(setup))
    , rxGainDBi(rxGainDBi)
    , year(year)
    , month(month)
    , hoursUTC(std::move(hoursUTC))
    , frequenciesMHz(std::move(frequenciesMHz))
    , sunspotNumber(sunspotNumber)
    , north(north)
    , south(south)
    , west(west)
    , east(east)
    , latStep(latStep)
    , lonStep(lonStep)
{
}

Request Request::path(const GeoCoordinate& from, const GeoCoordinate& to, const StationSetup& setup, double rxGainDBi,
                      const QDateTime& date, const QList<int>& hoursUTC, const QList<double>& frequenciesMHz,
                      double sunspotNumber)
{
    const YearMonth ym = yearMonth(date);
    return Request(from, setup, rxGainDBi, ym.year, ym.month, hoursUTC, frequenciesMHz, sunspotNumber, to.latitude,
                   to.latitude, to.longitude, to.longitude, 1.0, 1.0);
}

YearMonth yearMonth(const QDateTime& date)
{
    if (!date.isValid())
        return {};
    const QDate day = date.toUTC().date();
    return { day.year(), day.month() };
}

int sentSunspotNumber(double sunspotNumber)
{
    const double rounded = std::round(sunspotNumber);
    if (!(rounded >= 1))
        return 1;
    if (rounded > 311)
        return 311;
    return int(rounded);
}

QString fmt(double value, int decimals) { return QString::number(value, 'f', decimals); }

std::expected<QString, QString> inputFile(const Request& r, const QString& dataPath, const QString& antennaPath)
{
    for (const QString& path : { dataPath, antennaPath })
        if (unquotable(path))
            return std::unexpected(QStringLiteral("the path %1 holds a double quote or a line break, which the "
                                                  "engine's input file cannot carry")
                                                      .arg(path));

    QString data = dataPath;
    if (!data.endsWith(QLatin1Char('/')))
        data += QLatin1Char('/');

    const QList<std::pair<const char*, QString>> lines {
        { "PathName", quoted(QStringLiteral("Corvanta")) },
          { "PathTXName", quoted(QStringLiteral("QTH")) }, { "Path.L_tx.lat", fmt(r.tx.latitude, 4) },
            { "Path.L_tx.lng", fmt(r.tx.longitude, 4) }, { "TXAntFilePath", quoted(antennaPath) },
            { "TXGOS", QStringLiteral("0") },
              { "PathRXName", quoted(QStringLiteral("DX")) }, { "Path.L_rx.lat", fmt((r.north + r.south) / 2, 4) },
                { "Path.L_rx.lng", fmt((r.west + r.east) / 2, 4) },
                { "RXAntFilePath", quoted(QStringLiteral("ISOTROPIC")) }, { "RXGOS", fmt(r.rxGainDBi, 2) },
                  { "AntennaOrientation", quoted(QStringLiteral("TX2RX")) }, { "Path.year", QString::number(r.year) },
                    { "Path.month", QString::number(r.month) }, { "Path.hour", hoursText(r.hoursUTC) },
                    { "Path.SSN", QString::number(sentSunspotNumber(r.sunspotNumber)) },
                    { "Path.frequency", frequenciesText(r.frequenciesMHz) },
                    { "Path.txpower", fmt(transmitPowerDBkW(r.setup.powerW), 2) },
                    { "Path.BW", fmt(bandwidthHz(r.setup.mode), 1) },
                    { "Path.SNRr", fmt(requiredSNR(r.setup.mode), 1) },
                    { "Path.SNRXXp", QStringLiteral("90") }, { "Path.ManMadeNoise", quoted(noiseWord(r.setup.noise)) },
                      { "Path.Modulation", quoted(QStringLiteral("ANALOG")) },
                        { "Path.SorL", quoted(r.longPath ? QStringLiteral("LONGPATH") : QStringLiteral("SHORTPATH")) },
                          { "RptFileFormat", quoted(QStringLiteral("RPT_RXLOCATION | RPT_BCR")) },
                            { "LL.lat", fmt(r.south, 4) }, { "LL.lng", fmt(r.west, 4) }, { "LR.lat", fmt(r.south, 4) },
                            { "LR.lng", fmt(r.east, 4) }, { "UL.lat", fmt(r.north, 4) }, { "UL.lng", fmt(r.west, 4) },
                            { "UR.lat", fmt(r.north, 4) }, { "UR.lng", fmt(r.east, 4) },
                            { "latinc", fmt(r.latStep, 2) }, { "lnginc", fmt(r.lonStep, 2) },
                            { "DataFilePath", quoted(data) },
                         };
    QString text;
    for (const auto& [key, value] : lines)
        text += QLatin1String(key) + QLatin1Char(' ') + value + QLatin1Char('\n');
    return text;
}

QList<Row> parse(QStringView report)
{
    QList<Row> rows;
    bool inData = false;
    qsizetype start = 0;
    const qsizetype size = report.size();
    while (start < size) {
        qsizetype end = start;
        bool capitalC = false; // only then can the line be a marker
        while (end < size && !isLineBreak(report[end])) {
            capitalC = capitalC || report[end] == u'C';
            ++end;
        }
        const QStringView line = report.sliced(start, end - start);
        start = end + 1;
        if (line.isEmpty())
            continue;
        if (capitalC && line.contains(calculatedMarker)) {
            inData = !line.contains(QLatin1String("End"));
            continue;
        }
        if (!inData)
            continue;
        if (const auto row = dataRow(line))
            rows.append(*row);
    }
    return rows;
}

} // namespace P533
