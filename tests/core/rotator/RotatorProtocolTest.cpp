#include "rotator/RotatorProtocol.h"

#include <QList>
#include <QLocale>
#include <QString>
#include <gtest/gtest.h>

#include <clocale>
#include <functional>
#include <string>

namespace {

using P = RotatorProtocol;

std::string show(const std::optional<double>& v) { return v ? std::to_string(*v) : std::string("no value"); }

QString withControls(const char* text)
{
    // "<STX>", "<CR>" stand for the single control characters.
    QString s = QString::fromUtf8(text);
    s.replace(QLatin1String("<STX>"), QString(QChar(0x02)));
    s.replace(QLatin1String("<CR>"), QString(QChar(0x0D)));
    return s;
}

} // namespace

TEST(RotatorProtocol, DescribesEachDialect)
{
    struct Row {
        P proto;
        const char* raw;
        const char* title;
        bool network;
        quint8 terminator;
        bool speed;
    };
    const Row rows[] = {
        { P::gs232a, "gs232a", "Yaesu GS-232A", false, 13, true },
        { P::gs232b, "gs232b", "Yaesu GS-232B", false, 13, true },
        { P::prosistel, "prosistel", "Prosistel", false, 13, false },
        { P::rotctld, "rotctld", "Hamlib rotctld (network)", true, 10, false },
    };
    ASSERT_EQ(std::size(rows), RotatorProtocols::allCases.size());
    for (size_t i = 0; i < std::size(rows); ++i) {
        const Row& r = rows[i];
        SCOPED_TRACE(r.raw);
        EXPECT_EQ(RotatorProtocols::allCases[i], r.proto) << "picker order";
        EXPECT_EQ(rawValue(r.proto), QLatin1String(r.raw));
        EXPECT_EQ(RotatorProtocols::fromRaw(QString::fromLatin1(r.raw)), r.proto);
        EXPECT_EQ(title(r.proto), QLatin1String(r.title));
        EXPECT_EQ(usesNetwork(r.proto), r.network);
        EXPECT_EQ(terminator(r.proto), r.terminator);
        EXPECT_EQ(supportsSpeed(r.proto), r.speed);
        EXPECT_EQ(speedCommand(r.proto, 2).has_value(), r.speed);
    }
    for (const char16_t* bad : { u"GS232A", u"Rotctld", u"", u"gs232", u" gs232b", u"hamlib" })
        EXPECT_FALSE(RotatorProtocols::fromRaw(QStringView(bad))) << QString::fromUtf16(bad).toStdString();
}

TEST(RotatorProtocol, WritesCommandsByteForByte)
{
    struct Row {
        const char* what;
        std::function<QByteArray()> command;
        const char* hex;
    };
    const auto move = [](P p, int n) { return [=] { return moveCommand(p, n); }; };
    const auto speed = [](P p, int n) { return [=] { return speedCommand(p, n).value_or("none"); }; };
    const Row rows[] = {
        { "GS-232A query", [] { return positionQuery(P::gs232a); }, "430D" },
        { "GS-232B query", [] { return positionQuery(P::gs232b); }, "430D" },
        { "Prosistel query", [] { return positionQuery(P::prosistel); }, "02413F0D" },
        { "rotctld query", [] { return positionQuery(P::rotctld); }, "700A" },

        { "GS-232A move 5", move(P::gs232a, 5), "4D3030350D" },
        { "GS-232B move 0", move(P::gs232b, 0), "4D3030300D" },
        { "GS-232B move 45", move(P::gs232b, 45), "4D3034350D" },
        { "GS-232B move 450", move(P::gs232b, 450), "4D3435300D" },
        { "GS-232B move -5 (as %03d)", move(P::gs232b, -5), "4D2D30350D" },
        { "GS-232B move 1000", move(P::gs232b, 1000), "4D313030300D" },
        { "Prosistel move 5", move(P::prosistel, 5), "024147350D" },
        { "Prosistel move 0", move(P::prosistel, 0), "024147300D" },
        { "Prosistel move 359", move(P::prosistel, 359),
          "02414733353"
          "90D" },
        { "rotctld move 123", move(P::rotctld, 123),
          "50203132332030"
          "0A" },
        { "rotctld move -7", move(P::rotctld, -7),
          "50202D372030"
          "0A" },

        { "GS-232A stop", [] { return stopCommand(P::gs232a); }, "530D" },
        { "GS-232B stop", [] { return stopCommand(P::gs232b); }, "530D" },
        { "Prosistel stop", [] { return stopCommand(P::prosistel); }, "0241473939370D" },
        { "rotctld stop", [] { return stopCommand(P::rotctld); }, "530A" },

        { "GS-232A speed -3", speed(P::gs232a, -3), "58310D" },
        { "GS-232A speed 0", speed(P::gs232a, 0), "58310D" },
        { "GS-232B speed 1", speed(P::gs232b, 1), "58310D" },
        { "GS-232B speed 2", speed(P::gs232b, 2), "58320D" },
        { "GS-232B speed 3", speed(P::gs232b, 3), "58330D" },
        { "GS-232B speed 4", speed(P::gs232b, 4), "58340D" },
        { "GS-232A speed 9", speed(P::gs232a, 9), "58340D" },
    };
    for (const Row& r : rows)
        EXPECT_EQ(r.command().toHex().toUpper(), QByteArray(r.hex)) << r.what;

    for (const int level : { -1, 0, 1, 3, 4, 7 }) {
        EXPECT_FALSE(speedCommand(P::prosistel, level));
        EXPECT_FALSE(speedCommand(P::rotctld, level));
    }
}

