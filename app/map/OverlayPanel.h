#pragma once

#include <QColor>
#include <QFont>
#include <QWidget>

class QLabel;

// The look the map's badges and legends share: a thin, translucent dark
// panel over the map with light text, shaped as a rounded rectangle
// (legends) or a capsule (badges), in the main window's dark palette.
class OverlayPanel : public QWidget {
    Q_OBJECT
public:
    enum class Shape { roundedRectangle, capsule };

    explicit OverlayPanel(Shape shape, QWidget* parent = nullptr);

    // The fonts: caption (11 points), optionally semibold, and the small
    // caption (10 points).
    static QFont captionFont(bool semibold = false);
    static QFont smallCaptionFont(bool semibold = false);
    static QColor textColor();
    static QColor secondaryTextColor();

    // A plain-text label in a font and colour.
    static QLabel* label(const QFont& font, const QColor& colour, QWidget* parent = nullptr);

protected:
    void paintEvent(QPaintEvent* event) override;
    // Panels with much to read over a busy map hide it wholly: even a few
    // per cent of it let the labels under them show through.
    static constexpr int opaqueFill = 0xFF;
    void setFillOpacity(int alpha) { m_fillAlpha = alpha; }

private:
    Shape m_shape;
    int m_fillAlpha = 0xB4;
};
