#pragma once

#include "kit/AppStores.h"
#include "kit/MapStyle.h"
#include "shell/WelcomeView.h"

#include <QPointer>
#include <QWidget>

class InfoBar;
class MainToolBar;
class MapShape;
class WorldMapView;

// The main window's content: the world map above the info bar, stacked in
// one column without margins, and the window's toolbar. Every main window's
// content shares the application's stores.
//
// It also keeps the prefix labels readable on the chosen map style: each
// change of SettingKeys::mapStyle while the window is open (from the toolbar or the
// settings window) rewrites SettingKeys::prefixColor with that style's colour.
class ContentView : public QWidget {
    Q_OBJECT
public:
    // Small enough that the window, with its menu and toolbar, a title bar
    // and a desktop panel, fits a 1366 × 768 screen (and a 2560 × 1440 one
    // at twice the scale); the info bar and the legends shrink with it. On a
    // smaller screen the main window gives the map less (MainWindow).
    static constexpr int minimumWidth = 960;
    static constexpr int minimumHeight = 520;
    // The info bar's inset from the window's edges, on the panel colour.
    static constexpr int barInset = 12;

    explicit ContentView(const AppStores& stores, QWidget* parent = nullptr);

    const AppStores& stores() const { return m_stores; }

    // The toolbar this content fills; the window puts it in place.
    MainToolBar* toolBar() const { return m_toolBar; }
    // The map's area: holds the map view and keeps its proportions.
    MapShape* mapShape() const { return m_mapShape; }
    WorldMapView* mapView() const;
    // The band under the map: space weather, watched calls, clocks, the Sun.
    InfoBar* infoBar() const { return m_infoBar; }

    // The colour text the prefix labels get with a map style.
    static QString prefixColor(MapStyle style);

    // True while the welcome sheet is offered: on each appearance, when the
    // sheet was never completed and no callsign is stored.
    bool showWelcome() const { return m_showWelcome; }
    // The sheet while it is open, over this content's window.
    WelcomeView* welcomeSheet() const { return m_welcome; }
    // The welcome sheet's completion: it is never offered again.
    void completeWelcome();

Q_SIGNALS:
    void settingsRequested();

protected:
    void showEvent(QShowEvent* event) override;

private:
    void onSettingChanged(const QString& key);
    void updateMapBackdrop();
    void openWelcome();

    AppStores m_stores;
    MainToolBar* m_toolBar = nullptr;
    MapShape* m_mapShape = nullptr;
    InfoBar* m_infoBar = nullptr;
    MapStyle m_style = MapStyle::dark;
    bool m_showWelcome = false;
    QPointer<WelcomeView> m_welcome;
    bool m_shown = false;
};
