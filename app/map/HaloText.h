#pragma once

#include <QColor>
#include <QFont>
#include <QImage>
#include <QList>
#include <QPointF>
#include <QSizeF>
#include <QStringList>

class QPainter;

// A text with a soft glow of another colour behind its glyphs, so map
// labels stay readable on any base map. The glow is the glyphs' own shape
// blurred like a shadow of the given radius (points) with no offset.
// Rendered once into a small image at the device pixel ratio: drawing it
// is a single image copy, and the text is never measured again.
struct HaloText {
    QImage image;    // premultiplied ARGB, device pixel ratio set
    QPointF imageAt; // top-left of the image relative to the text box's, points
    QSizeF box;      // the text's box: advance × (ascent + descent), points

    static HaloText render(const QString& text, const QFont& font, const QColor& color, const QColor& halo,
                           double haloRadius, double ratio);

    bool isEmpty() const { return image.isNull(); }

    // The text box's centre at the point.
    void drawCentered(QPainter& painter, QPointF centre) const;
    // The middle of the text box's left edge at the point.
    void drawLeading(QPainter& painter, QPointF anchor) const;
    // The text box's top-left corner at the point; snapped to whole device
    // pixels so the glyphs stay as crisp as they were rendered.
    void drawAt(QPainter& painter, QPointF topLeft) const;
};

// The rendered texts of one label set (texts, font, colours, halo radius,
// pixel ratio). One entry: a different set replaces it, and asking again
// for the same set costs only the comparison.
class HaloTextCache {
public:
    const QList<HaloText>& texts(const QStringList& texts, const QFont& font, const QColor& color, const QColor& halo,
                                 double haloRadius, double ratio);

    // How often the set was rendered (for tests of the caching).
    int renders() const { return m_renders; }

private:
    QStringList m_texts;
    QFont m_font;
    QColor m_color;
    QColor m_halo;
    double m_radius = -1;
    double m_ratio = 0;
    QList<HaloText> m_rendered;
    int m_renders = 0;
};
