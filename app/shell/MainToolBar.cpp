#include "shell/MainToolBar.h"

#include "cluster/Band.h"
#include "cluster/DXClusterClient.h"
#include "kit/DarkAppearance.h"
#include "kit/MapStyle.h"
#include "kit/SymbolIcons.h"
#include "kit/ToolTipText.h"
#include "map/MapViewportModel.h"
#include "map/WorldMapView.h"
#include "prediction/PropagationPredictor.h"
#include "rotator/RotatorBadges.h"
#include "shell/RefreshButton.h"
#include "shell/ToolBarStrip.h"
#include "spaceweather/SpaceWeatherStore.h"
#include "support/Settings.h"
#include "support/SettingsCatalogue.h"

#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QLabel>
#include <QMenu>
#include <QToolButton>

namespace {

constexpr QSize buttonIconSize(18, 18);

QToolButton* toolButton(QWidget* parent)
{
    auto* button = new QToolButton(parent);
    button->setIconSize(buttonIconSize);
    button->setAutoRaise(true);
    button->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    return button;
}

} // namespace

const std::array<MainToolBar::LayerToggle, 8>& MainToolBar::layerToggles()
{
    static const std::array<LayerToggle, 8> toggles { {
        { "Prefixes", "character.textbox", &SettingKeys::showPrefixes, "Show DXCC callsign prefixes" },
        { "Greyline", "circle.lefthalf.filled", &SettingKeys::showGreyline, "Show day/night and the greyline" },
        { "Aurora", "sparkles", &SettingKeys::showAurora, "Show NOAA aurora forecast" },
        { "MUF", "dot.radiowaves.up.forward", &SettingKeys::showMUF, "Show MUF measured by ionosondes (Zelq)" },
        { "CQ zones", "square.dashed", &SettingKeys::showCQZones, "Show CQ zones" },
        { "ITU zones", "map.zones", &SettingKeys::showITUZones, "Show ITU zones" },
        { "Grid", "square.grid.3x3", &SettingKeys::showGrid, "Show latitude/longitude lines" },
        { "DX cluster", "antenna.radiowaves.left.and.right", &SettingKeys::clusterEnabled, "" },
    } };
    return toggles;
}

QString MainToolBar::clusterOffHelp()
{
    return QStringLiteral("Connect to a DX cluster; spotted countries blink on the map. "
                          "Node and filters are in Settings → Cluster.");
}

MainToolBar::MainToolBar(const AppStores& stores, QWidget* parent)
    : QToolBar(QStringLiteral("Toolbar"), parent)
    , m_stores(stores)
{
    setObjectName(QStringLiteral("mainToolBar"));
    setMovable(false);
    setFloatable(false);
    setContextMenuPolicy(Qt::PreventContextMenu);
    setIconSize(buttonIconSize);
    setStyleSheet(DarkAppearance::toolBarStyleSheet());

    // One strip of items does the toolbar's layout: fixed slots, titles
    // dropped one by one, then an overflow menu of its own.
    m_strip = new ToolBarStrip(this);
    addLayerToggles();
    m_strip->addSeparator(ToolBarStrip::Group::centre);
    addCoverageMenu();
    addStyleMenu();
    addTrailingItems();
    addWidget(m_strip);

    // Titles go first where the icon says enough or a menu command does the
    // same; the layer toggles then from the least used end; the menus,
    // which show the current choice, last.
    QList<QToolButton*> titles { button(m_settings), m_refresh };
    for (const BoolKey* key : { &SettingKeys::showGrid, &SettingKeys::showITUZones, &SettingKeys::showCQZones,
                                &SettingKeys::showMUF, &SettingKeys::showAurora, &SettingKeys::showGreyline,
                                &SettingKeys::showPrefixes, &SettingKeys::clusterEnabled })
        titles << button(toggle(*key));
    titles << m_styleButton << m_coverageButton;
    m_strip->setTitleOrder(titles);
    // Into the overflow menu first go the buttons the menu bar and the
    // keyboard also reach.
    QList<QWidget*> overflow { button(m_settings), m_refresh, button(m_zoomIn), button(m_zoomOut) };
    for (qsizetype i = 2; i < titles.size(); ++i)
        overflow << titles[i];
    m_strip->setOverflowOrder(overflow);

    connect(&Settings::standard(), &Settings::changed, this, &MainToolBar::onSettingChanged);
    syncCoverage();
    syncStyle();
    syncClusterHelp();
    syncZoom();
    syncSpaceWeather();
}

QToolButton* MainToolBar::button(const QAction* action) const
{
    for (QToolButton* b : m_strip->findChildren<QToolButton*>(Qt::FindDirectChildrenOnly))
        if (b->defaultAction() == action)
            return b;
    return nullptr;
}

QToolButton* MainToolBar::addActionButton(QAction* action, ToolBarStrip::Group group)
{
    QToolButton* b = toolButton(m_strip);
    b->setDefaultAction(action);
    m_strip->addButton(b, group, action);
    return b;
}