TEST(RotatorProtocol, EndsEveryCommandWithItsTerminatorOnly)
{
    for (const P p : RotatorProtocols::allCases) {
        QList<QByteArray> commands { positionQuery(p), moveCommand(p, 0), moveCommand(p, 450), stopCommand(p) };
        if (auto s = speedCommand(p, 3))
            commands.append(*s);
        for (const QByteArray& c : commands) {
            ASSERT_FALSE(c.isEmpty());
            EXPECT_EQ(quint8(c.back()), terminator(p)) << c.toHex().constData();
            EXPECT_FALSE(c.chopped(1).contains('\r') || c.chopped(1).contains('\n')) << c.toHex().constData();
        }
    }
}

TEST(RotatorProtocol, ReadsAnswerLines)
{
    struct Row {
        P proto;
        const char* line;
        std::optional<double> expected;
    };
    const std::optional<double> none;
    const Row rows[] = {
        { P::gs232b, "AZ=045", 45 },
        { P::gs232a, "AZ=045", 45 },
        { P::gs232b, "AZ=999", 999 },
        { P::gs232b, "AZ=1234", 123 },
        { P::gs232b, "AZ= 7", 7 },
        { P::gs232b, "AZ=123 EL=045", 123 },
        { P::gs232b, "<STX>AZ=123   ", 123 },
        { P::gs232b, "  AZ=<STX>090<CR>", 90 },
        { P::gs232a, "+0360", 360 },
        { P::gs232a, "+1234", 234 },
        { P::gs232a, "+123", 123 },
        { P::gs232a, "+0450", 450 },
        { P::gs232a, "+0123+0045", 123 },
        { P::gs232b, "?>", none },
        { P::gs232b, "", none },
        { P::gs232b, "AZ=", none },
        { P::gs232b, "+12", none },
        { P::gs232b, "az=123", none },

        { P::prosistel, ",A,,?,90,", 90 },
        { P::prosistel, "A,?,123,R", 123 },
        { P::prosistel, "<STX>A,?,123,R<CR>", 123 },
        { P::prosistel, "A,?,12.5", 12.5 },
        { P::prosistel, "A,?,x", none },
        { P::prosistel, "B,?,90", none },
        { P::prosistel, "A,?", none },
        { P::prosistel, "A,!,90", none },
        { P::prosistel, "A, ?,90", none },
        { P::prosistel, "A,?, 90", none },

        { P::rotctld, "RPRT -1", none },
        { P::rotctld, "RPRT 0", none },
        { P::rotctld, "  12.5 \t", 12.5 },
        { P::rotctld, "182.500000", 182.5 },
        { P::rotctld, "-5", -5 },
        { P::rotctld, "12,5", none },
        { P::rotctld, "1,234.5", none },
        { P::rotctld, "12.5 deg", none },
        { P::rotctld, "", none },
        { P::rotctld, "azimuth", none },

        // A non-finite reading is no reading: it would otherwise reach
        // integer rounding further on.
        { P::rotctld, "nan", none },
        { P::rotctld, "NaN", none },
        { P::rotctld, "inf", none },
        { P::rotctld, "-infinity", none },
        { P::rotctld, "1e999", none },
        { P::rotctld, "-1e999", none },
        { P::prosistel, "A,?,nan", none },
        { P::prosistel, "A,?,inf", none },
        { P::prosistel, "A,?,1e999", none },
    };
    for (const Row& r : rows) {
        const auto got = parsePosition(r.proto, withControls(r.line));
        EXPECT_EQ(got, r.expected) << rawValue(r.proto).toStdString() << " \"" << r.line << "\" gave " << show(got);
    }
}

TEST(RotatorProtocol, ReadsNumbersTheSameWayInEveryLocale)
{
    // Both the C library's and Qt's idea of the locale: a German desktop
    // writes decimal commas, rotctld never does.
    const QLocale oldDefault;
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    const char* old = setlocale(LC_ALL, nullptr);
    const std::string saved = old ? old : "C";
    // Where the system has no German locale, only Qt's side is exercised.
    if (!setlocale(LC_ALL, "de_DE.UTF-8"))
        setlocale(LC_ALL, "de_DE.utf8");

    EXPECT_EQ(parsePosition(P::rotctld, u"182.5"), 182.5);
    EXPECT_EQ(parsePosition(P::rotctld, u"182,5"), std::nullopt);
    EXPECT_EQ(parsePosition(P::prosistel, u"A,?,12.5"), 12.5);

    setlocale(LC_ALL, saved.c_str());
    QLocale::setDefault(oldDefault);
}

TEST(RotatorProtocol, FindsTheLastCompleteAnswerInUnterminatedBytes)
{
    struct Row {
        P proto;
        const char* text;
        std::optional<double> expected;
    };
    const std::optional<double> none;
    const Row rows[] = {
        { P::gs232b, "AZ=010AZ=020", 20 }, { P::gs232b, "AZ=12", none },
        { P::gs232b, "AZ=123", 123 },      { P::gs232b, "AZ=100<CR>AZ=10", 100 },
        { P::gs232a, "+0123", 123 },       { P::gs232a, "+0123+012", 123 },
        { P::gs232a, "+012", none },       { P::gs232b, "junk AZ= 045 more", 45 },
        { P::gs232b, "", none },           { P::prosistel, "A,?,123", none },
        { P::rotctld, "123.0", none },     { P::rotctld, "AZ=123", none },
    };
    for (const Row& r : rows) {
        const auto got = parseUnterminated(r.proto, withControls(r.text));
        EXPECT_EQ(got, r.expected) << rawValue(r.proto).toStdString() << " \"" << r.text << "\" gave " << show(got);
    }
}
