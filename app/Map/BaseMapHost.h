#pragma once

#include <QWidget>

class MapViewportModel;

// A plain host for the base map: draws the base map layer with the map
// settings over the whole widget at the shared viewport, and keeps the
// viewport model told of its size and fit mode.
class BaseMapHost : public QWidget {
    Q_OBJECT
public:
    explicit BaseMapHost(MapViewportModel& viewport, QWidget* parent = nullptr);

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void onSettingChanged(const QString& key);

    MapViewportModel& m_viewport;
};
