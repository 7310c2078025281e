#include "cluster/SpotBook.h"

#include <gtest/gtest.h>

#include <QRandomGenerator>
#include <QSet>

namespace {

const QDateTime noon(QDate(2026, 12, 7), QTime(12, 0), Qt::UTC);

DXSpot spotAt(const QString& call, double kHz, int minutesAfterNoon, const QString& comment = {})
{
    return DXSpot(kHz, call, "W1XYZ", comment, noon.addSecs(60 * minutesAfterNoon));
}

QStringList ids(const SpotBook& book)
{
    QStringList out;
    for (const DXSpot& s : book.spots())
        out << s.id() + "@" + s.time.toString("HHmm");
    return out;
}

// The book's rules written out plainly, to check the indexed book against.
struct PlainBook {
    QList<DXSpot> spots;
    qsizetype capacity = 1000;

    void add(const DXSpot& spot)
    {
        for (qsizetype i = 0; i < spots.size(); ++i) {
            if (spots[i].id() == spot.id()) {
                if (spots[i].time > spot.time)
                    return;
                spots.remove(i);
                break;
            }
        }
        qsizetype place = 0;
        while (place < spots.size() && spots[place].time > spot.time)
            ++place;
        spots.insert(place, spot);
        while (spots.size() > capacity)
            spots.removeLast();
    }

    void prune(const QDateTime& cutoff)
    {
        spots.removeIf([&](const DXSpot& s) { return s.time < cutoff; });
    }
};

void expectInvariants(const SpotBook& book)
{
    QSet<QString> seen;
    for (qsizetype i = 0; i < book.spots().size(); ++i) {
        const DXSpot& s = book.spots()[i];
        EXPECT_FALSE(seen.contains(s.id())) << s.id().toStdString();
        seen.insert(s.id());
        if (i > 0) {
            EXPECT_FALSE(book.spots()[i - 1].time < s.time) << i;
        }
    }
    EXPECT_LE(book.spots().size(), book.capacity());
}

} // namespace

TEST(SpotBook, KeepsTheNewestReportOfEachCallAndBand)
{
    SpotBook book;
    book.add(spotAt("K1ABC", 14000, 0));
    book.add(spotAt("G4XYZ", 7010, 2));
    book.add(spotAt("K1ABC", 14074, 5));
    EXPECT_EQ(ids(book), (QStringList { "K1ABC|20@1205", "G4XYZ|40@1202" }));
    EXPECT_EQ(book.spots().front().frequencyKHz, 14074);

    // An older report of a stored identity is dropped.
    book.add(spotAt("K1ABC", 14010, 1));
    EXPECT_EQ(ids(book), (QStringList { "K1ABC|20@1205", "G4XYZ|40@1202" }));

    // The same call on another band is another identity.
    book.add(spotAt("K1ABC", 7025, 3));
    EXPECT_EQ(ids(book), (QStringList { "K1ABC|20@1205", "K1ABC|40@1203", "G4XYZ|40@1202" }));

    // Same identity, same time: the second replaces the first.
    book.add(spotAt("G4XYZ", 7011, 2, "second"));
    EXPECT_EQ(book.spots()[2].comment, "second");
    EXPECT_EQ(book.spots().size(), 3);

    // A new spot stands before stored spots of its own time.
    book.add(spotAt("DL1AAA", 10110, 3));
    EXPECT_EQ(ids(book), (QStringList { "K1ABC|20@1205", "DL1AAA|30@1203", "K1ABC|40@1203", "G4XYZ|40@1202" }));

    // Outside every band the whole kHz tell identities apart.
    book.add(spotAt("OK1KIR", 10368100.2, 4));
    book.add(spotAt("OK1KIR", 10368100.9, 6));
    book.add(spotAt("OK1KIR", 1296200.0, 6));
    EXPECT_EQ(ids(book).first(2), (QStringList { "OK1KIR|1296200@1206", "OK1KIR|10368100@1206" }));
    EXPECT_EQ(book.spots().size(), 6);

    // Hand-made spots with frequencies no parser gives still keep apart.
    book.add(spotAt("K1ABC", -20.5, 7));
    book.add(spotAt("K1ABC", std::numeric_limits<double>::infinity(), 7));
    book.add(spotAt("K1ABC", -std::numeric_limits<double>::infinity(), 7));
    book.add(spotAt("K1ABC", std::numeric_limits<double>::infinity(), 8));
    EXPECT_EQ(book.spots().size(), 9);
    EXPECT_EQ(book.spots().front().time, noon.addSecs(8 * 60));
    expectInvariants(book);
}

