// What the P.533 engine writes back (its report) and the paths written into
// its input file. The first byte chooses which.

#include "FuzzSupport.h"

#include "prediction/P533.h"

#include <cmath>

namespace {

bool isLineBreak(QChar c)
{
    return c == u'\n' || c == u'\v' || c == u'\f' || c == u'\r' || c == QChar(0x85) || c == QChar(0x2028)
        || c == QChar(0x2029);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    Fuzz::Input input(data, size);
    const bool paths = input.byte() & 1;

    if (paths) {
        // Up to 255 bytes, three times that where they are not UTF-8: past
        // the data folder's limit either way.
        const QString dataPath = Fuzz::text(input.bytes(input.byte()));
        const QString antennaPath = Fuzz::text(input.rest());
        const StationSetup setup { 100, StationAntennas(), PredictionMode::ssb, NoiseEnvironment::residential };
        const auto request = P533::Request::path({ 54.7, 25.3 }, { 40, -75.5 }, setup, 3,
                                                 QDateTime(QDate(2026, 12, 6), QTime(23, 30), Qt::UTC), { 0, 12 },
                                                 { 14.15, 7.1 }, 80.5);
        const auto text = P533::inputFile(request, dataPath, antennaPath);
        const auto plain = P533::inputFile(request, QStringLiteral("/data"), QStringLiteral("/tmp/tx.ant"));
        FUZZ_CHECK(plain.has_value());
        bool unquotable = false;
        for (const QString& path : { dataPath, antennaPath })
            for (const QChar c : path)
                unquotable = unquotable || c == u'"' || isLineBreak(c);
        // A path that cannot be quoted is refused; so is one whose line
        // would be longer than the engine reads, and only for that reason.
        const QString folder = dataPath.endsWith(u'/') ? dataPath : dataPath + u'/';
        const auto bytes = [](const QString& line) { return line.toUtf8().size(); };
        const bool fits = bytes("DataFilePath \"" + folder + u'"') <= P533::maxDataFolderLineBytes
            && bytes("TXAntFilePath \"" + antennaPath + u'"') <= P533::maxInputLineBytes;
        FUZZ_CHECK(!(unquotable && text.has_value()));
        FUZZ_CHECK(unquotable || text.has_value() == fits);
        FUZZ_CHECK(unquotable || text.has_value() || text.error().contains(QStringLiteral("too long for the engine")));
        if (text) {
            // The paths stay inside their quotes: the file has the same lines.
            const QString written = QString::fromUtf8(*text);
            qsizetype breaks = 0;
            for (const QChar c : written)
                breaks += isLineBreak(c) ? 1 : 0;
            FUZZ_CHECK(breaks == plain->count('\n'));
            FUZZ_CHECK(written.contains(u'"' + antennaPath + u'"'));
        }
        return 0;
    }

    const QString report = Fuzz::text(input.rest());
    const auto parsed = P533::parse(report);
    // A refused report is refused for its legend, which names a column.
    FUZZ_CHECK(parsed || report.contains(QLatin1String("Column")));
    const QList<P533::Row> rows = parsed.value_or(QList<P533::Row>());
    for (const P533::Row& row : rows) {
        FUZZ_CHECK(row.hourUTC >= 0 && row.hourUTC <= 23);
        FUZZ_CHECK(row.reliability >= 0 && row.reliability <= 1);
        FUZZ_CHECK(std::isfinite(row.frequencyMHz) && std::isfinite(row.latitude) && std::isfinite(row.longitude));
    }
    // Lines may end in CR LF; a line before the first block is no data.
    QString crlf = report;
    crlf.replace(u'\n', QStringLiteral("\r\n"));
    FUZZ_CHECK(P533::parse(crlf) == parsed);
    FUZZ_CHECK(P533::parse(QStringLiteral("1, 12, 14.1, 10, 20, 50\n") + report) == parsed);
    return 0;
}
