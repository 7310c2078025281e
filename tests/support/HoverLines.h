#pragma once

// For the hover panel's tests: a label of the map by its prefix, the
// panel's lines as texts, their cells joined by "|", and a spot.
#include "map/HoverInfo.h"
#include "map/WorldMapView.h"

#include <QStringList>
#include <gtest/gtest.h>

inline PrefixEntity label(const QString& prefix)
{
    for (const PrefixEntity& entity : WorldMapView::prefixes())
        if (entity.prefix == prefix)
            return entity;
    ADD_FAILURE() << "no label " << prefix.toStdString();
    return {};
}

inline QStringList texts(const QList<HoverLine>& lines)
{
    QStringList out;
    for (const HoverLine& line : lines) {
        QStringList cells;
        for (const HoverText& cell : line.cells)
            cells << cell.text;
        out << cells.join(QLatin1Char('|'));
    }
    return out;
}

inline DXSpot spot(const QString& call, double kHz, const QString& comment, const QDateTime& time)
{
    return DXSpot(kHz, call, QStringLiteral("DL1ABC"), comment, time);
}
