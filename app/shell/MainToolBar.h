#pragma once

#include "support/SettingKey.h"

#include "kit/AppStores.h"
#include "shell/ToolBarStrip.h"

#include <QToolBar>

#include <array>

class QActionGroup;
class QLabel;
class QMenu;
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
//
// Every item keeps its place while texts change (see ToolBarStrip); a
// narrow window first loses the titles of the settings and refresh
// buttons, then those of the layer toggles from the least used end, and
// only then moves items into an overflow menu.
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

    // The layer or cluster toggle of a key.
    QAction* toggle(const BoolKey& key) const;
    QActionGroup* coverageGroup() const { return m_coverage; }
    QActionGroup* styleGroup() const { return m_style; }
    QToolButton* coverageButton() const { return m_coverageButton; }
    QToolButton* styleButton() const { return m_styleButton; }
    RotatorBadges* rotatorBadges() const { return m_rotatorBadges; }
    QAction* zoomOutAction() const { return m_zoomOut; }
    QAction* zoomInAction() const { return m_zoomIn; }
    // Shown while a space weather feed failed, its text as the tooltip.
    QLabel* warningLabel() const { return m_warning; }
    RefreshButton* refreshButton() const { return m_refresh; }
    QAction* settingsAction() const { return m_settings; }

    // The button on the bar for one of the actions above.
    QToolButton* button(const QAction* action) const;
    ToolBarStrip* strip() const { return m_strip; }
    // The button that shows what the bar has no room for.
    QToolButton* overflowButton() const;

Q_SIGNALS:
    void settingsRequested();

private:
    QToolButton* addActionButton(QAction* action, ToolBarStrip::Group group);
    QToolButton* addMenuButton(const QString& title, const QString& symbol, const QString& help, QMenu* menu,
                               const QStringList& titles);
    void addLayerToggles();
    void addCoverageMenu();
    void addStyleMenu();
    void addTrailingItems();

    void onSettingChanged(const QString& key);
    void syncCoverage();
    void syncStyle();
    void syncClusterHelp();
    void syncZoom();
    void syncSpaceWeather();

    AppStores m_stores;
    ToolBarStrip* m_strip = nullptr;
    QList<QAction*> m_toggles;
    QActionGroup* m_coverage = nullptr;
    QActionGroup* m_style = nullptr;
    QToolButton* m_coverageButton = nullptr;
    QToolButton* m_styleButton = nullptr;
    RotatorBadges* m_rotatorBadges = nullptr;
    QAction* m_zoomOut = nullptr;
    QAction* m_zoomIn = nullptr;
    QLabel* m_warning = nullptr;
    RefreshButton* m_refresh = nullptr;
    QAction* m_settings = nullptr;
};
