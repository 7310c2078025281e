#include "cluster/Band.h"

#include "support/StrictNumber.h"
#include "support/TextTrim.h"

#include <QList>

#include <algorithm>

QString title(Band band) { return QString::number(rawValue(band)) + QStringLiteral(" m"); }

KHzRange rangeKHz(Band band)
{
    switch (band) {
    case Band::m160:
        return { 1800, 2000 };
    case Band::m80:
        return { 3500, 4000 };
    case Band::m60:
        return { 5250, 5450 };
    case Band::m40:
        return { 7000, 7300 };
    case Band::m30:
        return { 10100, 10150 };
    case Band::m20:
        return { 14000, 14350 };
    case Band::m17:
        return { 18068, 18168 };
    case Band::m15:
        return { 21000, 21450 };
    case Band::m12:
        return { 24890, 24990 };
    case Band::m10:
        return { 28000, 29700 };
    case Band::m6:
        return { 50000, 54000 };
    case Band::m4:
        return { 70000, 71000 };
    case Band::m2:
        return { 144000, 148000 };
    }
    return {};
}

std::optional<Band> bandFromRaw(qint64 metres)
{
    for (Band band : allBands)
        if (rawValue(band) == metres)
            return band;
    return std::nullopt;
}

std::optional<Band> bandForKHz(double kHz)
{
    for (Band band : allBands)
        if (rangeKHz(band).contains(kHz))
            return band;
    return std::nullopt;
}

const BandSet& defaultBandSelection()
{
    static const BandSet selection = [] {
        BandSet bands;
        for (Band band : allBands)
            if (band != Band::m4 && band != Band::m2)
                bands.insert(band);
        return bands;
    }();
    return selection;
}

QString encodeBands(const BandSet& bands)
{
    QList<int> metres;
    metres.reserve(bands.size());
    for (Band band : bands)
        metres.append(rawValue(band));
    std::sort(metres.begin(), metres.end(), std::greater<int>());
    QString text;
    for (int m : metres) {
        if (!text.isEmpty())
            text += u',';
        text += QString::number(m);
    }
    return text;
}

BandSet decodeBands(QStringView text)
{
    BandSet bands;
    for (QStringView piece : text.tokenize(u',', Qt::SkipEmptyParts)) {
        // Only blanks and tabs are trimmed: a piece with a line break in it
        // is not a number and is skipped.
        if (const auto metres = StrictNumber::parseInt(trimSpacesAndTabs(piece)))
            if (const auto band = bandFromRaw(*metres))
                bands.insert(*band);
    }
    return bands;
}
