#pragma once

#include "map/HoverInfo.h"
#include "map/OverlayPanel.h"

#include <QList>
#include <QPixmap>

// The hover information as a panel: the lines of a HoverInfo laid out in a
// column, 3 points apart, grids with aligned columns, padded by 8 points
// on the map's translucent rounded panel. It draws its lines once into a
// picture when they change, so a repaint of the map under it only copies
// that picture. The pointer passes through it to the map.
class HoverInfoView : public OverlayPanel {
    Q_OBJECT
public:
    static constexpr int padding = 8;

    explicit HoverInfoView(QWidget* parent = nullptr);

    // Shows these lines; nothing happens when they are the ones shown.
    void setLines(const QList<HoverLine>& lines);
    const QList<HoverLine>& lines() const { return m_lines; }

    // The height of the panel these lines make, without laying them out.
    static int heightOf(const QList<HoverLine>& lines);

    // The font of a piece of text.
    static QFont font(HoverText::Font font);

    QSize sizeHint() const override { return m_size; }

    // How often the lines were laid out and drawn (for tests).
    int renders() const { return m_renders; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void render();

    QList<HoverLine> m_lines;
    QSize m_size { 2 * padding, 2 * padding };
    QPixmap m_picture;
    int m_renders = 0;
};
