#pragma once

#include <QWidget>

class LabelPreview;
class QPushButton;
class SettingsColumns;

// The Labels tab: fonts, sizes and colours of the clocks (and through them
// the sun card), the callsign prefixes (whose font the spot plates share),
// the zone numbers and the latitude/longitude numbers. Every control is
// bound to one settings key; the map and the info bar follow the keys
// themselves, and each section shows a live preview drawn with the same
// fonts. "Reset labels" writes the defaults back, it never removes a key.
class LabelSettings : public QWidget {
    Q_OBJECT
public:
    explicit LabelSettings(QWidget* parent = nullptr);

    LabelPreview* clockPreview() const { return m_clockPreview; }
    LabelPreview* prefixPreview() const { return m_prefixPreview; }
    LabelPreview* zonePreview() const { return m_zonePreview; }
    LabelPreview* gridPreview() const { return m_gridPreview; }
    QPushButton* resetButton() const { return m_reset; }
    SettingsColumns* columns() const { return m_columns; }

private:
    QWidget* clockSection();
    QWidget* prefixSection();
    QWidget* zoneSection();
    QWidget* gridSection();

    LabelPreview* m_clockPreview = nullptr;
    LabelPreview* m_prefixPreview = nullptr;
    LabelPreview* m_zonePreview = nullptr;
    LabelPreview* m_gridPreview = nullptr;
    QPushButton* m_reset = nullptr;
    SettingsColumns* m_columns = nullptr;
};
