#pragma once

#include "support/SettingKey.h"

#include "kit/AppStores.h"

#include <QToolBar>

#include <array>

class QActionGroup;
class QLabel;
class QToolButton;
class RefreshButton;
class RotatorBadges;

// The main window's toolbar. In the centre: the map layer and DX cluster
// toggles, the coverage band menu and the map style menu; at the trailing
// end: the rotator badges, zoom out and in, the space weather warning, the
// refresh button and the settings button.
//
// Toggles and menus are bound two-way to their settings keys: choosing
// writes the key, and a key written anywhere else (settings window, another
// main window) updates the toolbar.
class MainToolBar : public QToolBar {
    Q_OBJECT
public:
    struct LayerToggle {
        const char* title;
        const char* symbol;
        const BoolKey* key;
        const char* help;
    };
    // The eight toggles, in toolbar order.
    static const std::array<LayerToggle, 8>& layerToggles();

    // The DX cluster toggle's help text while the cluster is off.
    static QString clusterOffHelp();

    explicit MainToolBar(const AppStores& stores, QWidget* parent = nullptr);

    QAction* toggle(const QString& key) const;
    QActionGroup* coverageGroup() const { return m_coverage; }
    QActionGroup* styleGroup() const { return m_style; }
    QToolButton* coverageButton() const { return m_coverageButton; }
    QToolButton* styleButton() const { return m_styleButton; }
    RotatorBadges* rotatorBadges() const { return m_rotatorBadges; }
    QAction* zoomOutAction() const { return m_zoomOut; }
    QAction* zoomInAction() const { return m_zoomIn; }
    QLabel* warningLabel() const { return m_warning; }
    QAction* warningAction() const { return m_warningAction; }
    RefreshButton* refreshButton() const { return m_refresh; }
    QAction* settingsAction() const { return m_settings; }

    // True while the window is too narrow for titles beside the icons.
    bool isCompact() const { return m_compact; }
    // The button that shows what the bar has no room for.
    QToolButton* overflowButton() const;

Q_SIGNALS:
    void settingsRequested();

protected:
    bool event(QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    // Titles beside the icons when the bar has room for them, else icons
    // alone; checked on every resize and whenever a button's text changes.
    void updateFit();
    void setCompact(bool compact);
    // A menu's text or the warning changed the room the items need.
    void refit();
    void addLayerToggles();
    void addCoverageMenu();
    void addStyleMenu();
    void addTrailingItems();
    QWidget* spacer();

    void onSettingChanged(const QString& key);
    void syncCoverage();
    void syncStyle();
    void syncClusterHelp();
    void syncZoom();
    void syncSpaceWeather();

    AppStores m_stores;
    QList<QAction*> m_toggles;
    QActionGroup* m_coverage = nullptr;
    QActionGroup* m_style = nullptr;
    QToolButton* m_coverageButton = nullptr;
    QToolButton* m_styleButton = nullptr;
    RotatorBadges* m_rotatorBadges = nullptr;
    QAction* m_zoomOut = nullptr;
    QAction* m_zoomIn = nullptr;
    QLabel* m_warning = nullptr;
    QAction* m_warningAction = nullptr;
    RefreshButton* m_refresh = nullptr;
    QAction* m_settings = nullptr;
    bool m_compact = false;
    int m_titlesWidth = 0; // how much wider the bar is with titles than without
};
