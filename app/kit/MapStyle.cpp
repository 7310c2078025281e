#include "kit/MapStyle.h"

namespace {

struct StyleInfo {
    const char* raw;
    const char* title;
    QColor oceanTop;
    QColor oceanBottom;
    QColor land;
    QColor border;
    bool isLight;
};

QColor rgb(double r, double g, double b, double a = 1.0) { return QColor::fromRgbF(r, g, b, a); }
QColor white(double w, double a = 1.0) { return QColor::fromRgbF(w, w, w, a); }

const std::array<StyleInfo, 13>& table()
{
    // Indexed by the enumeration's value; keep in declaration order.
    static const std::array<StyleInfo, 13> styles { {
        { "dark", "Dark", rgb(0.05, 0.16, 0.30), rgb(0.03, 0.10, 0.21), rgb(0.20, 0.29, 0.24),
          rgb(0.55, 0.66, 0.58, 0.55), false },
        { "atlas", "Light atlas", rgb(0.74, 0.80, 0.85), rgb(0.70, 0.77, 0.83), rgb(0.87, 0.86, 0.78), white(0.45, 0.7),
          true },
        { "grey", "Grey (best for MUF)", white(0.80), white(0.76), white(0.62), white(0.40, 0.7), true },
        { "classic", "Classic blue", rgb(0.16, 0.38, 0.60), rgb(0.10, 0.27, 0.46), rgb(0.53, 0.62, 0.40),
          rgb(0.30, 0.36, 0.22, 0.8), false },
        { "political", "Political (coloured countries)", rgb(0.66, 0.81, 0.91), rgb(0.60, 0.76, 0.88),
          rgb(0.93, 0.90, 0.80), white(0.40, 0.8), true },
        { "contrast", "High contrast", white(0.0), white(0.0), white(0.12), rgb(0.30, 0.90, 1.00, 0.8), false },
        { "outline", "Outline (borders only)", white(0.20), white(0.17), white(0.20), white(0.85, 0.85), false },
        { "terrain", "Terrain (green land, blue sea)", rgb(0.25, 0.50, 0.72), rgb(0.18, 0.42, 0.64),
          rgb(0.42, 0.58, 0.34), rgb(0.22, 0.30, 0.16, 0.8), false },
        { "midnight", "Midnight", rgb(0.02, 0.03, 0.08), rgb(0.01, 0.02, 0.05), rgb(0.10, 0.12, 0.20),
          rgb(0.45, 0.50, 0.70, 0.7), false },
        { "teal", "Deep teal", rgb(0.03, 0.24, 0.27), rgb(0.02, 0.17, 0.20), rgb(0.28, 0.38, 0.34),
          rgb(0.60, 0.75, 0.68, 0.6), false },
        { "parchment", "Old map (parchment)", rgb(0.82, 0.76, 0.60), rgb(0.78, 0.71, 0.55), rgb(0.93, 0.87, 0.70),
          rgb(0.40, 0.30, 0.18, 0.8), true },
        { "arctic", "Arctic (pale blue)", rgb(0.85, 0.92, 0.97), rgb(0.80, 0.89, 0.95), rgb(0.97, 0.98, 0.99),
          rgb(0.45, 0.58, 0.70, 0.8), true },
        { "sand", "Desert (sand)", rgb(0.55, 0.74, 0.78), rgb(0.48, 0.69, 0.74), rgb(0.90, 0.80, 0.60),
          rgb(0.50, 0.38, 0.22, 0.8), true },
    } };
    return styles;
}

const StyleInfo& info(MapStyle style)
{
    const auto index = static_cast<std::size_t>(style);
    return table()[index < table().size() ? index : 0];
}

} // namespace

namespace MapStyles {

const std::array<MapStyle, 13>& allCases()
{
    static const std::array<MapStyle, 13> cases { MapStyle::dark,    MapStyle::atlas,     MapStyle::grey,
                                                  MapStyle::classic, MapStyle::political, MapStyle::contrast,
                                                  MapStyle::outline, MapStyle::terrain,   MapStyle::midnight,
                                                  MapStyle::teal,    MapStyle::parchment, MapStyle::arctic,
                                                  MapStyle::sand };
    return cases;
}

QString rawValue(MapStyle style) { return QString::fromLatin1(info(style).raw); }

std::optional<MapStyle> fromRaw(const QString& text)
{
    for (MapStyle style : allCases())
        if (text == QLatin1String(info(style).raw))
            return style;
    return std::nullopt;
}

QString title(MapStyle style) { return QString::fromUtf8(info(style).title); }
QColor oceanTop(MapStyle style) { return info(style).oceanTop; }
QColor oceanBottom(MapStyle style) { return info(style).oceanBottom; }
QColor land(MapStyle style) { return info(style).land; }
QColor border(MapStyle style) { return info(style).border; }
bool isLight(MapStyle style) { return info(style).isLight; }

const std::array<QColor, 7>& politicalPalette()
{
    static const std::array<QColor, 7> palette { rgb(0.96, 0.80, 0.62), rgb(0.80, 0.89, 0.66), rgb(0.98, 0.92, 0.62),
                                                 rgb(0.86, 0.78, 0.90), rgb(0.97, 0.73, 0.73), rgb(0.72, 0.86, 0.86),
                                                 rgb(0.90, 0.84, 0.72) };
    return palette;
}

} // namespace MapStyles

namespace MapTheme {

QColor oceanTop() { return MapStyles::oceanTop(MapStyle::dark); }
QColor home() { return rgb(1.00, 0.36, 0.30); }
QColor sun() { return rgb(1.00, 0.84, 0.25); }
QColor panel() { return rgb(0.07, 0.09, 0.13); }
QColor panelStroke() { return white(1.0, 0.1); }
QColor accent() { return rgb(0.36, 0.85, 0.75); }

} // namespace MapTheme
