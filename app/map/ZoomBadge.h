#pragma once

#include "map/OverlayPanel.h"

#include <functional>

class QLabel;
class QPushButton;

// The zoom factor ("2.5×") with a link back to the whole world. The map
// shows it at its top-trailing corner while it is zoomed in.
class ZoomBadge : public OverlayPanel {
    Q_OBJECT
public:
    explicit ZoomBadge(std::function<void()> reset, QWidget* parent = nullptr);

    void setZoom(double zoom);
    // The zoom with one decimal and the multiplication sign, in any locale.
    static QString zoomText(double zoom);

    QString text() const;
    QPushButton* resetButton() const { return m_reset; }

private:
    QLabel* m_zoom;
    QPushButton* m_reset;
};
