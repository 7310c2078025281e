#pragma once

#include <QWidget>

class QLabel;
class SettingsColumns;

// The Map tab: how the world map looks. Base style and fit, country
// borders, the night shading, the aurora and MUF overlays, one colour per
// MUF contour level and the zone outlines. Every control is bound to one
// settings key and the map follows the keys itself; the tab computes
// nothing beyond what its colour wells show for an empty or partial colour
// text. A reset writes the defaults back, it never removes a key.
class MapSettings : public QWidget {
    Q_OBJECT
public:
    explicit MapSettings(QWidget* parent = nullptr);

    // The MUF colour list after one level's colour was picked: the ten
    // stored texts (the default palette's when the list is not ten long)
    // with the entry at `index` replaced by the colour's "#RRGGBBAA".
    static QString mufColorsWith(const QString& stored, int index, const QColor& color);
    // A MUF level as its colour well is labelled: no decimals for a whole
    // number of MHz, else one ("3.5", "5").
    static QString levelLabel(double mhz);

    QLabel* fitCaption() const { return m_fitCaption; }
    SettingsColumns* columns() const { return m_columns; }

private:
    QWidget* mapSection();
    QWidget* dayNightSection();
    QWidget* overlaySection();
    QWidget* mufColorSection();
    QWidget* zoneSection();
    void refreshFitCaption();

    QLabel* m_fitCaption = nullptr;
    SettingsColumns* m_columns = nullptr;
};