TEST(SpotBook, TrimsTheOldestAtCapacityAndPrunesByTime)
{
    SpotBook book;
    EXPECT_EQ(book.capacity(), 1000);
    for (int i = 0; i < 1000; ++i)
        book.add(DXSpot(14000 + i * 0.1, QString("K%1ABC").arg(i), "", "", noon.addSecs(i)));
    EXPECT_EQ(book.spots().size(), 1000);
    // The oldest of all is added and trimmed away at once.
    book.add(DXSpot(14000, "W9OLD", "", "", noon.addSecs(-1)));
    EXPECT_EQ(book.spots().size(), 1000);
    EXPECT_EQ(book.spots().back().call, "K0ABC");
    // It left no trace: a later report of it is taken.
    book.add(DXSpot(14000, "W9OLD", "", "", noon.addSecs(2000)));
    EXPECT_EQ(book.spots().front().call, "W9OLD");
    EXPECT_EQ(book.spots().back().call, "K1ABC");

    book.prune(noon.addSecs(500));
    EXPECT_EQ(book.spots().back().call, "K500ABC"); // equal to the cutoff stays
    EXPECT_EQ(book.spots().size(), 501);
    // A pruned identity can come back with an older time than before.
    book.add(DXSpot(14000, "K10ABC", "", "", noon.addSecs(600)));
    EXPECT_EQ(book.spots().size(), 502);

    book.setCapacity(3);
    EXPECT_EQ(book.spots().size(), 3);
    book.add(DXSpot(14000, "K999ABC", "", "", noon.addSecs(900)));
    expectInvariants(book);

    book.removeAll();
    EXPECT_TRUE(book.spots().isEmpty());
    EXPECT_EQ(book.capacity(), 3);
    book.add(DXSpot(14000, "K999ABC", "", "", noon));
    EXPECT_EQ(book.spots().size(), 1);
}

TEST(SpotBook, AgreesWithThePlainRulesOnARandomStream)
{
    QRandomGenerator random(7);
    SpotBook book;
    PlainBook plain;
    book.setCapacity(50);
    plain.capacity = 50;
    const double frequencies[] = { 14025, 14074, 7010, 7074, 3505, 9000.4, 9000.6, 28074, 50313 };
    for (int step = 0; step < 4000; ++step) {
        const QString call = QString("K%1X").arg(random.bounded(60));
        const double kHz = frequencies[random.bounded(int(std::size(frequencies)))];
        // Times jump around, with many equal times and older reports.
        const QDateTime time = noon.addSecs(60 * (step / 20 + random.bounded(-5, 3)));
        const DXSpot spot(kHz, call, "", QString::number(step), time);
        book.add(spot);
        plain.add(spot);
        if (step % 500 == 499) {
            book.prune(time.addSecs(-120));
            plain.prune(time.addSecs(-120));
        }
        ASSERT_EQ(book.spots(), plain.spots) << step;
    }
    expectInvariants(book);
}

TEST(SpotFilter, NeedsABandInTheSetAndAnAcceptedMode)
{
    const SpotFilter everything { ModeFilter::all, BandSet(allBands.begin(), allBands.end()) };
    EXPECT_FALSE(everything.accepts(spotAt("K1ABC", 9000, 0)));
    EXPECT_TRUE(everything.accepts(spotAt("K1ABC", 14074, 0)));
    // 4 m above 70100 with a comment of no mode word: ssb by band plan.
    EXPECT_TRUE(everything.accepts(spotAt("K1ABC", 70200, 0)));

    const SpotFilter cwSsb { ModeFilter::cwSsb, defaultBandSelection() };
    EXPECT_FALSE(cwSsb.accepts(spotAt("K1ABC", 14074, 0)));        // digital
    EXPECT_TRUE(cwSsb.accepts(spotAt("K1ABC", 14025, 0)));         // cw
    EXPECT_TRUE(cwSsb.accepts(spotAt("K1ABC", 14250, 0)));         // ssb
    EXPECT_FALSE(cwSsb.accepts(spotAt("K1ABC", 144050, 0, "cw"))); // 2 m not selected
    DXSpot noMode = spotAt("K1ABC", 14025, 0);
    noMode.mode.reset();
    EXPECT_FALSE(cwSsb.accepts(noMode));
    EXPECT_TRUE((SpotFilter { ModeFilter::all, { Band::m20 } }).accepts(noMode));
    EXPECT_FALSE((SpotFilter { ModeFilter::all, {} }).accepts(noMode));
    EXPECT_EQ(cwSsb, (SpotFilter { ModeFilter::cwSsb, defaultBandSelection() }));
    EXPECT_NE(cwSsb, (SpotFilter { ModeFilter::cw, defaultBandSelection() }));
}
