#pragma once

#include "map/MapViewport.h"

#include <QObject>
#include <QPointF>
#include <QSizeF>

#include <optional>

// The one holder of the map's viewport, shared by every main window. Pointer
// gestures, menu commands and toolbar buttons change it; the map view keeps
// viewSize and fill in step with its own geometry and fit setting.
// Main thread only.
class MapViewportModel : public QObject {
    Q_OBJECT
public:
    explicit MapViewportModel(QObject* parent = nullptr);

    const MapViewport& viewport() const { return m_viewport; }
    // Every assignment notifies, whether or not the value changed.
    void setViewport(const MapViewport& viewport);
    void showWholeWorld() { setViewport(MapViewport::world()); }

    // Plain fields: writing them notifies nobody.
    QSizeF viewSize() const { return m_viewSize; }
    void setViewSize(QSizeF size) { m_viewSize = size; }
    bool fill() const { return m_fill; }
    void setFill(bool fill) { m_fill = fill; }

    // Zooms by a factor about an anchor in view points (the view centre when
    // absent), keeping the map point under the anchor in place. A gesture
    // passes the viewport at its start and its total magnification, so
    // repeated updates never accumulate rounding error.
    void zoom(double factor, std::optional<QPointF> anchor = std::nullopt,
              std::optional<MapViewport> from = std::nullopt);

    // Moves the map by a drag's total translation in view points, measured
    // from the viewport at the start of the drag. A drag to the right moves
    // the map content right.
    void pan(QSizeF translation, const MapViewport& from);

Q_SIGNALS:
    void viewportChanged();

private:
    MapViewport m_viewport;
    QSizeF m_viewSize { 0, 0 };
    bool m_fill = false;
};
