#include "shell/ContentView.h"

#include "infobar/InfoBar.h"
#include "maintenance/Updater.h"
#include "map/MapShape.h"
#include "map/WorldMapView.h"
#include "shell/MainToolBar.h"
#include "shell/WelcomeView.h"
#include "support/Settings.h"
#include "support/SettingsCatalogue.h"

#include <QShowEvent>
#include <QTimer>
#include <QVBoxLayout>

ContentView::ContentView(const AppStores& stores, QWidget* parent)
    : QWidget(parent)
    , m_stores(stores)
    , m_toolBar(new MainToolBar(stores, this))
    , m_mapShape(new MapShape(this))
    , m_style(WorldMapView::style())
{
    setMinimumSize(minimumWidth, minimumHeight);
    setAutoFillBackground(true);
    QPalette black = palette();
    black.setColor(QPalette::Window, Qt::black);
    setPalette(black);

    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    m_mapShape->setAutoFillBackground(true);
    m_mapShape->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    auto* map = new WorldMapView(stores);
    m_mapShape->setKeepProportions(WorldMapView::fit() == MapFit::whole);
    m_mapShape->setContent(map);
    connect(map, &WorldMapView::keepProportionsChanged, m_mapShape, &MapShape::setKeepProportions);
    column->addWidget(m_mapShape, 1);
    // The info bar below the map, inset on the panel colour. It never makes
    // the window wider than the map asks for, and it is as tall as it needs
    // at its width (the panel's caption wraps): the map takes the rest.
    auto* barBand = new QWidget(this);
    barBand->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    barBand->setAutoFillBackground(true);
    QPalette panel = barBand->palette();
    panel.setColor(QPalette::Window, MapTheme::panel());
    barBand->setPalette(panel);
    auto* band = new QVBoxLayout(barBand);
    band->setContentsMargins(barInset, barInset, barInset, barInset);
    m_infoBar = new InfoBar(stores, barBand);
    band->addWidget(m_infoBar);
    column->addWidget(barBand, 0);

    updateMapBackdrop();
    connect(m_toolBar, &MainToolBar::settingsRequested, this, &ContentView::settingsRequested);
    connect(&Settings::standard(), &Settings::changed, this, &ContentView::onSettingChanged);
}

WorldMapView* ContentView::mapView() const { return qobject_cast<WorldMapView*>(m_mapShape->content()); }

QString ContentView::prefixColor(MapStyle style)
{
    switch (style) {
    case MapStyle::atlas:
    case MapStyle::grey:
    case MapStyle::political:
    case MapStyle::arctic:
    case MapStyle::sand:
        return QStringLiteral("#14233CFF");
    case MapStyle::contrast:
    case MapStyle::outline:
    case MapStyle::terrain:
        return QStringLiteral("#FFFFFFFF");
    case MapStyle::parchment:
        return QStringLiteral("#3A2A14FF");
    case MapStyle::dark:
    case MapStyle::classic:
    case MapStyle::midnight:
    case MapStyle::teal:
        break;
    }
    return QStringLiteral("#FFEDB3FF");
}

void ContentView::completeWelcome()
{
    Settings::standard().set(SettingKeys::welcomeShown, true);
    m_showWelcome = false;
    if (m_welcome)
        m_welcome->accept();
}

void ContentView::openWelcome()
{
    if (!m_showWelcome || m_welcome || !isVisible())
        return;
    m_welcome = new WelcomeView([this] { completeWelcome(); }, window());
    m_welcome->setAttribute(Qt::WA_DeleteOnClose);
    // Closed without "Save" or "Later" (the window's close button): nothing
    // is stored, and the next start offers the sheet again.
    connect(m_welcome, &QDialog::finished, this, [this] { m_showWelcome = false; });
    m_welcome->open();
}

void ContentView::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    if (!event->spontaneous()) {
        // A callsign of blanks counts as entered.
        const Settings& settings = Settings::standard();
        m_showWelcome = !settings.get(SettingKeys::welcomeShown) && settings.get(SettingKeys::callsign).isEmpty();
        // Over the window once it is on screen.
        if (m_showWelcome)
            QTimer::singleShot(0, this, &ContentView::openWelcome);
    }
    if (m_shown)
        return;
    m_shown = true;
    // The updater arms its periodic check only once per process, however many
    // main windows are opened; each content still asks when first shown.
    QTimer::singleShot(0, this, [updater = m_stores.updater] {
        if (updater)
            updater->start();
    });
}

void ContentView::onSettingChanged(const QString& key)
{
    if (!isKey(key, SettingKeys::mapStyle))
        return;
    const MapStyle style = WorldMapView::style();
    if (style == m_style)
        return;
    m_style = style;
    updateMapBackdrop();
    // Every open window follows the change; only the first needs to write.
    const QString colour = prefixColor(style);
    if (Settings::standard().get(SettingKeys::prefixColor) != colour)
        Settings::standard().set(SettingKeys::prefixColor, colour);
}

void ContentView::updateMapBackdrop()
{
    // Seen beside the map when it keeps its proportions.
    QPalette p = m_mapShape->palette();
    p.setColor(QPalette::Window, MapStyles::isLight(m_style) ? QColor(217, 217, 217) : QColor(Qt::black));
    m_mapShape->setPalette(p);
}
