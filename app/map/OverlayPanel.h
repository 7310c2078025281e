#pragma once

#include <QColor>
#include <QFont>
#include <QWidget>

class QLabel;

// The look the map's badges and legends share: a dark panel over the map
// with light text, in the main window's dark palette. Legends and panels
// are rounded rectangles filled opaquely: whatever shows through them (a
// zone number, a light style's land) crowds their small print and lightens
// their ground until the grey captions no longer read. Badges, one line in
// a capsule, let a little of the map through.
class OverlayPanel : public QWidget {
    Q_OBJECT
public:
    enum class Shape { roundedRectangle, capsule };

    explicit OverlayPanel(Shape shape, QWidget* parent = nullptr);

    // The fonts: caption (11 points), optionally semibold, and the small
    // caption (10 points).
    static QFont captionFont(bool semibold = false);
    static QFont smallCaptionFont(bool semibold = false);
    // The ground of a shape: opaque for legends and panels.
    static QColor fillColor(Shape shape);
    static QColor textColor();
    static QColor secondaryTextColor();

    // A plain-text label in a font and colour.
    static QLabel* label(const QFont& font, const QColor& colour, QWidget* parent = nullptr);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    Shape m_shape;
};
