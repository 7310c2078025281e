#pragma once

#include "kit/MUFPalette.h"
#include "map/OverlayPanel.h"

class QLabel;

// The legend of the MUF display: its title and one swatch per contour
// level in the level's palette colour, labelled with the level as the
// contour labels write it. The map shows it at its bottom-trailing corner
// while the MUF display is on and the snapshot holds ionosonde readings.
class MUFLegend : public OverlayPanel {
    Q_OBJECT
public:
    static constexpr QSize swatchSize { 26, 16 };

    explicit MUFLegend(QWidget* parent = nullptr);

    void setColours(const MUFPalette& palette);
    const MUFPalette& colours() const { return m_palette; }
    QString title() const;
    // Where the swatch of a level index sits, in the legend's coordinates.
    QRect swatchRect(int index) const;

private:
    class Swatches;

    MUFPalette m_palette;
    QLabel* m_title;
    Swatches* m_swatches;
};
