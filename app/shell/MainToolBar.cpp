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
#include "spaceweather/SpaceWeatherStore.h"
#include "support/Settings.h"
#include "support/SettingsCatalogue.h"

#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QLabel>
#include <QLayout>
#include <QMenu>
#include <QToolButton>

namespace {

QToolButton* menuButton(QToolBar* bar, const QString& symbol, const QString& help, QMenu* menu)
{
    auto* button = new QToolButton(bar);
    button->setIcon(SymbolIcons::icon(symbol));
    button->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    button->setPopupMode(QToolButton::InstantPopup);
    button->setMenu(menu);
    button->setToolTip(help);
    bar->addWidget(button);
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
        { "ITU zones", "square.grid.3x3", &SettingKeys::showITUZones, "Show ITU zones" },
        { "Grid", "grid", &SettingKeys::showGrid, "Show latitude/longitude lines" },
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
    setIconSize(QSize(18, 18));
    setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    setStyleSheet(DarkAppearance::toolBarStyleSheet());

    addWidget(spacer());
    addLayerToggles();
    addSeparator();
    addCoverageMenu();
    addStyleMenu();
    addWidget(spacer());
    addTrailingItems();

    // Qt's own button for what does not fit: the buttons' style would pad
    // away its narrow icon, so it gets a style and a light icon of its own.
    if (QToolButton* more = overflowButton()) {
        more->setIcon(SymbolIcons::icon(QStringLiteral("chevron.right.2")));
        more->setIconSize(QSize(12, 18));
    }

    connect(&Settings::standard(), &Settings::changed, this, &MainToolBar::onSettingChanged);
    syncCoverage();
    syncStyle();
    syncClusterHelp();
    syncZoom();
    syncSpaceWeather();
}

QWidget* MainToolBar::spacer()
{
    auto* widget = new QWidget(this);
    widget->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
    return widget;
}

void MainToolBar::addLayerToggles()
{
    for (const LayerToggle& t : layerToggles()) {
        QAction* action = addAction(SymbolIcons::icon(QLatin1String(t.symbol)), QLatin1String(t.title));
        action->setCheckable(true);
        action->setToolTip(QString::fromUtf8(t.help));
        action->setData(QLatin1String(t.key->name));
        action->setChecked(Settings::standard().get(*t.key));
        // Only the user's click writes; updates from the key use setChecked,
        // which does not trigger.
        connect(action, &QAction::triggered, this, [key = t.key](bool on) { Settings::standard().set(*key, on); });
        m_toggles << action;
    }
    if (m_stores.cluster)
        connect(m_stores.cluster, &DXClusterClient::statusChanged, this, &MainToolBar::syncClusterHelp);
}

QAction* MainToolBar::toggle(const QString& key) const
{
    for (QAction* action : m_toggles)
        if (action->data().toString() == key)
            return action;
    return nullptr;
}

void MainToolBar::addCoverageMenu()
{
    auto* menu = new QMenu(this);
    m_coverage = new QActionGroup(this);
    // A stored value that is no menu entry leaves every entry unchecked.
    m_coverage->setExclusionPolicy(QActionGroup::ExclusionPolicy::ExclusiveOptional);
    auto entry = [this, menu](const QString& title, int metres) {
        QAction* action = menu->addAction(title);
        action->setCheckable(true);
        action->setData(metres);
        m_coverage->addAction(action);
        connect(action, &QAction::triggered, this, [this, metres] {
            Settings::standard().set(SettingKeys::coverageBand, metres);
            syncCoverage(); // a click on the checked entry must not uncheck it
        });
    };
    entry(QStringLiteral("No coverage"), 0);
    menu->addSeparator();
    for (const auto& predicted : PropagationPredictor::bands)
        entry(QStringLiteral("Coverage on ") + title(predicted.band), rawValue(predicted.band));
    m_coverageButton
        = menuButton(this,
                     QStringLiteral("scope"),
                                    QStringLiteral("Show where your station should reach right now on one band "
                                                 "(set power and antenna in Settings › Station)"),
                                                   menu);
}

void MainToolBar::addStyleMenu()
{
    auto* menu = new QMenu(this);
    m_style = new QActionGroup(this);
    m_style->setExclusionPolicy(QActionGroup::ExclusionPolicy::Exclusive);
    for (MapStyle style : MapStyles::allCases()) {
        QAction* action = menu->addAction(MapStyles::title(style));
        action->setCheckable(true);
        action->setData(MapStyles::rawValue(style));
        m_style->addAction(action);
        connect(action, &QAction::triggered, this, [style] {
            // Choosing the style already shown writes nothing.
            if (WorldMapView::style() != style)
                Settings::standard().set(SettingKeys::mapStyle, MapStyles::rawValue(style));
        });
    }
    m_styleButton = menuButton(this, QStringLiteral("paintpalette"), QStringLiteral("Map style"), menu);
}

void MainToolBar::addTrailingItems()
{
    // The rotator badges, first in the trailing group.
    m_rotatorBadges = RotatorBadges::addTo(*this, m_stores.rotors);

    m_zoomOut = addAction(SymbolIcons::icon(QStringLiteral("minus.magnifyingglass")), QStringLiteral("Zoom out"));
    m_zoomOut->setToolTip(QStringLiteral("Zoom out (Ctrl -)"));
    connect(m_zoomOut, &QAction::triggered, this, [this] { m_stores.viewport->zoom(2.0 / 3.0); });

    m_zoomIn = addAction(SymbolIcons::icon(QStringLiteral("plus.magnifyingglass")), QStringLiteral("Zoom in"));
    m_zoomIn->setToolTip(QStringLiteral("Zoom in (Ctrl =). You can also use the mouse wheel or pinch over the map, "
                                        "or double-click a spot. Drag to move around."));
    connect(m_zoomIn, &QAction::triggered, this, [this] { m_stores.viewport->zoom(1.5); });
    // The magnifying glasses say it all; their titles serve the overflow
    // menu and screen readers.
    for (QAction* zoom : { m_zoomOut, m_zoomIn })
        if (auto* button = qobject_cast<QToolButton*>(widgetForAction(zoom)))
            button->setToolButtonStyle(Qt::ToolButtonIconOnly);
    if (m_stores.viewport)
        connect(m_stores.viewport, &MapViewportModel::viewportChanged, this, &MainToolBar::syncZoom);

    m_warning = new QLabel(this);
    m_warning->setPixmap(SymbolIcons::icon(
        QStringLiteral("exclamationmark.triangle.fill")).pixmap(iconSize(), qApp->devicePixelRatio()));
    m_warning->setContentsMargins(6, 0, 6, 0);
    m_warningAction = addWidget(m_warning);

    m_refresh = new RefreshButton(this);
    auto* refresh = new QAction(SymbolIcons::icon(QStringLiteral("arrow.clockwise")), QStringLiteral("Refresh"), this);
    refresh->setToolTip(QStringLiteral("Download the latest NOAA space weather data (Ctrl-R)"));
    // Stays clickable while busy: the store itself ignores a request while
    // one runs.
    connect(refresh, &QAction::triggered, this, [this] { m_stores.spaceWeather->refresh(); });
    m_refresh->setDefaultAction(refresh);
    m_refresh->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    m_refresh->setIconSize(iconSize());
    addWidget(m_refresh);
    if (m_stores.spaceWeather) {
        connect(m_stores.spaceWeather, &SpaceWeatherStore::isLoadingChanged, this, &MainToolBar::syncSpaceWeather);
        connect(m_stores.spaceWeather, &SpaceWeatherStore::lastErrorChanged, this, &MainToolBar::syncSpaceWeather);
    }

    m_settings = addAction(SymbolIcons::icon(QStringLiteral("gearshape")), QStringLiteral("Settings"));
    m_settings->setToolTip(QStringLiteral("Set your location and callsign"));
    connect(m_settings, &QAction::triggered, this, &MainToolBar::settingsRequested);
}

QToolButton* MainToolBar::overflowButton() const
{
    return findChild<QToolButton*>(QStringLiteral("qt_toolbar_ext_button"), Qt::FindDirectChildrenOnly);
}

bool MainToolBar::event(QEvent* event)
{
    const bool handled = QToolBar::event(event);
    // A button whose text changed asks for a new layout.
    if (event->type() == QEvent::LayoutRequest || event->type() == QEvent::Show)
        updateFit();
    return handled;
}

void MainToolBar::resizeEvent(QResizeEvent* event)
{
    QToolBar::resizeEvent(event);
    updateFit();
}

void MainToolBar::updateFit()
{
    if (!isVisible())
        return; // decided when shown
    // The width the bar needs with titles: its size hint while it shows
    // them, else the hint plus what the titles add. The titled buttons'
    // texts never change, so what they add stays as measured.
    const int titled = sizeHint().width() + (m_compact ? m_titlesWidth : 0);
    setCompact(width() < titled);
}

void MainToolBar::setCompact(bool compact)
{
    if (m_compact == compact)
        return;
    const int before = sizeHint().width();
    m_compact = compact;
    // Narrow windows show the toggles and buttons by their icons alone, with
    // their help texts as tooltips; the menus keep showing their choice.
    const Qt::ToolButtonStyle style = compact ? Qt::ToolButtonIconOnly : Qt::ToolButtonTextBesideIcon;
    QList<QAction*> titled = m_toggles;
    titled << m_settings;
    for (QAction* action : titled)
        if (auto* button = qobject_cast<QToolButton*>(widgetForAction(action)))
            button->setToolButtonStyle(style);
    m_refresh->setToolButtonStyle(style);
    // Buttons moved into the overflow do not tell the layout that they
    // changed; the hint must count them all.
    layout()->invalidate();
    if (compact)
        m_titlesWidth = before - sizeHint().width();
}

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
    refit();
}

void MainToolBar::syncStyle()
{
    const MapStyle style = WorldMapView::style();
    for (QAction* action : m_style->actions())
        action->setChecked(action->data().toString() == MapStyles::rawValue(style));
    m_styleButton->setText(MapStyles::title(style));
    refit();
}

void MainToolBar::refit()
{
    // A button in the overflow does not tell the layout that it changed; a
    // visible one does, but only on the next turn of the event loop.
    layout()->invalidate();
    updateFit();
}

void MainToolBar::syncClusterHelp()
{
    QAction* cluster = toggle(QLatin1String(SettingKeys::clusterEnabled.name));
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
    if (m_warningAction->isVisible() != error.has_value()) {
        m_warningAction->setVisible(error.has_value());
        refit(); // the warning takes room of its own
    }
    m_refresh->setBusy(store && store->isLoading());
}