void MainToolBar::addLayerToggles()
{
    for (const LayerToggle& t : layerToggles()) {
        auto* action = new QAction(SymbolIcons::icon(QLatin1String(t.symbol)), QLatin1String(t.title), this);
        action->setCheckable(true);
        action->setToolTip(QString::fromUtf8(t.help));
        action->setData(QLatin1String(t.key->name));
        action->setChecked(Settings::standard().get(*t.key));
        // Only the user's click writes; updates from the key use setChecked,
        // which does not trigger.
        connect(action, &QAction::triggered, this, [key = t.key](bool on) { Settings::standard().set(*key, on); });
        m_toggles << action;
        addActionButton(action, ToolBarStrip::Group::centre);
    }
    if (m_stores.cluster)
        connect(m_stores.cluster, &DXClusterClient::statusChanged, this, &MainToolBar::syncClusterHelp);
}

QAction* MainToolBar::toggle(const BoolKey& key) const
{
    for (QAction* action : m_toggles)
        if (action->data().toString() == QLatin1String(key.name))
            return action;
    return nullptr;
}

QToolButton* MainToolBar::addMenuButton(const QString& title, const QString& symbol, const QString& help,
                                        QMenu* menu, const QStringList& titles)
{
    QToolButton* b = toolButton(m_strip);
    b->setIcon(SymbolIcons::icon(symbol));
    b->setPopupMode(QToolButton::InstantPopup);
    b->setMenu(menu);
    b->setToolTip(help);
    // In the overflow menu it is a submenu under its own name.
    menu->setTitle(title);
    menu->setIcon(b->icon());
    menu->menuAction()->setToolTip(help);
    m_strip->addButton(b, ToolBarStrip::Group::centre, menu->menuAction(), titles);
    return b;
}

void MainToolBar::addCoverageMenu()
{
    auto* menu = new QMenu(this);
    m_coverage = new QActionGroup(this);
    // A stored value that is no menu entry leaves every entry unchecked.
    m_coverage->setExclusionPolicy(QActionGroup::ExclusionPolicy::ExclusiveOptional);
    QStringList titles { QStringLiteral("Coverage") };
    auto entry = [this, menu, &titles](const QString& title, int metres) {
        QAction* action = menu->addAction(title);
        action->setCheckable(true);
        action->setData(metres);
        m_coverage->addAction(action);
        titles << title;
        connect(action, &QAction::triggered, this, [this, metres] {
            Settings::standard().set(SettingKeys::coverageBand, metres);
            syncCoverage(); // a click on the checked entry must not uncheck it
        });
    };
    entry(QStringLiteral("No coverage"), 0);
    menu->addSeparator();
    for (const auto& predicted : PropagationPredictor::bands)
        entry(QStringLiteral("Coverage on ") + title(predicted.band), rawValue(predicted.band));
    m_coverageButton = addMenuButton(QStringLiteral("Coverage"), QStringLiteral("scope"),
                                     QStringLiteral("Show where your station should reach right now on one band "
                                                    "(set power and antenna in Settings › Station)"),
                                     menu, titles);
}

void MainToolBar::addStyleMenu()
{
    auto* menu = new QMenu(this);
    m_style = new QActionGroup(this);
    m_style->setExclusionPolicy(QActionGroup::ExclusionPolicy::Exclusive);
    QStringList titles;
    for (MapStyle style : MapStyles::allCases()) {
        QAction* action = menu->addAction(MapStyles::title(style));
        action->setCheckable(true);
        action->setData(MapStyles::rawValue(style));
        m_style->addAction(action);
        titles << action->text();
        connect(action, &QAction::triggered, this, [style] {
            // Choosing the style already shown writes nothing.
            if (WorldMapView::style() != style)
                Settings::standard().set(SettingKeys::mapStyle, MapStyles::rawValue(style));
        });
    }
    m_styleButton = addMenuButton(QStringLiteral("Map style"), QStringLiteral("paintpalette"),
                                  QStringLiteral("Map style"), menu, titles);
}

