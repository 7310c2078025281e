#pragma once

#include "kit/MUFPalette.h"
#include "map/MapProjection.h"
#include "spaceweather/Ionosonde.h"

#include <QColor>
#include <QFont>
#include <QImage>
#include <QList>
#include <QString>

#include <cstdint>
#include <optional>

class QPainter;

// The ionosonde stations of the latest readings: a dot in the colour of the
// measured MUF with the MUF in whole MHz written on it, in the order of the
// readings (later ones over earlier ones). Readings the service scored below
// 25 are drawn faint. One copy of the world; dots off the view are skipped.
struct MUFLayer {
    MapProjection projection;
    QList<IonosondeReading> readings;
    QColor halo; // the dots' outline
    MUFPalette palette;

    // The dot radius on a map of a width: a 120th of it, within 9...14.
    static double dotRadius(double mapWidth);
    // The dot's text: the MUF rounded to whole MHz, an exact half to the
    // even neighbour (14.5 gives "14").
    static QString label(double mufd);
    // The dot's fill opacity: 0.45 for a confidence below 25, else (none
    // included) 0.95.
    static double fillOpacity(std::optional<double> confidence);
    // The dot's font: the system font at 0.95 of the radius, bold.
    static QFont font(double radius);

    // Draws one dot centred at a point.
    void drawDot(QPainter& painter, const IonosondeReading& reading, QPointF at, double radius) const;

    // The dots, each drawn once into a small picture kept in `sprites` and
    // copied at every paint while the readings, colours, radius and pixel
    // ratio stay the same.
    class Sprites {
    public:
        const QList<QImage>& images(const MUFLayer& layer, double radius, double ratio);
        void clear();
        // How often the set was drawn (for tests).
        int renders() const { return m_renders; }

    private:
        std::uint64_t m_key = 0;
        QList<QImage> m_images;
        int m_renders = 0;
    };

    void paint(QPainter& painter, Sprites& sprites) const;
    // The dots from sprites made beforehand (Sprites::images, main thread);
    // bands may do this at once.
    void draw(QPainter& painter, const QList<QImage>& images) const;
};
