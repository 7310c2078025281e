#include "prediction/P533.h"

#include <QTimeZone>

#include <algorithm>
#include <array>
#include <charconv>
#include <optional>

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
        parts.append(QString::number(engineHour(hour)));
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

// dB relative to 1 kW; below the engine's least power (or no number)
// counts as that.
double transmitPowerDBkW(double watts)
{
    return 10.0 * std::log10((watts > minimumPowerW ? watts : minimumPowerW) / 1000.0);
}

// The most columns a report's rows are read to.
constexpr int maxColumns = 64;

// The first `count` non-empty comma-separated pieces of a line, trimmed.
// Fewer gives false.
bool splitPieces(QStringView line, std::array<QStringView, maxColumns>& out, int count)
{
    int found = 0;
    qsizetype start = 0;
    while (found < count && start <= line.size()) {
        qsizetype comma = line.indexOf(u',', start);
        if (comma < 0)
            comma = line.size();
        // Only the piece between two commas is dropped when empty; one of
        // blanks alone is a piece that fails to read as a number.
        if (comma > start)
            out[found++] = trimmed(line.sliced(start, comma - start));
        start = comma + 1;
    }
    return found == count;
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

// What a row is read from: the piece of each value, 0-based.
enum class Field { month, hour, frequency, latitude, longitude, reliability };
constexpr std::size_t fieldCount = 6;

struct Layout {
    std::array<int, fieldCount> column { 0, 1, 2, 3, 4, 5 }; // the positions without a legend
    int pieces = 6;                                          // how many a line must have
    // Where a legend names no receive location: the one point of the request.
    std::optional<GeoCoordinate> point;

    int operator[](Field f) const { return column[std::size_t(f)]; }
};

// The column legend the engine writes above its rows, one "Column N: name"
// line per column. Other report layouts put other columns in between, so
// the legend, when there is one, says where each value is.
class Legend {
public:
    // Takes the line when it is a legend line; false otherwise.
    bool read(QStringView line)
    {
        static const QString word = QStringLiteral("Column");
        const qsizetype at = line.indexOf(word);
        if (at < 0)
            return false;
        qsizetype i = at + word.size();
        const auto skipBlanks = [&] {
            while (i < line.size() && line[i].isSpace())
                ++i;
        };
        skipBlanks();
        int number = 0;
        const qsizetype digits = i;
        while (i < line.size() && line[i].isDigit() && number <= maxColumns)
            number = number * 10 + line[i++].digitValue();
        if (i == digits)
            return false;
        skipBlanks();
        if (i >= line.size() || line[i] != u':')
            return false;
        m_seen = true;
        if (number < 1 || number > maxColumns)
            return true; // a column this reader never reaches
        const std::optional<Field> field = fieldOf(trimmed(line.sliced(i + 1)));
        if (field && m_column[std::size_t(*field)] < 0)
            m_column[std::size_t(*field)] = number - 1;
        return true;
    }

    bool seen() const { return m_seen; }

    // The values a legend must name: all of them, but the receive location
    // where the request had only one point.
    QStringList missing(const std::optional<GeoCoordinate>& point) const
    {
        QStringList names;
        const std::pair<Field, const char*> required[] = {
            { Field::month, "month" },
            { Field::hour, "hour" },
            { Field::frequency, "frequency" },
            { Field::latitude, "receiver latitude" },
            { Field::longitude, "receiver longitude" },
            { Field::reliability, "BCR" },
        };
        for (const auto& [field, name] : required)
            if (m_column[std::size_t(field)] < 0 && !(point && isLocation(field)))
                names << QLatin1String(name);
        return names;
    }

    // Every value from the column the legend names; a location it does not
    // name in full is the request's point.
    Layout layout(const std::optional<GeoCoordinate>& point) const
    {
        Layout layout;
        layout.column = m_column;
        if (layout[Field::latitude] < 0 || layout[Field::longitude] < 0) {
            layout.column[std::size_t(Field::latitude)] = layout.column[std::size_t(Field::longitude)] = -1;
            layout.point = point;
        }
        layout.pieces = *std::ranges::max_element(layout.column) + 1;
        return layout;
    }

private:
    static bool isLocation(Field f) { return f == Field::latitude || f == Field::longitude; }

    // The legend's names: "Month", "Hour", "Freq…", "BCR - …" by their first
    // word; the receive point by a word "lat"/"latitude" or
    // "lng"/"lon"/"longitude" anywhere in the name.
    static std::optional<Field> fieldOf(QStringView name)
    {
        QList<QStringView> words;
        qsizetype start = -1;
        for (qsizetype i = 0; i <= name.size(); ++i) {
            const bool letter = i < name.size() && name[i].isLetter();
            if (letter && start < 0)
                start = i;
            if (!letter && start >= 0) {
                words.append(name.sliced(start, i - start));
                start = -1;
            }
        }
        if (words.isEmpty())
            return std::nullopt;
        const auto is = [](QStringView w, const char* text) {
            return w.compare(QLatin1String(text), Qt::CaseInsensitive) == 0;
        };
        const QStringView first = words.first();
        if (is(first, "month"))
            return Field::month;
        if (is(first, "hour"))
            return Field::hour;
        if (first.startsWith(QLatin1String("freq"), Qt::CaseInsensitive))
            return Field::frequency;
        if (is(first, "BCR"))
            return Field::reliability;
        for (const QStringView w : words) {
            if (is(w, "lat") || is(w, "latitude"))
                return Field::latitude;
            if (is(w, "lng") || is(w, "lon") || is(w, "longitude"))
                return Field::longitude;
        }
        return std::nullopt;
    }

    bool m_seen = false;
    std::array<int, fieldCount> m_column { -1, -1, -1, -1, -1, -1 };
};

using Pieces = std::array<QStringView, maxColumns>;

std::optional<Row> dataRow(QStringView line, const Layout& layout, Pieces& piece)
{
    if (!splitPieces(line, piece, layout.pieces))
        return std::nullopt;
    const auto at = [&](Field f) { return piece[std::size_t(layout[f])]; };
    const auto monthNumber = number<int>(at(Field::month));
    const auto hourNumber = number<int>(at(Field::hour));
    const auto mhz = number<double>(at(Field::frequency));
    const auto lat = layout.point ? std::optional(layout.point->latitude) : number<double>(at(Field::latitude));
    const auto lng = layout.point ? std::optional(layout.point->longitude) : number<double>(at(Field::longitude));
    const auto percent = number<double>(at(Field::reliability));
    // The engine's hours are 1 … 24; anything else is no hour of the day.
    if (!monthNumber || !hourNumber || *hourNumber < 1 || *hourNumber > 24 || !mhz || !lat || !lng || !percent)
        return std::nullopt;
    const double value = std::min(*percent / 100.0, 1.0);
    return Row { *monthNumber, *hourNumber - 1, *mhz, *lat, *lng, value < 0 ? 0.0 : value };
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

std::optional<GeoCoordinate> Request::onePoint() const
{
    if (north != south || west != east)
        return std::nullopt;
    return GeoCoordinate { north, west };
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

int engineHour(int hourUTC) { return (hourUTC % 24 + 24) % 24 + 1; }

QString fmt(double value, int decimals) { return QString::number(value, 'f', decimals); }

std::expected<QByteArray, QString> inputFile(const Request& r, const QString& dataPath, const QString& antennaPath)
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
    QByteArray text;
    for (const auto& [key, value] : lines) {
        const QByteArray line = (QLatin1String(key) + QLatin1Char(' ') + value).toUtf8();
        const bool dataFolder = qstrcmp(key, "DataFilePath") == 0;
        const qsizetype most = dataFolder ? maxDataFolderLineBytes : maxInputLineBytes;
        if (line.size() > most) {
            const bool path = qstrcmp(key, "TXAntFilePath") == 0 || dataFolder;
            const QString what = path ? QStringLiteral("the path ") + value.sliced(1, value.size() - 2)
                                      : QStringLiteral("the value of ") + QLatin1String(key);
            return std::unexpected(what
                                   + QStringLiteral(" is too long for the engine: its line in the input file would be "
                                                    "%1 bytes, and the engine reads at most %2")
                                         .arg(line.size())
                                         .arg(most));
        }
        text += line;
        text += '\n';
    }
    return text;
}

std::expected<QList<Row>, QString> parse(QStringView report, const std::optional<GeoCoordinate>& onePoint)
{
    QList<Row> rows;
    Legend legend;
    Pieces pieces; // one for every line: rows are many
    std::optional<Layout> layout = Layout(); // none while the legend lacks a value
    bool inData = false;
    qsizetype start = 0;
    const qsizetype size = report.size();
    while (start < size) {
        qsizetype end = start;
        bool capitalC = false; // only then can the line be a marker or a legend line
        while (end < size && !isLineBreak(report[end])) {
            capitalC = capitalC || report[end] == u'C';
            ++end;
        }
        const QStringView line = report.sliced(start, end - start);
        start = end + 1;
        if (line.isEmpty())
            continue;
        if (capitalC) {
            if (line.contains(calculatedMarker)) {
                inData = !line.contains(QLatin1String("End"));
                continue;
            }
            if (legend.read(line)) {
                layout = legend.missing(onePoint).isEmpty() ? std::optional(legend.layout(onePoint)) : std::nullopt;
                continue;
            }
        }
        if (!inData || !layout)
            continue;
        if (const auto row = dataRow(line, *layout, pieces))
            rows.append(*row);
    }
    if (QStringList missing = legend.missing(onePoint); legend.seen() && !missing.isEmpty()) {
        const QString last = missing.takeLast();
        const QString names
            = missing.isEmpty() ? last : missing.join(QStringLiteral(", ")) + QStringLiteral(" or ") + last;
        return std::unexpected(
            QStringLiteral("the report's column legend names no %1 column, so its rows cannot be read").arg(names));
    }
    return rows;
}

} // namespace P533