void MainToolBar::addTrailingItems()
{
    using Group = ToolBarStrip::Group;
    // The rotator badges, first in the trailing group.
    m_rotatorBadges = new RotatorBadges(m_stores.rotors, m_strip);
    m_strip->addWidget(m_rotatorBadges, Group::trailing);

    m_zoomOut = new QAction(SymbolIcons::icon(QStringLiteral("minus.magnifyingglass")), QStringLiteral("Zoom out"),
                            this);
    m_zoomOut->setToolTip(QStringLiteral("Zoom out (Ctrl -)"));
    connect(m_zoomOut, &QAction::triggered, this, [this] { m_stores.viewport->zoom(2.0 / 3.0); });
    m_zoomIn = new QAction(SymbolIcons::icon(QStringLiteral("plus.magnifyingglass")), QStringLiteral("Zoom in"), this);
    m_zoomIn->setToolTip(QStringLiteral("Zoom in (Ctrl =). You can also use the mouse wheel or pinch over the map, "
                                        "or double-click a spot. Drag to move around."));
    connect(m_zoomIn, &QAction::triggered, this, [this] { m_stores.viewport->zoom(1.5); });
    // The magnifying glasses say it all; their titles serve the overflow
    // menu and screen readers.
    for (QAction* zoom : { m_zoomOut, m_zoomIn })
        addActionButton(zoom, Group::trailing)->setToolButtonStyle(Qt::ToolButtonIconOnly);
    if (m_stores.viewport)
        connect(m_stores.viewport, &MapViewportModel::viewportChanged, this, &MainToolBar::syncZoom);

    // Its slot is kept while no feed failed, so its coming and going moves
    // no other button.
    m_warning = new QLabel(m_strip);
    m_warning->setPixmap(SymbolIcons::icon(QStringLiteral("exclamationmark.triangle.fill"))
                             .pixmap(buttonIconSize, qApp->devicePixelRatio()));
    m_warning->setContentsMargins(6, 0, 6, 0);
    QSizePolicy keep = m_warning->sizePolicy();
    keep.setRetainSizeWhenHidden(true);
    m_warning->setSizePolicy(keep);
    m_warning->hide();
    m_strip->addWidget(m_warning, Group::trailing);

    m_refresh = new RefreshButton(m_strip);
    m_refresh->setIconSize(buttonIconSize);
    m_refresh->setAutoRaise(true);
    auto* refresh = new QAction(SymbolIcons::icon(QStringLiteral("arrow.clockwise")), QStringLiteral("Refresh"), this);
    refresh->setToolTip(QStringLiteral("Download the latest NOAA space weather data (Ctrl-R)"));
    // Stays clickable while busy: the store itself ignores a request while
    // one runs.
    connect(refresh, &QAction::triggered, this, [this] { m_stores.spaceWeather->refresh(); });
    m_refresh->setDefaultAction(refresh);
    m_refresh->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    m_strip->addButton(m_refresh, Group::trailing, refresh);
    if (m_stores.spaceWeather) {
        connect(m_stores.spaceWeather, &SpaceWeatherStore::isLoadingChanged, this, &MainToolBar::syncSpaceWeather);
        connect(m_stores.spaceWeather, &SpaceWeatherStore::lastErrorChanged, this, &MainToolBar::syncSpaceWeather);
    }

    m_settings = new QAction(SymbolIcons::icon(QStringLiteral("gearshape")), QStringLiteral("Settings"), this);
    m_settings->setToolTip(QStringLiteral("Set your location and callsign"));
    connect(m_settings, &QAction::triggered, this, &MainToolBar::settingsRequested);
    addActionButton(m_settings, Group::trailing);
}

QToolButton* MainToolBar::overflowButton() const { return m_strip->overflowButton(); }

void MainToolBar::onSettingChanged(const QString& key)
{
    for (std::size_t i = 0; i < layerToggles().size(); ++i)
        if (isKey(key, *layerToggles()[i].key))
            m_toggles[qsizetype(i)]->setChecked(Settings::standard().get(*layerToggles()[i].key));
    if (isKey(key, SettingKeys::coverageBand))
        syncCoverage();
    else if (isKey(key, SettingKeys::mapStyle))
        syncStyle();
    if (isKey(key, SettingKeys::clusterEnabled))
        syncClusterHelp();
}

void MainToolBar::syncCoverage()
{
    const qint64 band = Settings::standard().get(SettingKeys::coverageBand);
    QAction* chosen = nullptr;
    for (QAction* action : m_coverage->actions()) {
        const bool on = action->data().toLongLong() == band;
        action->setChecked(on);
        if (on)
            chosen = action;
    }
    m_coverageButton->setText(chosen ? chosen->text() : QStringLiteral("Coverage"));
}

void MainToolBar::syncStyle()
{
    const MapStyle style = WorldMapView::style();
    for (QAction* action : m_style->actions())
        action->setChecked(action->data().toString() == MapStyles::rawValue(style));
    m_styleButton->setText(MapStyles::title(style));
}

void MainToolBar::syncClusterHelp()
{
    QAction* cluster = toggle(SettingKeys::clusterEnabled);
    if (!cluster)
        return;
    const bool on = Settings::standard().get(SettingKeys::clusterEnabled);
    // The status names the node's address and the network's own words.
    cluster->setToolTip(on && m_stores.cluster ? ToolTipText::plain(m_stores.cluster->status().text())
                                               : clusterOffHelp());
}

void MainToolBar::syncZoom()
{
    // Zooming out below the whole world does nothing; say so by disabling.
    m_zoomOut->setEnabled(m_stores.viewport && m_stores.viewport->viewport().zoom > 1.001);
}

void MainToolBar::syncSpaceWeather()
{
    const SpaceWeatherStore* store = m_stores.spaceWeather;
    const std::optional<QString> error = store ? store->lastError() : std::nullopt;
    m_warning->setToolTip(error.value_or(QString()));
    m_warning->setVisible(error.has_value());
    m_refresh->setBusy(store && store->isLoading());
}
